// Real INI files of players and servers: read in place, written to copies, and every byte but
// the written value compared.
#include "TIniFile.h"

#include "TGameFolder.h"
#include "TextCodec.h"
#include "TestFiles.h"

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

using namespace Qt::StringLiterals;

namespace {

// Paths relative to the real data folder; without the files one empty case stands for them, so
// that the run reports them as skipped.
std::vector<std::string> RealIniFiles()
{
    std::vector<std::string> result;
    const QString root = RealDataDir();
    if (!root.isEmpty()) {
        QDirIterator it(root + "/ini", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            result.push_back(QDir(root).relativeFilePath(it.next()).toStdString());
    }
    std::sort(result.begin(), result.end());
    if (result.empty())
        result.push_back(std::string());
    return result;
}

// A key line found by a plain scan of the text, independent of the parser under test: the first
// occurrence of its key in the first occurrence of its section.
struct TKeyLine
{
    QString Section;
    QString Key;
    QString Value;            // as the profile functions read it
    qsizetype ValueStart = 0; // characters
    qsizetype ValueEnd = 0;
};

QList<TKeyLine> FirstKeyLines(const QString& text)
{
    QList<TKeyLine> result;
    QSet<QString> sections;
    QSet<QString> keys;
    QString section;
    bool firstOfSection = false;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        if (end > start && text[end - 1] == '\r')
            --end;
        const QString line = text.mid(start, end - start);
        if (line.startsWith('[')) {
            section = line.mid(1, line.indexOf(']') - 1);
            firstOfSection = !sections.contains(section.toLower());
            sections.insert(section.toLower());
        } else if (firstOfSection && !line.startsWith(';') && line.contains('=')) {
            const QString key = line.left(line.indexOf('='));
            if (!keys.contains(section.toLower() + '\n' + key.toLower())) {
                keys.insert(section.toLower() + '\n' + key.toLower());
                QString value = line.mid(key.size() + 1).trimmed();
                if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                    value = value.mid(1, value.size() - 2);
                result.append({section, key, value, start + key.size() + 1, end});
            }
        }
        start = next;
    }
    return result;
}

class TRealIni : public ::testing::TestWithParam<std::string>
{
};

TEST_P(TRealIni, ReadsInPlaceAndWritesOnlyTheValue)
{
    if (GetParam().empty())
        GTEST_SKIP() << "no real game files on this machine";
    const QString source = RealDataDir() + "/" + QString::fromStdString(GetParam());
    const QByteArray original = ReadBytes(source);
    ASSERT_FALSE(original.isEmpty());
    const bool utf16 = original.startsWith("\xff\xfe");
    const QString text = DecodeText(original);
    auto encode = [&](const QString& s) { return utf16 ? EncodeUtf16LE(s) : EncodeWindows1252(s); };
    auto byteOffset = [&](qsizetype chars) { return utf16 ? 2 + 2 * chars : chars; };

    const QList<TKeyLine> lines = FirstKeyLines(text);
    const TIniFile inPlace(source);
    for (const TKeyLine& line : lines)
        ASSERT_EQ(inPlace.ReadString(line.Section, line.Key, "?missing"), line.Value)
            << qPrintable(line.Section) << " / " << qPrintable(line.Key);

    QTemporaryDir dir;
    const QString copy = dir.filePath(QFileInfo(source).fileName());
    const QString value = u"Written by the test \u00e9"_s;
    // Keys in the middle of the file, in sections whose names hold control bytes, and the last.
    QList<TKeyLine> targets;
    if (!lines.isEmpty()) {
        targets.append(lines[lines.size() / 2]);
        targets.append(lines.back());
    }
    for (const TKeyLine& line : lines) {
        if (line.Section.contains(QChar(0x1b))) {
            targets.append(line);
            break;
        }
    }
    for (const TKeyLine& target : targets) {
        ASSERT_TRUE(QFile::copy(source, copy) ||
                    (QFile::remove(copy) && QFile::copy(source, copy)));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        TIniFile(copy).WriteString(target.Section, target.Key, value);
        QByteArray expected = original;
        expected.replace(byteOffset(target.ValueStart),
                         byteOffset(target.ValueEnd) - byteOffset(target.ValueStart),
                         encode(value));
        EXPECT_EQ(ReadBytes(copy), expected)
            << qPrintable(target.Section) << " / " << qPrintable(target.Key);
        EXPECT_EQ(TIniFile(copy).ReadString(target.Section, target.Key, {}), value);
        QFile::remove(copy);
    }

    // A new section goes at the end, with the file's line ending; nothing before it moves.
    ASSERT_TRUE(QFile::copy(source, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    TIniFile(copy).WriteString("KOVA Test", "Key", value);
    const QString eol = text.contains("\r\n") || !text.contains('\n') ? "\r\n" : "\n";
    const QByteArray written = ReadBytes(copy);
    EXPECT_TRUE(written.startsWith(original));
    EXPECT_TRUE(written.endsWith(encode("[KOVA Test]" + eol + "Key=" + value + eol)));
    EXPECT_EQ(TIniFile(copy).ReadString("kova test", "key", {}), value);
}

INSTANTIATE_TEST_SUITE_P(Files, TRealIni, ::testing::ValuesIn(RealIniFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.empty() ? "NoRealData" : info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             }
                             return name;
                         });

} // namespace
