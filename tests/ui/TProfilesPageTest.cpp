#include "TLinkLabel.h"
#include "TPageContextDouble.h"
#include "TProfilesPage.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"
#include "TShellOperationDialogs.h"
#include "TUT2003Profile.h"
#include "uKOVA_Misc.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QGroupBox>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using TKind = TScriptedDialogs::TKind;

// The profiles page over the page context's double: profiles made, activated, backed up,
// restored and deleted, with every file checked byte for byte.
class TProfilesPageTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lifeCycleActsOnTheRowShown();
    void threeBackupsInOneSecondGetDistinctNames();
    void refusedNamesAndFailuresChangeNothing();
    void restoreAsksBeforeReplacing();

private:
    TProfilesPage* ShowPage();
    template <class T> T* Find(const QString& name) const
    {
        return Child<T>(FContext->Host(), name);
    }
    void Click(const QString& button) const
    {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
    }
    QComboBox* Box() const { return Find<QComboBox>(QStringLiteral("cbProfiles_SelectProfile")); }
    void Choose(int row) const;
    bool Enabled(const QString& button) const { return Find<QPushButton>(button)->isEnabled(); }
    QByteArray UserIni() const
    {
        return FFixture->Game().ReadFile(QStringLiteral("System/User.ini"));
    }
    QString ProfilesDir() const { return FContext->Profiles()->ProfilesDir(); }
    QString BackupsDir() const { return FContext->Profiles()->BackupsDir(); }
    QStringList Backups() const { return QDir(BackupsDir()).entryList(QDir::Files, QDir::Name); }
    // The texts of the message boxes shown since the last Clear.
    QStringList Messages() const;
    QString Text(TDialogType key) const { return FContext->GetLangText(key); }
    // Every file below the fixture's folders with its bytes.
    QMap<QString, QByteArray> Tree() const;

    std::unique_ptr<TProgramFixture> FFixture;
    std::unique_ptr<TScriptedDialogs> FDialogs;
    std::unique_ptr<TPageContextDouble> FContext;
};

void TProfilesPageTest::init()
{
    FFixture = std::make_unique<TProgramFixture>();
    FDialogs = std::make_unique<TScriptedDialogs>();
}

void TProfilesPageTest::cleanup()
{
    SetShellOperationUi(nullptr);
    FContext.reset();
    FDialogs.reset();
    FFixture.reset();
}

TProfilesPage* TProfilesPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    auto* page = FContext->Create<TProfilesPage>(QStringLiteral("tbProfiles"));
    // Replace questions of the file operations come to the scripted dialogs.
    TPageContextDouble* context = FContext.get();
    InstallShellOperationDialogs(FContext->Host(),
                                 [context](TDialogType key) { return context->GetLangText(key); });
    return page;
}

void TProfilesPageTest::Choose(int row) const
{
    QComboBox* box = Box();
    box->setFocus();
    while (box->currentIndex() < row)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > row)
        QTest::keyClick(box, Qt::Key_Up);
}

QStringList TProfilesPageTest::Messages() const
{
    QStringList texts;
    for (const TScriptedDialogs::TCall& call : FDialogs->Calls()) {
        if (call.Kind == TKind::dkMessage || call.Kind == TKind::dkException)
            texts << call.Text;
    }
    return texts;
}

QMap<QString, QByteArray> TProfilesPageTest::Tree() const
{
    QMap<QString, QByteArray> tree;
    for (const QString& root : {FFixture->Root(), FFixture->Environment().Root()}) {
        QDirIterator files(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            tree.insert(path, QFileInfo(path).isFile() ? ReadBytes(path) : QByteArray("<dir>"));
        }
    }
    return tree;
}

