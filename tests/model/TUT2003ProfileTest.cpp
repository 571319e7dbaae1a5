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

using namespace Qt::StringLiterals;

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
        QDir().mkpath(ProgramFile(u"Profiles/Backups"_s));
    }

    QString ProgramFile(const QString& relative) const { return FProgram.filePath(relative); }

    QString WriteProgramFile(const QString& relative, const QByteArray& bytes) const
    {
        EXPECT_TRUE(WriteBytes(ProgramFile(relative), bytes));
        return ProgramFile(relative);
    }

    QStringList Backups() const
    {
        return QDir(ProgramFile(u"Profiles/Backups"_s)).entryList(QDir::Files, QDir::Name);
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    QTemporaryDir FProgram;
    TScriptedShellUi FUi;
};

} // namespace

TEST_F(ProfileTest, ReadsNamesAndIdentifiersOfTheProfileFiles)
{
    WriteProgramFile(u"Profiles/a.ini"_s, KManagedIni);
    WriteProgramFile(u"Profiles/b.ini"_s, "[UT2004KOVA]\r\nProfileName=NoID\r\n");
    WriteProgramFile(u"Profiles/c.ini"_s,
                     "[UT2004KOVA]\r\nProfileName=(DEFAULT)\r\nID={6B29FC40-CA47-1067-B31D-"
                     "00DD010662DB}\r\n");
    WriteProgramFile(u"Profiles/d.ini"_s, "[UT2004KOVA]\r\nProfileName=(default)\r\nID=CREATE\r\n");
    const QByteArray badId("[UT2004KOVA]\r\nProfileName=Bad\r\nID=not a guid\r\n");
    const QString bad = WriteProgramFile(u"Profiles/e.ini"_s, badId);
    WriteProgramFile(u"Profiles/Deeper/f.ini"_s, KManagedIni);

    TUT2003Profile profiles(FGame.Root() + QLatin1Char('/'), ProgramFile("Profiles"),
                            ProgramFile("Profiles/Backups"));
    EXPECT_EQ(profiles.GameDir, FGame.Root());

    // The unmanaged "User.ini" comes first; deeper folders are not searched.
    EXPECT_EQ(profiles.ListNames(), (QStringList{"(DEFAULT)", "Alpha", "(DEFAULT)",
                                                 "Unnamed Profile", "(default)", "Bad"}));
    EXPECT_EQ(profiles.GetItem(0)->FileName, FGame.Path(u"System/User.ini"_s));
    EXPECT_EQ(profiles.GetItem(1)->ID, QUuid(u"{6B29FC40-CA47-1067-B31D-00DD010662DA}"_s));
    EXPECT_TRUE(profiles.GetItem(2)->IsDefault);

    // "create" was replaced by a new identifier, written upper case with braces.
    const TUTProfile* created = profiles.GetItem(4);
    EXPECT_FALSE(created->ID.isNull());
    const QString written = ReadIniValue(u"ID"_s, u"UT2004KOVA"_s, created->FileName);
    EXPECT_EQ(written, created->ID.toString(QUuid::WithBraces).toUpper());

    // A text that is no identifier reads as the zero GUID and stays in the file.
    EXPECT_TRUE(profiles.GetItem(5)->ID.isNull());
    EXPECT_EQ(ReadBytes(bad), badId);

    // Found by path in any letter case or by name in any ASCII case; the earlier one wins.
    EXPECT_EQ(profiles.IndexOf(ProgramFile(u"PROFILES/A.INI"_s)), 1);
    EXPECT_EQ(profiles.IndexOf(u"aLPHA"_s), 1);
    EXPECT_EQ(profiles.IndexOf(u"(default)"_s), 0);
    EXPECT_EQ(profiles.IndexOfID(created->ID), 4);

    // A missing "User.ini" adds no entry.
    QFile::remove(FGame.Path(u"System/User.ini"_s));
    profiles.Refresh();
    EXPECT_EQ(profiles.GetCount(), 5);
    EXPECT_FALSE(profiles.GetActive()->IsDefault);
}

