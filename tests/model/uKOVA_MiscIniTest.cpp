#include "uKOVA_Misc.h"

#include "TGameFolder.h"
#include "TextCodec.h"
#include "TestFiles.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(FormatFileSize, UnitsAndBoundsInTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatFileSize(0), "0 Byte");
    EXPECT_EQ(FormatFileSize(1023), "1023 Byte");
    EXPECT_EQ(FormatFileSize(1024), "1.00 KB");
    EXPECT_EQ(FormatFileSize(1025), "1.00 KB");
    EXPECT_EQ(FormatFileSize(1048576), "1,024.00 KB");
    EXPECT_EQ(FormatFileSize(1048577), "1.00 MB");
    EXPECT_EQ(FormatFileSize(1073741824), "1,024.00 MB");
    EXPECT_EQ(FormatFileSize(1073741825), "1.00 GB");
    EXPECT_EQ(FormatFileSize(5 * 1073741824LL), "5.00 GB");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatFileSize(1048576), "1.024,00 KB");
    QLocale::setDefault(QLocale::c());
}

TEST(IniValues, WritesChangeOnlyTheirLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"UT2004.ini"_s);
    ASSERT_TRUE(WriteBytes(path, SampleGameIni()));
    WriteIniValue("det", "Language", "Engine.Engine", path);
    IniWriteString(path, "URL", "Name", "Caf\u00e9");
    QByteArray expected = SampleGameIni();
    expected.replace("Language=int", "Language=det");
    expected.replace("Name=Player", "Name=Caf\xe9");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(IniReadString(path, "url", "name"), "Caf\u00e9");
    // A failed write raises: the INI file's own test.
}

TEST(RenameIniSection, ChangesOnlyTheHeaderLineInEveryEncoding)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Test.ini"_s);
    ASSERT_TRUE(WriteBytes(path, "; top\n[engine.engine]\nLanguage=int\n[Engine.Engine] \nX=1\n"));
    EXPECT_TRUE(RenameIniSection(TIniFile(path), "Engine.Engine", "Engine.Other"));
    EXPECT_EQ(ReadBytes(path), "; top\n[Engine.Other]\nLanguage=int\n[Engine.Engine] \nX=1\n");

    // CR LF, Windows-1252 bytes and a last line without ending stay as they were.
    ASSERT_TRUE(WriteBytes(path, "[A]\r\nK=Caf\xe9\r\n\r\n[B]\r\nK=2"));
    EXPECT_TRUE(RenameIniSection(TIniFile(path), "b", "Caf\u00e9"));
    EXPECT_EQ(ReadBytes(path), "[A]\r\nK=Caf\xe9\r\n\r\n[Caf\xe9]\r\nK=2");

    ASSERT_TRUE(WriteBytes(path, "\xff\xfe" + EncodeUtf16LE(u"[Old]\r\nK=\u0416\r\n"_s)));
    EXPECT_TRUE(RenameIniSection(TIniFile(path), "old", "New"));
    EXPECT_EQ(ReadBytes(path), "\xff\xfe" + EncodeUtf16LE(u"[New]\r\nK=\u0416\r\n"_s));
}

TEST(RenameIniSection, RefusesWhenTheNewNameExistsOrTheOldIsMissing)
{
    QTemporaryDir dir;
    const QByteArray original = "[engine.engine]\r\nA=1\r\n[engine.other]\r\nB=2\r\n";
    const QString path = dir.filePath(u"Test.ini"_s);
    ASSERT_TRUE(WriteBytes(path, original));
    EXPECT_FALSE(RenameIniSection(TIniFile(path), "Engine.Engine", "Engine.Other"));
    EXPECT_FALSE(RenameIniSection(TIniFile(path), "Missing", "New"));
    EXPECT_FALSE(RenameIniSection(TIniFile(path), " engine.engine", "New"));
    EXPECT_THROW(RenameIniSection(TIniFile(dir.filePath("None.ini")), "A", "B"), EIniFileException);
    EXPECT_THROW(RenameIniSection(TIniFile(path), "engine.engine", "X]\r\n[Y"), EIniFileException);
    EXPECT_EQ(ReadBytes(path), original);
}

} // namespace