void TProfilesPageTest::lifeCycleActsOnTheRowShown()
{
    const QByteArray original = UserIni();
    ShowPage();
    // The unmanaged "User.ini" is the default entry: selected, neither renamed, activated nor
    // deleted.
    QCOMPARE(Box()->count(), 1);
    QCOMPARE(Box()->currentText(), QStringLiteral("(DEFAULT)"));
    QVERIFY(Find<QGroupBox>(QStringLiteral("gbProfileSettings"))->isEnabled());
    QVERIFY(!Find<QLineEdit>(QStringLiteral("lbeProfiles_ProfileName"))->isEnabled());
    QVERIFY(!Enabled(QStringLiteral("btnProfiles_ActivateProfile")));
    QVERIFY(!Enabled(QStringLiteral("btnProfiles_DeleteProfile")));

    // New profile, not activated: "User.ini" stays; the profile is "User.ini" with its section.
    FDialogs->AnswerInput(QStringLiteral("  Clan  "));
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(QStringLiteral("btnProfiles_NewProfile"));
    QCOMPARE(Messages(), QStringList{Text(TDialogType::Profiles_NewProfileActivation)});
    QCOMPARE(UserIni(), original);
    const QString clan = ProfilesDir() + QStringLiteral("Clan.ini");
    const QByteArray clanBytes = ReadBytes(clan);
    QVERIFY(clanBytes.startsWith(original));
    const QRegularExpression section(QStringLiteral(
        "^\\r\\n\\[UT2004KOVA\\]\\r\\nProfileName=Clan\\r\\nID=\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-"
        "[0-9A-F]{12}\\}\\r\\n$"));
    QVERIFY2(section.match(QString::fromLatin1(clanBytes.mid(original.size()))).hasMatch(),
             clanBytes.constData());
    QCOMPARE(Box()->count(), 2);
    QCOMPARE(Box()->currentText(), QStringLiteral("(DEFAULT)"));

    // New profile, activated: the unmanaged "User.ini" leaves one backup, its row is selected.
    FDialogs->Clear();
    FDialogs->AnswerInput(QStringLiteral("Team"));
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(QStringLiteral("btnProfiles_NewProfile"));
    const QString team = ProfilesDir() + QStringLiteral("Team.ini");
    const QByteArray teamBytes = ReadBytes(team);
    QCOMPARE(UserIni(), teamBytes);
    QCOMPARE(Backups().size(), 1);
    QCOMPARE(ReadBytes(BackupsDir() + Backups().first()), original);
    QCOMPARE(Box()->count(), 2); // "User.ini" is managed now: no default entry
    QCOMPARE(Box()->currentText(), QStringLiteral("Team"));
    QVERIFY(!Enabled(QStringLiteral("btnProfiles_ActivateProfile")));
    QVERIFY(!Enabled(QStringLiteral("btnProfiles_DeleteProfile")));
    QCOMPARE(FDialogs->UnexpectedCount(), 0);

    // After an activation from the button, each button acts on the profile its row shows.
    FDialogs->Clear();
    Choose(Box()->findText(QStringLiteral("Clan")));
    QVERIFY(Enabled(QStringLiteral("btnProfiles_ActivateProfile")));
    Click(QStringLiteral("btnProfiles_ActivateProfile"));
    QCOMPARE(Messages(), QStringList{Text(TDialogType::Profiles_ProfileActivated)});
    QCOMPARE(UserIni(), clanBytes);
    QCOMPARE(Backups().size(), 1); // a managed "User.ini" lives on in its profile
    QCOMPARE(Box()->currentText(), QStringLiteral("Clan"));
    QCOMPARE(Find<QLineEdit>(QStringLiteral("lbeProfiles_ProfileName"))->text(),
             QStringLiteral("Clan"));
    QVERIFY(!Enabled(QStringLiteral("btnProfiles_ActivateProfile")));

    Choose(Box()->findText(QStringLiteral("Team")));
    FDialogs->Clear();
    Click(QStringLiteral("btnProfiles_BackupProfile"));
    QCOMPARE(Messages(), QStringList{Text(TDialogType::Profiles_BackupCreated)});
    QCOMPARE(Backups().size(), 2);
    QCOMPARE(ReadBytes(BackupsDir() + Backups().last()), teamBytes);
    Click(QStringLiteral("btnProfile_EditProfile"));
    QCOMPARE(FContext->Orders(),
             QStringList({QStringLiteral("LoadIniFile ") + team, "ShowPage tbINIEditor"}));

    // The jump link selects the active profile again.
    QTest::mouseClick(Find<TLinkLabel>(QStringLiteral("lbProfiles_JumpToActive")), Qt::LeftButton);
    QCOMPARE(Box()->currentText(), QStringLiteral("Clan"));

    // Delete is for good: the file is gone and in no trash.
    Choose(Box()->findText(QStringLiteral("Team")));
    FDialogs->Clear();
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(QStringLiteral("btnProfiles_DeleteProfile"));
    QCOMPARE(Messages(), QStringList({Text(TDialogType::Profiles_RemovePrompt),
                                      Text(TDialogType::Profiles_RemoveConfirm)}));
    QVERIFY(!QFileInfo::exists(team));
    QCOMPARE(Box()->count(), 1);
    QCOMPARE(Box()->currentText(), QStringLiteral("Clan"));
    QVERIFY(!QDir(FFixture->Environment().DataHome() + QStringLiteral("/Trash/files")).exists() ||
            QDir(FFixture->Environment().DataHome() + QStringLiteral("/Trash/files")).isEmpty());
    QCOMPARE(UserIni(), clanBytes);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TProfilesPageTest::threeBackupsInOneSecondGetDistinctNames()
{
    const QByteArray original = UserIni();
    ShowPage();
    // Three clicks may straddle a second; then they are tried again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        for (const QString& file : Backups())
            QFile::remove(BackupsDir() + file);
        const QDateTime start = QDateTime::currentDateTime();
        for (int i = 0; i < 3; ++i)
            Click(QStringLiteral("btnProfiles_BackupActiveProfile"));
        if (start.toSecsSinceEpoch() != QDateTime::currentDateTime().toSecsSinceEpoch())
            continue;
        const QStringList backups = Backups();
        QCOMPARE(backups.size(), 3);
        const QString plain = backups.first();
        QVERIFY(plain.startsWith(QLatin1String("User.ini.")) &&
                plain.endsWith(QLatin1String(".backup")));
        const QString stamp = plain.mid(9, plain.size() - 9 - 7);
        QCOMPARE(backups, QStringList({plain, QStringLiteral("User.ini.%1_0.backup").arg(stamp),
                                       QStringLiteral("User.ini.%1_1.backup").arg(stamp)}));
        for (const QString& file : backups)
            QCOMPARE(ReadBytes(BackupsDir() + file), original);
        QCOMPARE(Messages(), QStringList(3, Text(TDialogType::Profiles_BackupCreated)));
        return;
    }
    QFAIL("Three backups never fell into one second");
}

