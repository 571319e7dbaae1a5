#include "uKOVA_Misc.h"

#include "TFileProtection.h"
#include "TGameFolder.h"
#include "TextCodec.h"
#include "TestFiles.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString WriteBytes(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << qPrintable(path);
    return path;
}

TEST(FormatFileSize, UnitsAndBoundsInUsEnglish)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    constexpr qint64 KGiga = 1073741824;
    EXPECT_EQ(FormatFileSize(0), "0 Byte");
    EXPECT_EQ(FormatFileSize(1023), "1023 Byte");
    EXPECT_EQ(FormatFileSize(1024), "1.00 KB");
    EXPECT_EQ(FormatFileSize(1048576), "1,024.00 KB");
    EXPECT_EQ(FormatFileSize(1048577), "1.00 MB");
    EXPECT_EQ(FormatFileSize(KGiga), "1,024.00 MB");
    EXPECT_EQ(FormatFileSize(KGiga + 1), "1.00 GB");
    EXPECT_EQ(FormatFileSize(5 * KGiga), "5.00 GB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatFileSize(1048576), "1.024,00 KB");
    QLocale::setDefault(QLocale::c());
}

TEST(ExtractNameOrValue, SplitsAtTheFirstEqualsSign)
{
    QString result = "untouched";
    ExtractNameOrValue("a=b=c", true, result);
    EXPECT_EQ(result, "b=c");
    ExtractNameOrValue("a=b=c", false, result);
    EXPECT_EQ(result, "a");
    ExtractNameOrValue("no sign", true, result);
    EXPECT_EQ(result, "a");
    ExtractNameOrValue("key=", true, result);
    EXPECT_EQ(result, "");
}

TEST(CreateRepeatedStringList, CountCopies)
{
    EXPECT_EQ(CreateRepeatedStringList("x", 3), (QStringList{"x", "x", "x"}));
    EXPECT_TRUE(CreateRepeatedStringList("x", 0).isEmpty());
    EXPECT_TRUE(CreateRepeatedStringList("x", -2).isEmpty());
}

TEST(IniValues, OneValueAtATime)
{
    QTemporaryDir dir;
    const QString path = WriteBytes(dir, "UT2004.ini", SampleGameIni());
    EXPECT_EQ(ReadIniValue("Language", "Engine.Engine", path), "int");
    EXPECT_EQ(IniReadString(path, "FirstRun", "FirstRun"), "3369");
    EXPECT_EQ(ReadIniValue("Missing", "Engine.Engine", path), "");
    EXPECT_EQ(ReadIniValue("Language", "Engine.Engine", dir.filePath("None.ini")), "");

    WriteIniValue("det", "Language", "Engine.Engine", path);
    IniWriteString(path, "URL", "Name", "Caf\u00e9");
    QByteArray expected = SampleGameIni();
    expected.replace("Language=int", "Language=det");
    expected.replace("Name=Player", "Name=Caf\xe9");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(IniReadString(path, "url", "name"), "Caf\u00e9");
}

TEST(IniValues, FailedWriteRaises)
{
    QTemporaryDir dir;
    const QString path = WriteBytes(dir, "User.ini", SampleUserIni());
    ASSERT_TRUE(SetMode(dir.path(), 0555));
    {
        TFileProtection protection(dir.path());
        EXPECT_THROW(WriteIniValue("Bob", "Name", "DefaultPlayer", path), EIniFileException);
    }
    ASSERT_TRUE(SetMode(dir.path(), 0700));
    EXPECT_EQ(ReadBytes(path), SampleUserIni());
}

TEST(RenameIniSection, ChangesOnlyTheHeaderLine)
{
    QTemporaryDir dir;
    const QByteArray original = "; top\n[engine.engine]\nLanguage=int\n[Engine.Engine] \nX=1\n";
    const QString path = WriteBytes(dir, "Test.ini", original);
    EXPECT_TRUE(RenameIniSection(TIniFile(path), "Engine.Engine", "Engine.Other"));
    EXPECT_EQ(ReadBytes(path), "; top\n[Engine.Other]\nLanguage=int\n[Engine.Engine] \nX=1\n");
    EXPECT_EQ(ReadIniValue("Language", "Engine.Other", path), "int");

    // CR LF, Windows-1252 bytes and a last line without ending stay as they were.
    const QByteArray crlf = "[A]\r\nK=Caf\xe9\r\n\r\n[B]\r\nK=2";
    const QString crlfPath = WriteBytes(dir, "Crlf.ini", crlf);
    EXPECT_TRUE(RenameIniSection(TIniFile(crlfPath), "b", "Caf\u00e9"));
    EXPECT_EQ(ReadBytes(crlfPath), "[A]\r\nK=Caf\xe9\r\n\r\n[Caf\xe9]\r\nK=2");
}

TEST(RenameIniSection, RefusesWhenTheNewNameExistsOrTheOldIsMissing)
{
    QTemporaryDir dir;
    const QByteArray original = "[engine.engine]\r\nA=1\r\n[engine.other]\r\nB=2\r\n";
    const QString path = WriteBytes(dir, "Test.ini", original);
    EXPECT_FALSE(RenameIniSection(TIniFile(path), "Engine.Engine", "Engine.Other"));
    EXPECT_FALSE(RenameIniSection(TIniFile(path), "Missing", "New"));
    // Blanks around the brackets or the name make another line.
    EXPECT_FALSE(RenameIniSection(TIniFile(path), " engine.engine", "New"));
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_FALSE(RenameIniSection(TIniFile(WriteBytes(dir, "Empty.ini", {})), "A", "B"));
    EXPECT_THROW(RenameIniSection(TIniFile(dir.filePath("None.ini")), "A", "B"), EIniFileException);
    EXPECT_THROW(RenameIniSection(TIniFile(path), "engine.engine", "X]\r\n[Y"), EIniFileException);
    EXPECT_EQ(ReadBytes(path), original);
}

TEST(RenameIniSection, Utf16FileStaysUtf16)
{
    QTemporaryDir dir;
    const QString path =
        WriteBytes(dir, "Test.ucl", "\xff\xfe" + EncodeUtf16LE(u"[Old]\r\nK=\u0416\r\n"_s));
    EXPECT_TRUE(RenameIniSection(TIniFile(path), "old", "New"));
    EXPECT_EQ(ReadBytes(path), "\xff\xfe" + EncodeUtf16LE(u"[New]\r\nK=\u0416\r\n"_s));
}

TEST(RenameIniSection, FailedWriteRaisesAndLeavesTheFileWhole)
{
    QTemporaryDir dir;
    const QByteArray original = "[Old]\nK=1\n";
    const QString path = WriteBytes(dir, "Test.ini", original);
    ASSERT_TRUE(SetMode(dir.path(), 0555));
    {
        TFileProtection protection(dir.path());
        EXPECT_THROW(RenameIniSection(TIniFile(path), "Old", "New"), EIniFileException);
    }
    ASSERT_TRUE(SetMode(dir.path(), 0700));
    EXPECT_EQ(ReadBytes(path), original);
}

} // namespace
