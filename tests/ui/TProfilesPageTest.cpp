#include "TLinkLabel.h"
#include "TPageTest.h"
#include "TProfilesPage.h"
#include "TShellOperationDialogs.h"
#include "TUT2003Profile.h"
#include "uKOVA_Misc.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <QUuid>

using namespace Qt::StringLiterals;

// The profiles page over the page context's double: profiles made, activated, backed up,
// restored and deleted, with every file checked byte for byte.
class TProfilesPageTest : public TPageTest
{
    Q_OBJECT

private slots:

    void lifeCycleActsOnTheRowShown();
    void threeBackupsInOneSecondGetDistinctNames();
    void refusedNamesAndFailuresChangeNothing();
    void restoreAsksBeforeReplacing();

private:
    void Finish() override;
    TProfilesPage* ShowPage();
    QComboBox* Box() const { return Find<QComboBox>(u"cbProfiles_SelectProfile"_s); }
    void Choose(int row) const;
    bool Enabled(const QString& button) const { return Find<QPushButton>(button)->isEnabled(); }
    QByteArray UserIni() const { return FFixture->Game().ReadFile(u"System/User.ini"_s); }
    QString ProfilesDir() const { return FContext->Profiles()->ProfilesDir(); }
    QString BackupsDir() const { return FContext->Profiles()->BackupsDir(); }
    QStringList Backups() const { return QDir(BackupsDir()).entryList(QDir::Files, QDir::Name); }
    // The texts of the message boxes shown since the last Clear.
    QStringList Messages() const;
    QString Text(TDialogType key) const { return FContext->GetLangText(key); }
    // Every file below the fixture's folders with its bytes.
    QMap<QString, QByteArray> Tree() const;
};

void TProfilesPageTest::Finish()
{
    SetShellOperationUi(nullptr);
}