void TProfilesPageTest::refusedNamesAndFailuresChangeNothing()
{
    ShowPage();
    WriteBytes(ProfilesDir() + QStringLiteral("Clan.ini"),
               "[UT2004KOVA]\r\nProfileName=Clan\r\nID={0F8FAD5B-D9CB-469F-A165-70867728950E}\r\n");
    const QMap<QString, QByteArray> tree = Tree();

    for (const QString& name :
         {QStringLiteral("../evil"), QStringLiteral("a/b"), QStringLiteral(""),
          QStringLiteral("   "), QStringLiteral("CLAN")}) {
        FDialogs->Clear();
        FDialogs->AnswerInput(name);
        Click(QStringLiteral("btnProfiles_NewProfile"));
        QCOMPARE(FDialogs->Calls().size(), 2);
        const TScriptedDialogs::TCall& error = FDialogs->Calls().last();
        QCOMPARE(error.Caption, Text(TDialogType::Common_Error));
        QCOMPARE(error.Type, TMsgDlgType::mtError);
    }
    // From a chosen file: refused before the file prompt.
    FDialogs->Clear();
    FDialogs->AnswerInput(QStringLiteral("x:y"));
    Click(QStringLiteral("btnProfiles_NewProfileEx"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).size(), 0);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    // Cancelled prompts create nothing either.
    FDialogs->Clear();
    FDialogs->AnswerInput(QString());
    Click(QStringLiteral("btnProfiles_NewProfile"));
    FDialogs->AnswerInput(QStringLiteral("Fresh"));
    FDialogs->AnswerOpen({});
    Click(QStringLiteral("btnProfiles_NewProfileEx"));
    QCOMPARE(Messages(), QStringList());

    // Without "User.ini": a backup fails with an error, never the success text.
    QCOMPARE(Tree(), tree);
    QFile::remove(FFixture->Game().Path(QStringLiteral("System/User.ini")));
    FDialogs->Clear();
    Click(QStringLiteral("btnProfiles_BackupActiveProfile"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkException).size(), 1);
    QVERIFY(FDialogs->CallsOf(TKind::dkException).first().Text.contains(QLatin1String("User.ini")));
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 0);
    QCOMPARE(Backups(), QStringList());
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

void TProfilesPageTest::restoreAsksBeforeReplacing()
{
    const QByteArray backup = "[DefaultPlayer]\r\nName=Restored\r\n";
    const QByteArray current = UserIni();
    ShowPage();
    const QString file = BackupsDir() + QStringLiteral("User.ini.Jan_01_2024_10_00_00.backup");
    WriteBytes(file, backup);

    // No to the replace question: "User.ini" stays, and no success text.
    FDialogs->AnswerOpen({file});
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(QStringLiteral("btnProfiles_RestoreBackup"));
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).first().Caption,
             Text(TDialogType::Common_Dialog_SelectBackup));
    QCOMPARE(Messages().size(), 1);
    QVERIFY(Messages().first().contains(QLatin1String("User.ini")));
    QCOMPARE(UserIni(), current);

    FDialogs->Clear();
    FDialogs->AnswerOpen({file});
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(QStringLiteral("btnProfiles_RestoreBackup"));
    QCOMPARE(Messages().size(), 2);
    QCOMPARE(Messages().last(), Text(TDialogType::Common_BackupRestored));
    QCOMPARE(UserIni(), backup);
    QCOMPARE(ReadBytes(file), backup);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

QTEST_MAIN(TProfilesPageTest)
#include "TProfilesPageTest.moc"
