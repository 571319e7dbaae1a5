#include "TUT2003Profile.h"

#include "ScriptedShellUi.h"
#include "TFileProtection.h"
#include "TGameFolder.h"
#include "uKOVA_Misc.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray KManagedIni("[DefaultPlayer]\r\n"
                             "Name=Alpha\r\n"
                             "\r\n"
                             "[UT2004KOVA]\r\n"
                             "ProfileName=Alpha\r\n"
                             "ID={6B29FC40-CA47-1067-B31D-00DD010662DA}\r\n");

class ProfileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FProgram.isValid());
        QDir().mkpath(ProgramFile(QStringLiteral("Profiles/Backups")));
    }

    QString ProgramFile(const QString& relative) const { return FProgram.filePath(relative); }

    QString WriteProgramFile(const QString& relative, const QByteArray& bytes) const
    {
        const QString path = ProgramFile(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    QStringList Backups() const
    {
        return QDir(ProgramFile(QStringLiteral("Profiles/Backups")))
            .entryList(QDir::Files, QDir::Name);
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    QTemporaryDir FProgram;
    TScriptedShellUi FUi;
};

} // namespace

TEST_F(ProfileTest, ReadsNamesAndIdentifiersOfTheProfileFiles)
{
    WriteProgramFile(QStringLiteral("Profiles/a.ini"), KManagedIni);
    WriteProgramFile(QStringLiteral("Profiles/b.ini"), "[UT2004KOVA]\r\nProfileName=NoID\r\n");
    WriteProgramFile(QStringLiteral("Profiles/c.ini"),
                     "[UT2004KOVA]\r\nProfileName=(DEFAULT)\r\nID={6B29FC40-CA47-1067-B31D-"
                     "00DD010662DB}\r\n");
    WriteProgramFile(QStringLiteral("Profiles/d.ini"),
                     "[UT2004KOVA]\r\nProfileName=(default)\r\nID=CREATE\r\n");
    const QByteArray badId("[UT2004KOVA]\r\nProfileName=Bad\r\nID=not a guid\r\n");
    const QString bad = WriteProgramFile(QStringLiteral("Profiles/e.ini"), badId);
    WriteProgramFile(QStringLiteral("Profiles/Deeper/f.ini"), KManagedIni);

    TUT2003Profile profiles(FGame.Root() + QLatin1Char('/'), ProgramFile("Profiles"),
                            ProgramFile("Profiles/Backups"));
    EXPECT_EQ(profiles.GameDir, FGame.Root());

    // The unmanaged "User.ini" comes first; deeper folders are not searched.
    EXPECT_EQ(profiles.ListNames(), (QStringList{"(DEFAULT)", "Alpha", "(DEFAULT)",
                                                 "Unnamed Profile", "(default)", "Bad"}));
    EXPECT_TRUE(profiles.GetItem(0)->IsDefault);
    EXPECT_EQ(profiles.GetItem(0)->FileName, FGame.Path(QStringLiteral("System/User.ini")));
    EXPECT_FALSE(profiles.GetItem(1)->IsDefault);
    EXPECT_EQ(profiles.GetItem(1)->ID,
              QUuid(QStringLiteral("{6B29FC40-CA47-1067-B31D-00DD010662DA}")));
    EXPECT_TRUE(profiles.GetItem(2)->IsDefault);
    EXPECT_TRUE(profiles.GetItem(2)->ID.isNull());

    // "create" was replaced by a new identifier, written upper case with braces.
    const TUTProfile* created = profiles.GetItem(4);
    EXPECT_FALSE(created->ID.isNull());
    const QString written =
        ReadIniValue(QStringLiteral("ID"), QStringLiteral("UT2004KOVA"), created->FileName);
    EXPECT_EQ(written, TUTProfile::GuidToString(created->ID));
    EXPECT_EQ(written, written.toUpper());
    EXPECT_TRUE(written.startsWith(QLatin1Char('{')) && written.endsWith(QLatin1Char('}')));

    // A text that is no identifier reads as the zero GUID and stays in the file.
    EXPECT_TRUE(profiles.GetItem(5)->ID.isNull());
    EXPECT_EQ(ReadBytes(bad), badId);

    // Found by path in any letter case or by name in any ASCII case; the earlier one wins.
    EXPECT_EQ(profiles.IndexOf(ProgramFile(QStringLiteral("PROFILES/A.INI"))), 1);
    EXPECT_EQ(profiles.IndexOf(QStringLiteral("aLPHA")), 1);
    EXPECT_EQ(profiles.IndexOf(QStringLiteral("(default)")), 0);
    EXPECT_EQ(profiles.IndexOf(QStringLiteral("nobody")), -1);
    EXPECT_EQ(profiles.IndexOfID(created->ID), 4);
    EXPECT_EQ(profiles.IndexOfID(QUuid::createUuid()), -1);

    // A missing "User.ini" adds no entry.
    QFile::remove(FGame.Path(QStringLiteral("System/User.ini")));
    profiles.Refresh();
    EXPECT_EQ(profiles.GetCount(), 5);
    EXPECT_FALSE(profiles.GetActive()->IsDefault);
}

TEST_F(ProfileTest, LifeCycleKeepsEveryFileByteForByte)
{
    const QString userIni = FGame.Path(QStringLiteral("System/User.ini"));
    const QByteArray original = ReadBytes(userIni);
    TUT2003Profile profiles(FGame.Root(), ProgramFile("Profiles"), ProgramFile("Profiles/Backups"));
    ASSERT_EQ(profiles.GetCount(), 1);

    // Create: a copy of "User.ini" with the profile's section added.
    const TResult<TUTProfile*> created = profiles.CreateProfile(QStringLiteral("Mine"), userIni);
    ASSERT_TRUE(created);
    TUTProfile* mine = *created;
    const QString mineFile = ProgramFile(QStringLiteral("Profiles/Mine.ini"));
    EXPECT_EQ(mine->FileName, mineFile);
    EXPECT_EQ(mine->Name, QStringLiteral("Mine"));
    EXPECT_FALSE(mine->IsDefault);
    EXPECT_TRUE(mine->IsManaged());
    EXPECT_FALSE(mine->ID.isNull());
    const QByteArray mineBytes = ReadBytes(mineFile);
    EXPECT_TRUE(mineBytes.startsWith(original));
    EXPECT_TRUE(mineBytes.contains("ID=" + TUTProfile::GuidToString(mine->ID).toLatin1() + "\r\n"));
    EXPECT_EQ(profiles.GetCount(), 2);
    EXPECT_EQ(ReadBytes(userIni), original);
    const QUuid mineId = mine->ID;

    // Names that would leave the Profiles folder are refused.
    const TResult<TUTProfile*> escaped =
        profiles.CreateProfile(QStringLiteral("../Escape"), userIni);
    ASSERT_FALSE(escaped);
    EXPECT_EQ(escaped.Error().Code, TErrorCode::ecInvalid);
    EXPECT_FALSE(QFileInfo::exists(ProgramFile(QStringLiteral("Escape.ini"))));

    // Activate: the unmanaged "User.ini" is backed up first, then replaced by the profile.
    EXPECT_TRUE(profiles.Activate(*mine));
    EXPECT_EQ(ReadBytes(userIni), mineBytes);
    ASSERT_EQ(Backups().size(), 1);
    const QString firstBackup =
        ProgramFile(QStringLiteral("Profiles/Backups/") + Backups().front());
    EXPECT_EQ(ReadBytes(firstBackup), original);
    EXPECT_EQ(profiles.GetCount(), 1); // the default entry is gone: "User.ini" is managed now
    EXPECT_EQ(profiles.IndexOfID(profiles.GetActive()->ID), 0);
    EXPECT_EQ(profiles.GetItem(0)->ID, mineId);

    // Activating again backs nothing up: the managed "User.ini" lives on in its profile.
    EXPECT_TRUE(profiles.Activate(*profiles.GetItem(0)));
    EXPECT_EQ(Backups().size(), 1);

    // Back up: three in a row get distinct names in the stamp's pattern.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(profiles.Backup(*profiles.GetItem(0)));
    const QStringList backups = Backups();
    ASSERT_EQ(backups.size(), 4);
    const QRegularExpression pattern(
        QStringLiteral(R"(^User\.ini\.([A-Za-z]{3}_\d\d_\d{4}_\d\d_\d\d_\d\d)(_\d+)?\.backup$)"));
    for (const QString& name : backups)
        EXPECT_TRUE(pattern.match(name).hasMatch()) << name.toStdString();
    for (const QString& name : backups) {
        if (name != QFileInfo(firstBackup).fileName()) {
            EXPECT_EQ(ReadBytes(ProgramFile(QStringLiteral("Profiles/Backups/") + name)),
                      mineBytes);
        }
    }

    // Restore: the shell asks before replacing "User.ini"; No keeps it, Yes restores.
    FUi.ReplaceAnswer = TReplaceAnswer::raNo;
    const TResult<void> kept = profiles.RestoreBackup(firstBackup);
    ASSERT_FALSE(kept);
    EXPECT_EQ(kept.Error().Code, TErrorCode::ecDeclined);
    EXPECT_EQ(ReadBytes(userIni), mineBytes);
    FUi.ReplaceAnswer = TReplaceAnswer::raYes;
    EXPECT_TRUE(profiles.RestoreBackup(firstBackup));
    EXPECT_EQ(ReadBytes(userIni), original);
    EXPECT_EQ(FUi.ReplaceQuestions, (QStringList{userIni, userIni}));

    // Delete: the file goes for good and the entry with it.
    profiles.Refresh();
    const int index = profiles.IndexOf(QStringLiteral("Mine"));
    ASSERT_GE(index, 0);
    const int count = profiles.GetCount();
    EXPECT_TRUE(profiles.DeleteProfile(index));
    EXPECT_FALSE(QFileInfo::exists(mineFile));
    EXPECT_EQ(profiles.GetCount(), count - 1);
    EXPECT_TRUE(QDir(FEnvironment.DataHome() + QStringLiteral("/Trash/files")).isEmpty());
    EXPECT_EQ(profiles.DeleteProfile(profiles.GetCount()).Error().Code, TErrorCode::ecNotFound);
    // A missing file is no backup.
    EXPECT_EQ(profiles.Backup(TUTProfile(mineFile)).Error().Code, TErrorCode::ecNotFound);
}

TEST_F(ProfileTest, RenamingAndCreatingOverAnExistingProfile)
{
    const QString userIni = FGame.Path(QStringLiteral("System/User.ini"));
    TUT2003Profile profiles(FGame.Root(), ProgramFile("Profiles"), ProgramFile("Profiles/Backups"));
    const TResult<TUTProfile*> created = profiles.CreateProfile(QStringLiteral("Mine"), userIni);
    ASSERT_TRUE(created);
    TUTProfile* mine = *created;
    const QUuid id = mine->ID;

    EXPECT_TRUE(mine->SetName(QStringLiteral("Renamed")));
    TUTProfile reread(mine->FileName);
    EXPECT_EQ(reread.Name, QStringLiteral("Renamed"));
    EXPECT_EQ(reread.ID, id);

    // A second profile of the same file name, in any letter case, or a name the game's
    // platform cannot hold, is refused before anything is copied.
    const QByteArray mineBytes = ReadBytes(mine->FileName);
    for (const QString& name :
         {QStringLiteral("Mine"), QStringLiteral("mINE"), QStringLiteral("a:b"),
          QStringLiteral("tab\there"), QStringLiteral("..")}) {
        const TResult<TUTProfile*> refused = profiles.CreateProfile(name, userIni);
        ASSERT_FALSE(refused) << name.toStdString();
        EXPECT_EQ(refused.Error().Code, TErrorCode::ecInvalid);
    }
    EXPECT_EQ(ReadBytes(mine->FileName), mineBytes);
    EXPECT_EQ(QDir(ProgramFile(QStringLiteral("Profiles"))).entryList(QDir::Files),
              QStringList{QStringLiteral("Mine.ini")});
    EXPECT_EQ(profiles.GetCount(), 2); // the default entry and "Mine"
}

TEST_F(ProfileTest, ReadOnlyFoldersFailBackupAndDelete)
{
    // Game and program folder under one root, so that file protection can hold for both.
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    TGameFolder game(root.path());
    const QString program = root.filePath(QStringLiteral("Program"));
    const QString profilesDir = program + QStringLiteral("/Profiles");
    const QString backupsDir = profilesDir + QStringLiteral("/Backups");
    QDir().mkpath(backupsDir);
    const QString alpha = profilesDir + QStringLiteral("/a.ini");
    {
        QFile file(alpha);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(KManagedIni);
    }
    const QString userIni = game.Path(QStringLiteral("System/User.ini"));
    const QByteArray original = ReadBytes(userIni);
    // "User.ini" could be replaced; only the backup cannot be written.
    SetMode(game.Path(QStringLiteral("System")), 0777);
    SetMode(userIni, 0666);
    SetMode(backupsDir, 0555);
    SetMode(profilesDir, 0555);
    {
        TFileProtection protection(root.path());
        TUT2003Profile profiles(game.Root(), profilesDir, backupsDir);
        ASSERT_EQ(profiles.GetCount(), 2);
        const TResult<void> activated = profiles.Activate(*profiles.GetItem(1));
        ASSERT_FALSE(activated);
        EXPECT_EQ(activated.Error().Code, TErrorCode::ecFailed);
        EXPECT_EQ(ReadBytes(userIni), original);
        EXPECT_EQ(profiles.GetCount(), 2);

        const TResult<void> deleted = profiles.DeleteProfile(1);
        ASSERT_FALSE(deleted);
        EXPECT_EQ(deleted.Error().FileName, alpha);
        EXPECT_TRUE(QFileInfo::exists(alpha));
        EXPECT_EQ(profiles.IndexOf(QStringLiteral("Alpha")), 1);
    }
    SetMode(backupsDir, 0755);
    SetMode(profilesDir, 0755);
    EXPECT_TRUE(QDir(backupsDir).isEmpty());
}
