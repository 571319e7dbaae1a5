#include "TGameFolder.h"
#include "TServerPackages.h"
#include "TShippedSettings.h"
#include "TextCodec.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class TServerPackagesTest : public ::testing::Test
{
protected:
    TServerPackagesTest()
        : FSettings(FGame.Root())
    {}

    QString Ini() const { return FGame.Path("System/UT2004.ini"); }
    QByteArray IniBytes() const { return FGame.ReadFile("System/UT2004.ini"); }
    // Saves Bytes as the main INI file and loads the packages from it.
    std::unique_ptr<TServerPackages> Load(const QByteArray& bytes)
    {
        FGame.WriteFile("System/UT2004.ini", bytes);
        return std::make_unique<TServerPackages>(Ini(), FSettings.Get());
    }
    static QStringList Lines(const TServerPackages& packages)
    {
        QStringList lines;
        for (int i = 0; i < packages.GetCount(); ++i)
            lines.append(packages.GetItem(i)->Line);
        return lines;
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    TShippedSettings FSettings;
};

TEST_F(TServerPackagesTest, ToggledAndAddedPackagesChangeOnlyTheirLines)
{
    const QByteArray original = SampleGameIni();
    auto packages = Load(original);
    ASSERT_EQ(Lines(*packages),
              (QStringList{"ServerPackages=Core", "ServerPackages=Engine",
                           ";ServerPackages=OldMutator", "ServerPackages=XGame"}));
    TServerPackage* old = packages->GetItem(2);
    EXPECT_EQ(old->GetPackageName(), "OldMutator");
    old->SetEnabled(false); // already: nothing changes
    EXPECT_EQ(old->Line, ";ServerPackages=OldMutator");
    old->SetEnabled(true);
    packages->GetItem(1)->SetEnabled(false);
    EXPECT_EQ(packages->Add("  ServerPackages=MyMutator \t")->Line, "ServerPackages=MyMutator");
    packages->Delete(0);
    EXPECT_TRUE(packages->Save());

    QByteArray expected = original;
    expected.replace(
        "ServerPackages=Core\r\nServerPackages=Engine\r\n;ServerPackages=OldMutator\r\n"
        "ServerPackages=XGame\r\n",
        ";ServerPackages=Engine\r\nServerPackages=OldMutator\r\nServerPackages=XGame\r\n"
        "ServerPackages=MyMutator\r\n");
    EXPECT_EQ(IniBytes(), expected);

    // Unchanged, the file stays byte for byte.
    EXPECT_TRUE(TServerPackages(Ini(), FSettings.Get()).Save());
    EXPECT_EQ(IniBytes(), expected);
}

TEST_F(TServerPackagesTest, OnlyServerPackageLinesMoveAndTheyMeetAtTheFirst)
{
    auto packages = Load("[Engine.GameEngine]\n"
                         "ServerPackages=A\n"
                         "X=1\n"
                         "; keep ServerPackages=Foo in mind\n"
                         "MyServerPackages=Bar\n"
                         "serverpackages=lower\n"
                         "//ServerPackages=Slashed\n"
                         "[Other]\n"
                         "  ;ServerPackages=B");
    EXPECT_EQ(Lines(*packages), (QStringList{"ServerPackages=A", ";ServerPackages=B"}));
    packages->Add("ServerPackages=C");
    EXPECT_TRUE(packages->Save());
    EXPECT_EQ(IniBytes(), "[Engine.GameEngine]\n"
                          "ServerPackages=A\n"
                          ";ServerPackages=B\n"
                          "ServerPackages=C\n"
                          "X=1\n"
                          "; keep ServerPackages=Foo in mind\n"
                          "MyServerPackages=Bar\n"
                          "serverpackages=lower\n"
                          "//ServerPackages=Slashed\n"
                          "[Other]\n");

    // Package lines that end the file keep its missing last line ending.
    packages = Load("[Engine.GameEngine]\r\nX=1\r\nServerPackages=A");
    packages->Add("ServerPackages=B");
    EXPECT_TRUE(packages->Save());
    EXPECT_EQ(IniBytes(), "[Engine.GameEngine]\r\nX=1\r\nServerPackages=A\r\nServerPackages=B");
}

TEST_F(TServerPackagesTest, WithoutPackageLinesNewOnesEndTheGameEngineSection)
{
    auto packages = Load("[Engine.GameEngine]\r\nCacheSizeMegs=32\r\n\r\n[Other]\r\nX=1\r\n");
    EXPECT_EQ(packages->GetCount(), 0);
    EXPECT_TRUE(packages->Save()); // nothing to write
    EXPECT_EQ(IniBytes(), "[Engine.GameEngine]\r\nCacheSizeMegs=32\r\n\r\n[Other]\r\nX=1\r\n");
    packages->Add("ServerPackages=A");
    packages->Add("ServerPackages=B");
    EXPECT_TRUE(packages->Save());
    EXPECT_EQ(IniBytes(), "[Engine.GameEngine]\r\nCacheSizeMegs=32\r\nServerPackages=A\r\n"
                          "ServerPackages=B\r\n\r\n[Other]\r\nX=1\r\n");

    packages = Load("[Other]\nX=1");
    packages->Add("ServerPackages=A");
    EXPECT_TRUE(packages->Save());
    EXPECT_EQ(IniBytes(), "[Other]\nX=1\n\n[Engine.GameEngine]\nServerPackages=A\n");
}

TEST_F(TServerPackagesTest, Utf16FilesStayUtf16)
{
    const QByteArray original =
        "\xff\xfe" + EncodeUtf16LE(QStringLiteral("[Engine.GameEngine]\r\nName=Caf\u00e9 \u263a\r\n"
                                                  "ServerPackages=A\r\n"));
    auto packages = Load(original);
    ASSERT_EQ(packages->GetCount(), 1);
    packages->Add(u"ServerPackages=\u00c9t\u00e9"_s);
    EXPECT_TRUE(packages->Save());
    EXPECT_EQ(IniBytes(),
              "\xff\xfe" + EncodeUtf16LE(QStringLiteral(
                               "[Engine.GameEngine]\r\nName=Caf\u00e9 \u263a\r\n"
                               "ServerPackages=A\r\nServerPackages=\u00c9t\u00e9\r\n")));
}

TEST_F(TServerPackagesTest, FailedSavesLeaveTheFileWhole)
{
    const QByteArray original = SampleGameIni();
    auto packages = Load(original);
    packages->Add("ServerPackages=Two\r\n[Injected]");
    EXPECT_EQ(packages->Save().Error().Code, TErrorCode::ecInvalid);
    EXPECT_EQ(IniBytes(), original);

    // A write the file system refuses is the editor's test.

    // No file: an empty list, and saving makes none.
    QFile::remove(Ini());
    packages->Load();
    EXPECT_EQ(packages->GetCount(), 0);
    packages->Add("ServerPackages=A");
    EXPECT_TRUE(packages->Save());
    EXPECT_FALSE(QFile::exists(Ini()));
}

TEST_F(TServerPackagesTest, FileNamesFollowThePathsLines)
{
    FGame.WriteFile("System/MyMutator.u", "x");
    FGame.WriteFile("Textures/mytextures.utx", "x"); // found without regard to letter case
    FGame.WriteFile("Sounds/Hidden.uax", "x");       // only a commented path leads there
    QByteArray ini = SampleGameIni();
    ini.replace("Paths=../Sounds/*.uax\r\n", ";Paths=../Sounds/*.uax\r\n");
    auto packages = Load(ini);
    const auto fileName = [&](const QString& line) {
        return TServerPackage(line, packages.get()).GetFileName();
    };
    EXPECT_EQ(fileName("ServerPackages=MyMutator"), "MyMutator.u");
    EXPECT_EQ(fileName(";ServerPackages=MyTextures"), "MyTextures.utx");
    EXPECT_EQ(fileName("ServerPackages=Hidden"), "Hidden");
    EXPECT_EQ(fileName("NoEquals"), "");
}

// A real server's main INI file: 41 package lines, "//" lines that are comments to the game,
// LF line ends and colour-code bytes elsewhere.
TEST_F(TServerPackagesTest, RealServerIni)
{
    const QString dir = RealDataDir();
    if (dir.isEmpty())
        GTEST_SKIP() << "no real game files here";
    QFile real(dir + "/ini/GrantSorenson-LumpysInvasionServer/System/UT2004.ini");
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray original = real.readAll();
    auto packages = Load(original);
    ASSERT_EQ(packages->GetCount(), 41);

    // The two lines that stood apart join the others; every line is still there, once.
    EXPECT_TRUE(packages->Save());
    const QByteArray saved = IniBytes();
    QList<QByteArray> before = original.split('\n');
    QList<QByteArray> after = saved.split('\n');
    EXPECT_EQ(after.indexOf("ServerPackages=AssaultBP"),
              after.indexOf("ServerPackages=OnslaughtBP") + 1);
    EXPECT_EQ(after.indexOf("ServerPackages=OnslaughtBP"),
              after.indexOf("ServerPackages=tk_LilLady") + 1);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);

    // Disabling one package then changes that line alone.
    packages->GetItem(packages->GetCount() - 1)->SetEnabled(false);
    EXPECT_TRUE(packages->Save());
    EXPECT_EQ(IniBytes(), QByteArray(saved).replace("\nServerPackages=AssaultBP\n",
                                                    "\n;ServerPackages=AssaultBP\n"));
}

} // namespace
