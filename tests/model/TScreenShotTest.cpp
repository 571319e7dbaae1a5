#include "TScreenShotManager.h"

#include "BitmapWriter.h"
#include "ScriptedShellUi.h"
#include "TGameFolder.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr int KWidth = 64;
constexpr int KHeight = 48;

QByteArray Bitmap24()
{
    return BitmapBytes24(KWidth, KHeight,
                         [](int x, int y) { return QuadrantColour(x, y, KWidth, KHeight); });
}

QByteArray Bitmap8()
{
    const QList<quint32> palette{0xff0000, 0x00ff00, 0x0000ff, 0xffffff};
    return BitmapBytes8(KWidth, KHeight, palette, [&](int x, int y) {
        return static_cast<int>(palette.indexOf(QuadrantColour(x, y, KWidth, KHeight)));
    });
}

// The JPEG decodes to the bitmap's size and shows its four quadrants in roughly their colours.
void ExpectQuadrantJpeg(const QString& path)
{
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), QByteArray("jpeg")) << path.toStdString();
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(KWidth, KHeight));
    for (const QPoint at : {QPoint(10, 10), QPoint(50, 10), QPoint(10, 40), QPoint(50, 40)}) {
        const quint32 expected = QuadrantColour(at.x(), at.y(), KWidth, KHeight);
        const QRgb got = image.pixel(at);
        EXPECT_NEAR(qRed(got), int(expected >> 16), 24);
        EXPECT_NEAR(qGreen(got), int((expected >> 8) & 0xff), 24);
        EXPECT_NEAR(qBlue(got), int(expected & 0xff), 24);
    }
}

// The kind of failure; none for a success.
std::optional<TErrorCode> FailureOf(const TResult<void>& result)
{
    return result ? std::nullopt : std::optional(result.Error().Code);
}

class ScreenShotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTarget.isValid());
        Shot1 = FGame.WriteFile(u"ScreenShots/Shot00001.bmp"_s, Bitmap24());
        Shot2 = FGame.WriteFile(u"ScreenShots/Shot00002.bmp"_s, Bitmap8());
        Shot3 = FGame.WriteFile(u"ScreenShots/shot00003.BMP"_s, Bitmap24());
        FGame.WriteFile(u"ScreenShots/Shot0004.bmp"_s, Bitmap24());
        FGame.WriteFile(u"ScreenShots/Other.bmp"_s, Bitmap24());
    }

    QString Target(const QString& name) const { return FTarget.filePath(name); }
    // Nothing but the expected files: no temporary JPEG work folder left behind.
    QStringList TargetEntries() const
    {
        return QDir(FTarget.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    QTemporaryDir FTarget;
    TScriptedShellUi FUi;
    QString Shot1, Shot2, Shot3;
};

} // namespace

TEST_F(ScreenShotTest, ManagerListsAndFindsTheScreenshots)
{
    // The settings may give the folder in another letter case, with Windows separators.
    TScreenShotManager shots(FGame.Root() + u"\\screenshots"_s, u"Shot?????.bmp"_s);
    ASSERT_EQ(shots.GetCount(), 3);
    EXPECT_EQ(shots.GetItem(2)->FileName, Shot3);
    EXPECT_EQ(shots.IndexOf(Shot3.toUpper()), 2);
}