// The page's test follows a profile's life byte for byte; here what it cannot see.
TEST_F(ProfileTest, OnlyAnUnmanagedUserIniIsBackedUpAndNamesStayInTheFolder)
{
    const QString userIni = FGame.Path(u"System/User.ini"_s);
    const QByteArray original = ReadBytes(userIni);
    TUT2003Profile profiles(FGame.Root(), ProgramFile("Profiles"), ProgramFile("Profiles/Backups"));
    const TResult<TUTProfile*> escaped = profiles.CreateProfile(u"../Escape"_s, userIni);
    ASSERT_FALSE(escaped);
    EXPECT_EQ(escaped.Error().Code, TErrorCode::ecInvalid);
    EXPECT_FALSE(QFileInfo::exists(ProgramFile(u"Escape.ini"_s)));

    const TResult<TUTProfile*> created = profiles.CreateProfile(u"Mine"_s, userIni);
    ASSERT_TRUE(created);
    const QUuid mineId = (*created)->ID;
    EXPECT_TRUE(profiles.Activate(**created));
    ASSERT_EQ(Backups().size(), 1);
    EXPECT_EQ(ReadBytes(ProgramFile(u"Profiles/Backups/"_s + Backups().front())), original);
    EXPECT_EQ(profiles.GetCount(), 1); // the default entry is gone: "User.ini" is managed now
    EXPECT_EQ(profiles.GetItem(0)->ID, mineId);
    // Activating again backs nothing up: the managed "User.ini" lives on in its profile.
    EXPECT_TRUE(profiles.Activate(*profiles.GetItem(0)));
    EXPECT_EQ(Backups().size(), 1);
    EXPECT_EQ(profiles.Backup(TUTProfile(ProgramFile(u"Profiles/None.ini"_s))).Error().Code,
              TErrorCode::ecNotFound);
}

TEST_F(ProfileTest, RenamingAndCreatingOverAnExistingProfile)
{
    const QString userIni = FGame.Path(u"System/User.ini"_s);
    TUT2003Profile profiles(FGame.Root(), ProgramFile("Profiles"), ProgramFile("Profiles/Backups"));
    const TResult<TUTProfile*> created = profiles.CreateProfile(u"Mine"_s, userIni);
    ASSERT_TRUE(created);
    TUTProfile* mine = *created;
    const QUuid id = mine->ID;

    EXPECT_TRUE(mine->SetName(u"Renamed"_s));
    TUTProfile reread(mine->FileName);
    EXPECT_EQ(reread.Name, u"Renamed"_s);
    EXPECT_EQ(reread.ID, id);

    // A second profile of the same file name, in any letter case, or a name the game's
    // platform cannot hold, is refused before anything is copied.
    const QByteArray mineBytes = ReadBytes(mine->FileName);
    for (const QString& name : {u"Mine"_s, u"mINE"_s, u"a:b"_s, u"tab\there"_s, u".."_s}) {
        const TResult<TUTProfile*> refused = profiles.CreateProfile(name, userIni);
        ASSERT_FALSE(refused) << name.toStdString();
        EXPECT_EQ(refused.Error().Code, TErrorCode::ecInvalid);
    }
    EXPECT_EQ(ReadBytes(mine->FileName), mineBytes);
    EXPECT_EQ(QDir(ProgramFile(u"Profiles"_s)).entryList(QDir::Files), QStringList{u"Mine.ini"_s});
    EXPECT_EQ(profiles.GetCount(), 2); // the default entry and "Mine"
}

TEST_F(ProfileTest, ReadOnlyFoldersFailBackupAndDelete)
{
    // Game and program folder under one root, so that file protection can hold for both.
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    TGameFolder game(root.path());
    const QString program = root.filePath(u"Program"_s);
    const QString profilesDir = program + u"/Profiles"_s;
    const QString backupsDir = profilesDir + u"/Backups"_s;
    QDir().mkpath(backupsDir);
    const QString alpha = profilesDir + u"/a.ini"_s;
    ASSERT_TRUE(WriteBytes(alpha, KManagedIni));
    const QString userIni = game.Path(u"System/User.ini"_s);
    const QByteArray original = ReadBytes(userIni);
    // "User.ini" could be replaced; only the backup cannot be written.
    SetMode(game.Path(u"System"_s), 0777);
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
        EXPECT_EQ(profiles.IndexOf(u"Alpha"_s), 1);
    }
    SetMode(backupsDir, 0755);
    SetMode(profilesDir, 0755);
    EXPECT_TRUE(QDir(backupsDir).isEmpty());
}
