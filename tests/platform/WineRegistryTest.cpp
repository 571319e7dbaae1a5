#include "WineRegistry.h"

#include "TGameFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

void WriteSystemReg(const QString& prefix, const QByteArray& text)
{
    QFile file(prefix + "/system.reg");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

const char KSystemReg[] = R"(WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Other\\UT2004] 1700000000
"Folder"="D:\\Wrong"

[Software\\Wow6432Node\\Unreal Technology\\Installed Apps\\UT2004] 1700000000
#time=1da0b3c1a2b3c4d
"CDKey"=hex:41,42,\
  43,44
"Folder"="C:\\UT2004"
"Version"="3369"
@="Default text"
"Quoted \"Name\""="say \"hi\" \\ \x00e9t\x00e9\n"
"Expand"=str(2):"%ProgramFiles%\\UT2004"
"Number"=dword:00000001

[Software\\Unreal Technology\\Installed Apps\\UT2003] 1700000000
"Folder"="C:\\UT2003"
)";

TEST(WineRegistryTest, ReadsStringValuesOfEitherViewAndNothingElse)
{
    TTempEnvironment env;
    const QString key = "SOFTWARE\\Unreal Technology\\Installed Apps\\UT2004";
    EXPECT_FALSE(ReadLocalMachineString(key, "Folder")); // no system.reg yet
    WriteSystemReg(env.WinePrefix(), KSystemReg);
    EXPECT_EQ(ReadLocalMachineString(key, "Folder"), QString("C:\\UT2004"));
    EXPECT_EQ(ReadLocalMachineString(key.toLower(), "FOLDER"), QString("C:\\UT2004"));
    EXPECT_EQ(ReadLocalMachineString(key, "@"), QString("Default text"));
    EXPECT_EQ(ReadLocalMachineString(key, "Quoted \"Name\""),
              QString::fromUtf8("say \"hi\" \\ \xc3\xa9t\xc3\xa9\n"));
    // Only the key of a 32-bit prefix layout.
    EXPECT_EQ(
        ReadLocalMachineString("Software\\Unreal Technology\\Installed Apps\\UT2003", "Folder"),
        QString("C:\\UT2003"));
    for (const char* other : {"Expand", "Number", "CDKey", "Missing"})
        EXPECT_FALSE(ReadLocalMachineString(key, other)) << other;
    EXPECT_FALSE(ReadLocalMachineString("Software\\Nobody", "Folder"));
}

} // namespace