TProfilesPage* TProfilesPageTest::ShowPage()
{
    FContext = std::make_unique<TPageContextDouble>(*FFixture);
    auto* page = FContext->Create<TProfilesPage>(u"tbProfiles"_s);
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
    for (const TCall& call : FDialogs->Calls()) {
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
    // New profile, not activated: "User.ini" stays; the profile is "User.ini" with its section.
    FDialogs->AnswerInput(u"  Clan  "_s);
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(u"btnProfiles_NewProfile"_s);
    QCOMPARE(Messages(), QStringList{Text(TDialogType::Profiles_NewProfileActivation)});
    QCOMPARE(UserIni(), original);
    const QByteArray clanBytes = ReadBytes(ProfilesDir() + u"Clan.ini"_s);
    const QByteArray id = clanBytes.mid(clanBytes.lastIndexOf("ID=") + 3).trimmed();
    QCOMPARE(clanBytes, original + "\r\n[UT2004KOVA]\r\nProfileName=Clan\r\nID=" + id + "\r\n");
    QCOMPARE(id, QUuid(QString::fromLatin1(id)).toString(QUuid::WithBraces).toUpper().toLatin1());

    // New profile, activated: its row is selected (which "User.ini" is backed up is the
    // profiles' test).
    FDialogs->Clear();
    FDialogs->AnswerInput(u"Team"_s);
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(u"btnProfiles_NewProfile"_s);
    const QString team = ProfilesDir() + u"Team.ini"_s;
    const QByteArray teamBytes = ReadBytes(team);
    QCOMPARE(UserIni(), teamBytes);
    QCOMPARE(Box()->count(), 2); // "User.ini" is managed now: no default entry
    QCOMPARE(Box()->currentText(), u"Team"_s);

    // After an activation from the button, each button acts on the profile its row shows.
    FDialogs->Clear();
    Choose(Box()->findText(u"Clan"_s));
    QVERIFY(Enabled(u"btnProfiles_ActivateProfile"_s));
    Click(u"btnProfiles_ActivateProfile"_s);
    QCOMPARE(Messages(), QStringList{Text(TDialogType::Profiles_ProfileActivated)});
    QCOMPARE(UserIni(), clanBytes);
    QCOMPARE(Box()->currentText(), u"Clan"_s);

    Choose(Box()->findText(u"Team"_s));
    FDialogs->Clear();
    Click(u"btnProfiles_BackupProfile"_s);
    QCOMPARE(Messages(), QStringList{Text(TDialogType::Profiles_BackupCreated)});
    QCOMPARE(Backups().size(), 2);
    QCOMPARE(ReadBytes(BackupsDir() + Backups().last()), teamBytes);
    Click(u"btnProfile_EditProfile"_s);
    QCOMPARE(FContext->Orders(), QStringList({u"LoadIniFile "_s + team, "ShowPage tbINIEditor"}));

    // The jump link selects the active profile again.
    QTest::mouseClick(Find<TLinkLabel>(u"lbProfiles_JumpToActive"_s), Qt::LeftButton);
    QCOMPARE(Box()->currentText(), u"Clan"_s);

    // Save renames the profile in its file; the file keeps its name.
    Choose(Box()->findText(u"Team"_s));
    Find<QLineEdit>(u"lbeProfiles_ProfileName"_s)->setText(u"Squad"_s);
    Click(u"btnProfiles_ApplyProfileChanges"_s);
    QCOMPARE(ReadBytes(team), QByteArray(teamBytes).replace("=Team\r\n", "=Squad\r\n"));

    // Delete is for good: the file is gone and in no trash.
    FDialogs->Clear();
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(u"btnProfiles_DeleteProfile"_s);
    QCOMPARE(Messages(), QStringList({Text(TDialogType::Profiles_RemovePrompt),
                                      Text(TDialogType::Profiles_RemoveConfirm)}));
    QVERIFY(!QFileInfo::exists(team));
    QCOMPARE(Box()->currentText(), u"Clan"_s);
    QVERIFY(FileTree(Trashed(QString())).isEmpty());
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
        FDialogs->Clear(); // only this attempt's messages count
        const QDateTime start = QDateTime::currentDateTime();
        for (int i = 0; i < 3; ++i)
            Click(u"btnProfiles_BackupActiveProfile"_s);
        if (start.toSecsSinceEpoch() != QDateTime::currentDateTime().toSecsSinceEpoch())
            continue;
        const QStringList backups = Backups();
        QCOMPARE(backups.size(), 3);
        const QString plain = backups.first();
        QVERIFY(plain.startsWith(QLatin1String("User.ini.")) &&
                plain.endsWith(QLatin1String(".backup")));
        const QString stamp = plain.mid(9, plain.size() - 9 - 7);
        QCOMPARE(backups, QStringList({plain, u"User.ini.%1_0.backup"_s.arg(stamp),
                                       u"User.ini.%1_1.backup"_s.arg(stamp)}));
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
    WriteBytes(ProfilesDir() + u"Clan.ini"_s,
               "[UT2004KOVA]\r\nProfileName=Clan\r\nID={0F8FAD5B-D9CB-469F-A165-70867728950E}\r\n");
    const QMap<QString, QByteArray> tree = Tree();

    for (const QString& name : {u"../evil"_s, u"a/b"_s, u""_s, u"   "_s, u"CLAN"_s}) {
        FDialogs->Clear();
        FDialogs->AnswerInput(name);
        Click(u"btnProfiles_NewProfile"_s);
        QCOMPARE(FDialogs->Calls().size(), 2);
        QCOMPARE(FDialogs->Calls().last().Type, TMsgDlgType::mtError);
    }
    // From a chosen file: refused before the file prompt.
    FDialogs->Clear();
    FDialogs->AnswerInput(u"x:y"_s);
    Click(u"btnProfiles_NewProfileEx"_s);
    QCOMPARE(FDialogs->CallsOf(TKind::dkOpen).size(), 0);
    QCOMPARE(FDialogs->CallsOf(TKind::dkMessage).size(), 1);
    // Cancelled prompts create nothing either.
    FDialogs->Clear();
    FDialogs->AnswerInput(QString());
    Click(u"btnProfiles_NewProfile"_s);
    FDialogs->AnswerInput(u"Fresh"_s);
    FDialogs->AnswerOpen({});
    Click(u"btnProfiles_NewProfileEx"_s);
    QCOMPARE(Messages(), QStringList());

    // Without "User.ini": a backup fails with an error, never the success text.
    QCOMPARE(Tree(), tree);
    QFile::remove(FFixture->Game().Path(u"System/User.ini"_s));
    FDialogs->Clear();
    Click(u"btnProfiles_BackupActiveProfile"_s);
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
    const QString file = BackupsDir() + u"User.ini.Jan_01_2024_10_00_00.backup"_s;
    WriteBytes(file, backup);

    // No to the replace question: "User.ini" stays, and no success text.
    FDialogs->AnswerOpen({file});
    FDialogs->AnswerMessage(TModalResult::mrNo);
    Click(u"btnProfiles_RestoreBackup"_s);
    QCOMPARE(Messages().size(), 1);
    QVERIFY(Messages().first().contains(QLatin1String("User.ini")));
    QCOMPARE(UserIni(), current);

    FDialogs->Clear();
    FDialogs->AnswerOpen({file});
    FDialogs->AnswerMessage(TModalResult::mrYes);
    Click(u"btnProfiles_RestoreBackup"_s);
    QCOMPARE(Messages().size(), 2);
    QCOMPARE(Messages().last(), Text(TDialogType::Common_BackupRestored));
    QCOMPARE(UserIni(), backup);
    QCOMPARE(ReadBytes(file), backup);
    QCOMPARE(FDialogs->UnexpectedCount(), 0);
}

QTEST_MAIN(TProfilesPageTest)
#include "TProfilesPageTest.moc"