TEST_F(ScreenShotTest, ConvertsToJpeg)
{
    // 24-bit and 8-bit bitmaps, into a folder and to a name without extension.
    EXPECT_TRUE(TScreenShot(Shot1).CopyTo(FTarget.path(), true, 90));
    ExpectQuadrantJpeg(Target(u"Shot00001.jpg"_s));
    EXPECT_TRUE(TScreenShot(Shot2).CopyTo(Target(u"palette"_s), true, 75));
    ExpectQuadrantJpeg(Target(u"palette.jpg"_s));
    // Only the last dot of a name starts its extension.
    const QString dotted = FGame.WriteFile(u"ScreenShots/Shot.2024.05.bmp"_s, Bitmap24());
    EXPECT_TRUE(TScreenShot(dotted).CopyTo(FTarget.path(), true, 50));
    EXPECT_EQ(TargetEntries(), (QStringList{"Shot.2024.05.jpg", "Shot00001.jpg", "palette.jpg"}));

    // An existing JPEG is replaced only when the user says so.
    const QString jpeg = Target(u"Shot00001.jpg"_s);
    ASSERT_TRUE(WriteBytes(jpeg, "old"));
    FUi.ReplaceAnswer = TReplaceAnswer::raNo;
    EXPECT_EQ(FailureOf(TScreenShot(Shot1).MoveTo(FTarget.path(), true, 90)),
              TErrorCode::ecDeclined);
    EXPECT_EQ(ReadBytes(jpeg), QByteArray("old"));
    EXPECT_TRUE(QFileInfo::exists(Shot1)); // not moved: the bitmap stays
    EXPECT_EQ(FUi.ReplaceQuestions, QStringList{jpeg});

    // Accepted, the move leaves the JPEG and sends the bitmap to the trash without a question
    // of its own.
    const QByteArray bitmap = ReadBytes(Shot1);
    FUi.ReplaceAnswer = TReplaceAnswer::raYes;
    EXPECT_TRUE(TScreenShot(Shot1).MoveTo(FTarget.path(), true, 90));
    ExpectQuadrantJpeg(jpeg);
    EXPECT_FALSE(QFileInfo::exists(Shot1));
    EXPECT_EQ(ReadBytes(FEnvironment.Trashed(u"Shot00001.bmp"_s)), bitmap);
    EXPECT_TRUE(FUi.DeleteQuestions.isEmpty());
    EXPECT_EQ(TargetEntries(), (QStringList{"Shot.2024.05.jpg", "Shot00001.jpg", "palette.jpg"}));

    // A link at the target is replaced, never written through.
    QTemporaryDir outside;
    const QString victim = outside.filePath(u"victim.jpg"_s);
    ASSERT_TRUE(WriteBytes(victim, "victim"));
    ASSERT_TRUE(QFile::link(victim, Target(u"linked.jpg"_s)));
    EXPECT_TRUE(TScreenShot(Shot2).CopyTo(Target(u"linked"_s), true, 75));
    EXPECT_EQ(ReadBytes(victim), QByteArray("victim"));
    EXPECT_FALSE(QFileInfo(Target(u"linked.jpg"_s)).isSymLink());
    ExpectQuadrantJpeg(Target(u"linked.jpg"_s));
}

TEST_F(ScreenShotTest, FailedConversionWritesNothingAndKeepsTheBitmap)
{
    const QString broken =
        FGame.WriteFile(u"ScreenShots/Shot00009.bmp"_s, "BM not really a bitmap");
    EXPECT_EQ(FailureOf(TScreenShot(broken).MoveTo(FTarget.path(), true, 90)),
              TErrorCode::ecFailed);
    EXPECT_TRUE(QFileInfo::exists(broken));

    EXPECT_EQ(FailureOf(TScreenShot(Shot1).CopyTo(FTarget.path(), true, 101)),
              TErrorCode::ecInvalid);

    // Wider than JPEG allows: the encoder's own error comes back as ours.
    const QString wide =
        FGame.WriteFile(u"ScreenShots/Shot00010.bmp"_s,
                        BitmapBytes24(70000, 1, [](int, int) { return 0x808080u; }));
    const TResult<void> tooWide = TScreenShot(wide).MoveTo(FTarget.path(), true, 90);
    ASSERT_FALSE(tooWide);
    EXPECT_TRUE(tooWide.Error().Message.contains(QLatin1String("65500")))
        << tooWide.Error().Message.toStdString();
    EXPECT_TRUE(QFileInfo::exists(wide));

    // A target folder that cannot be written.
    EXPECT_EQ(FailureOf(TScreenShot(Shot1).MoveTo(Target(u"missing/dir/x.bmp"_s), true, 90)),
              TErrorCode::ecFailed);
    EXPECT_TRUE(QFileInfo::exists(Shot1));
    EXPECT_TRUE(TargetEntries().isEmpty());
}
