#include "FolderScan.h"
#include "KOVAIcons.h"
#include "TKOVASettings.h"
#include "TPageTest.h"
#include "TSystemIntegrationPage.h"
#include "TSystemManager.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QGroupBox>
#include <QImage>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

// The System Integration page over the user's desktop files in a temporary environment: the
// boxes show and write the install verbs, the folder-install mode is saved when it changes, and
// failed writes are said.
class TSystemIntegrationPageTest : public TPageTest
{
    Q_OBJECT

private slots:
    void verbBoxesFollowTheDesktopFilesAndShowingWritesNothing();
    void folderInstallModeIsSavedOnlyWhenItChanges();
    void refusedWritesShowAnErrorAndTheTrueState();

private:
    TSystemIntegrationPage* ShowPage()
    {
        FContext = std::make_unique<TPageContextDouble>(*FFixture);
        return FContext->Create<TSystemIntegrationPage>(u"tbSystemIntegration"_s);
    }
    void Click(QAbstractButton* button) const { QTest::mouseClick(button, Qt::LeftButton); }
    // Every file of the temporary environment and the settings file, with its bytes and its
    // identity (a rewrite through a new file changes it).
    QMap<QString, QByteArray> Snapshot() const;
};

QMap<QString, QByteArray> TSystemIntegrationPageTest::Snapshot() const
{
    QMap<QString, QByteArray> files;
    QStringList paths{FFixture->SettingsFile()};
    QDirIterator it(FFixture->Environment().Root(), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths) {
        TFileId id;
        GetFileId(path, id);
        files.insert(path, ReadBytes(path) + "@" + QByteArray::number(id.Inode));
    }
    return files;
}

void TSystemIntegrationPageTest::verbBoxesFollowTheDesktopFilesAndShowingWritesNothing()
{
    TSystemIntegrationPage* page = ShowPage();
    auto* zip = Find<QCheckBox>(u"cbSystemIntegration_EnableShellExtension"_s);
    auto* folder = Find<QCheckBox>(u"cbSystemIntegration_EnableShellExtensionFolder"_s);
    auto* group = Find<QGroupBox>(u"rgSysInteg_FolderInstallOptions"_s);
    QVERIFY(!zip->isChecked() && !folder->isChecked() && !group->isEnabled());

    const QString folderEntry = TSystemManager::VerbEntryFile(u"folder"_s);
    Click(folder);
    QVERIFY(folder->isChecked() && group->isEnabled() && !zip->isChecked());
    // What the entries hold is the system manager's test.
    QVERIFY(QFile::exists(folderEntry));
    QVERIFY(!QFile::exists(TSystemManager::VerbEntryFile(u".zip"_s)));
    Click(zip);
    QVERIFY(zip->isChecked() && QFile::exists(TSystemManager::VerbEntryFile(u".zip"_s)));

    // Showing the page reads; it writes nothing, not even what it shows.
    const QMap<QString, QByteArray> before = Snapshot();
    page->RefreshPage();
    page->RefreshPage();
    QCOMPARE(Snapshot(), before);
    QVERIFY(zip->isChecked() && folder->isChecked() && group->isEnabled());

    Click(folder);
    QVERIFY(!folder->isChecked() && !group->isEnabled() && zip->isChecked());
    QVERIFY(!QFile::exists(folderEntry));
    QCOMPARE(FDialogs->Calls().size(), 0);

    // The demo association that was written says so.
    Click(Find<QPushButton>(u"btnSystemIntegration_AssocDemFiles"_s));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Text,
             FContext->GetLangText(TDialogType::SysInteg_FileAssocChanged));
    // The icon it names is our own demo-file image.
    const QString entry = QString::fromUtf8(ReadBytes(TSystemManager::DemoEntryFile()));
    const QString iconName = entry.section(u"\nIcon="_s, 1).section(u'\n', 0, 0);
    const QImage installed(FFixture->Environment().DataHome() +
                           u"/icons/hicolor/48x48/mimetypes/"_s + iconName + u".png"_s);
    QCOMPARE(installed.convertToFormat(QImage::Format_ARGB32),
             KOVADemoFileImage(48).convertToFormat(QImage::Format_ARGB32));
}

void TSystemIntegrationPageTest::folderInstallModeIsSavedOnlyWhenItChanges()
{
    Click(ShowPage()->findChild<QCheckBox*>(u"cbSystemIntegration_EnableShellExtensionFolder"_s));
    QByteArray expected = FFixture->ReadSettings();
    expected.replace("<folderinstallmode>fimAsk</folderinstallmode>",
                     "<folderinstallmode>fimNonRecursive</folderinstallmode>");
    auto* no = Find<QRadioButton>(u"rbSysInteg_FolderInstallNo"_s);
    Click(no);
    QCOMPARE(FFixture->ReadSettings(), expected);
    QCOMPARE(FContext->Settings().FolderInstallMode, TFolderInstallMode::fimNonRecursive);

    const QMap<QString, QByteArray> before = Snapshot();
    Click(no);
    QCOMPARE(Snapshot(), before);
    QCOMPARE(FDialogs->Calls().size(), 0);
}

void TSystemIntegrationPageTest::refusedWritesShowAnErrorAndTheTrueState()
{
    // A folder stands where each entry should go.
    QVERIFY(QDir().mkpath(TSystemManager::VerbEntryFile(u".zip"_s)));
    QVERIFY(QDir().mkpath(TSystemManager::DemoEntryFile()));
    ShowPage();
    auto* zip = Find<QCheckBox>(u"cbSystemIntegration_EnableShellExtension"_s);
    Click(zip);
    QVERIFY(!zip->isChecked());
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtError);
    QVERIFY(FDialogs->Calls().first().Text.contains(TSystemManager::VerbEntryFile(u".zip"_s)));

    // The demo association that cannot be written is an error, never "changed".
    FDialogs->Clear();
    Click(Find<QPushButton>(u"btnSystemIntegration_AssocDemFiles"_s));
    QCOMPARE(FDialogs->Calls().size(), 1);
    QCOMPARE(FDialogs->Calls().first().Type, TMsgDlgType::mtError);
    QVERIFY(!QFileInfo::exists(TSystemManager::MimeAppsFile()));
}

QTEST_MAIN(TSystemIntegrationPageTest)
#include "TSystemIntegrationPageTest.moc"
