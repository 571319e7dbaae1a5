#include "TGameFolder.h"
#include "TLanguage.h"
#include "TShippedSettings.h"
#include "TSystemManager.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A program path that needs every kind of quoting an Exec key knows.
const QString KProgram = u"/opt/K O V A/$bin`s \"100%\" \\kova"_s;
const QString KQuotedProgram = QStringLiteral(R"("/opt/K O V A/\\$bin\\`s \\"100%%\\" \\\\kova")");

// Runs a desktop tool in the test's environment, away from any desktop session's settings.
QString RunDesktopTool(const QString& program, const QStringList& arguments,
                       int* exitCode = nullptr)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DE", "KDE_FULL_SESSION", "KDE_SESSION_VERSION",
                             "GNOME_DESKTOP_SESSION_ID", "DESKTOP_SESSION"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())
        .trimmed();
}

class TSystemManagerTest : public ::testing::Test
{
protected:
    TSystemManagerTest()
        : FSettings(FGame.Root())
        , FLanguage(nullptr, QStringLiteral(KOVA_SOURCE_DIR "/data/Lang.int"), false)
        , FManager([this] { return FSettings.Get(); }, &FLanguage, KProgram)
    {}

    // desktop-file-validate accepts the entry.
    static void ExpectValid(const QString& entry)
    {
        ASSERT_TRUE(QFileInfo(entry).isFile()) << entry.toStdString();
        const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
        ASSERT_FALSE(validator.isEmpty())
            << "desktop-file-validate (desktop-file-utils) is missing";
        int code = -1;
        const QString output = RunDesktopTool(validator, {entry}, &code);
        EXPECT_EQ(code, 0) << output.toStdString();
        EXPECT_EQ(output, "");
    }

    TTempEnvironment FEnvironment;
    TGameFolder FGame;
    TShippedSettings FSettings;
    TLanguage FLanguage;
    TSystemManager FManager;
};

TEST_F(TSystemManagerTest, EachKindOfInstallVerbComesAndGoesOnItsOwn)
{
    ASSERT_TRUE(FManager.SetInstalledKind(TVerbKind::vkZip, TVerbMode::vmRegister));
    EXPECT_FALSE(FManager.IsInstalledKind(TVerbKind::vkFolder));
    const QString zip = TSystemManager::VerbEntryFile(".zip");
    ExpectValid(zip);
    ExpectValid(TSystemManager::ProgramEntryFile());
    const QByteArray zipEntry = ReadBytes(zip);
    EXPECT_TRUE(zipEntry.contains("\nMimeType=application/zip;\n"));
    EXPECT_TRUE(zipEntry.contains("\nExec=" + KQuotedProgram.toUtf8() + " /install %f\n"));

    ASSERT_TRUE(FManager.SetInstalledKind(TVerbKind::vkFolder, TVerbMode::vmRegister));
    ExpectValid(TSystemManager::VerbEntryFile("folder"));
    EXPECT_TRUE(FManager.IsInstalledKind(TVerbKind::vkZip));

    // Off for zip archives: folders keep their verb, and with it the program's entry.
    ASSERT_TRUE(FManager.SetInstalledKind(TVerbKind::vkZip, TVerbMode::vmRemove));
    EXPECT_FALSE(FManager.IsInstalledKind(TVerbKind::vkZip));
    EXPECT_TRUE(FManager.IsInstalledKind(TVerbKind::vkFolder));
    EXPECT_TRUE(QFile::exists(TSystemManager::ProgramEntryFile()));
    ASSERT_TRUE(FManager.SetInstalledKind(TVerbKind::vkFolder, TVerbMode::vmRemove));
    EXPECT_FALSE(FManager.IsInstalledKind(TVerbKind::vkFolder));
    EXPECT_FALSE(QFile::exists(TSystemManager::ProgramEntryFile()));

    // One entry without the other is no verb.
    ASSERT_TRUE(FManager.SetInstalled("folder", "Folder", TVerbMode::vmRegister));
    QFile::remove(TSystemManager::ProgramEntryFile());
    EXPECT_FALSE(FManager.IsInstalled("folder"));

    // Modes outside the enumeration and names that leave the folder do nothing.
    EXPECT_EQ(FManager.SetInstalled(".zip", "ZIP", static_cast<TVerbMode>(2)).Error().Code,
              TErrorCode::ecInvalid);
    EXPECT_FALSE(QFile::exists(zip));
    EXPECT_EQ(FManager.SetInstalled("../zip", "ZIP", TVerbMode::vmRegister).Error().Code,
              TErrorCode::ecInvalid);
}

TEST_F(TSystemManagerTest, TextsNeverEmptyAndProgramPathChecked)
{
    const TLanguage missing(nullptr, FGame.Path("Lang.none"), false);
    TSystemManager manager([this] { return FSettings.Get(); }, &missing, "/usr/bin/kova");
    ASSERT_TRUE(manager.SetInstalledKind(TVerbKind::vkFolder, TVerbMode::vmRegister));
    ExpectValid(TSystemManager::VerbEntryFile("folder"));
    EXPECT_TRUE(
        ReadBytes(TSystemManager::VerbEntryFile("folder")).contains("\nName=InstallUTContent\n"));
    ASSERT_TRUE(manager.AssociateDemoFiles(QImage()));
    ExpectValid(TSystemManager::DemoEntryFile());
    EXPECT_TRUE(ReadBytes(TSystemManager::DemoEntryFile()).contains("\nName=open\n"));
    EXPECT_TRUE(
        ReadBytes(TSystemManager::DemoPackageFile()).contains("<comment>UT2004.Demo</comment>"));

    TSystemManager relative([this] { return FSettings.Get(); }, &FLanguage, "kova");
    const TResult<void> installed =
        relative.SetInstalledKind(TVerbKind::vkZip, TVerbMode::vmRegister);
    ASSERT_FALSE(installed);
    EXPECT_EQ(installed.Error().FileName, "kova");
    EXPECT_FALSE(QFile::exists(TSystemManager::VerbEntryFile(".zip")));
}

TEST_F(TSystemManagerTest, DemoAssociationIsWrittenAndReadBack)
{
    // Someone else's defaults stay as they are.
    const QString mimeApps = TSystemManager::MimeAppsFile();
    ASSERT_TRUE(WriteBytes(mimeApps, "[Default Applications]\ntext/plain=editor.desktop;\n"
                                     "# caf\xc3\xa9\n"));

    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::darkRed);
    ASSERT_TRUE(FManager.AssociateDemoFiles(icon));
    const QString type = FManager.GetDemoMimeType();
    EXPECT_EQ(type, "application/x-ut2004.demo");

    EXPECT_TRUE(ReadBytes(TSystemManager::DemoPackageFile())
                    .contains("<icon name=\"application-x-ut2004.demo\"/>"));
    const QImage written(FEnvironment.DataHome() +
                         "/icons/hicolor/48x48/mimetypes/application-x-ut2004.demo.png");
    EXPECT_EQ(written.size(), QSize(48, 48));

    ExpectValid(TSystemManager::DemoEntryFile());
    EXPECT_TRUE(ReadBytes(TSystemManager::DemoEntryFile())
                    .contains("\nExec=" + KQuotedProgram.toUtf8() + " /playdemo %f\n"));

    // Twice gives the same files: no second copy of our entry.
    ASSERT_TRUE(FManager.AssociateDemoFiles(icon));
    EXPECT_EQ(ReadBytes(mimeApps), "[Default Applications]\n"
                                   "text/plain=editor.desktop;\n"
                                   "# caf\xc3\xa9\n"
                                   "application/x-ut2004.demo=kova-playdemo.desktop;\n"
                                   "\n"
                                   "[Added Associations]\n"
                                   "application/x-ut2004.demo=kova-playdemo.desktop;\n");

    // File managers read the type from the user's shared MIME database, which the program
    // rebuilt; a reader of that database in a fresh process finds it there.
    const QByteArray database = ReadBytes(FEnvironment.DataHome() + "/mime/mime.cache");
    ASSERT_TRUE(database.contains(type.toUtf8()))
        << "no type in the database: is update-mime-database (shared-mime-info) missing?";
    const QString demo = FGame.WriteFile("Demos/Match.demo4", "demo");
    EXPECT_EQ(RunDesktopTool(QStringLiteral(KOVA_MIME_QUERY), {demo}), type);
    // The desktop's own tool finds the default handler.
    const QString xdgMime = QStandardPaths::findExecutable("xdg-mime");
    ASSERT_FALSE(xdgMime.isEmpty()) << "xdg-mime (xdg-utils) is missing";
    EXPECT_EQ(RunDesktopTool(xdgMime, {"query", "default", type}), "kova-playdemo.desktop");
}

TEST_F(TSystemManagerTest, AKnownDemoTypeIsTakenOverNotRewritten)
{
    TShippedSettings textDemos(FGame.Root(),
                               {{"<demoExt>.demo4</demoExt>", "<demoExt>.txt</demoExt>"}});
    TSystemManager manager([&] { return textDemos.Get(); }, &FLanguage, KProgram);
    EXPECT_EQ(manager.GetDemoMimeType(), "text/plain");

    const QString mimeApps = TSystemManager::MimeAppsFile();
    ASSERT_TRUE(WriteBytes(mimeApps,
                           "[Default Applications]\ntext/plain=editor.desktop;\n"
                           "[Removed Associations]\ntext/plain=kova-playdemo.desktop;\n"));

    ASSERT_TRUE(manager.AssociateDemoFiles(QImage()));
    EXPECT_FALSE(QFile::exists(TSystemManager::DemoPackageFile()));
    EXPECT_TRUE(ReadBytes(TSystemManager::DemoEntryFile()).contains("\nMimeType=text/plain;\n"));
    EXPECT_EQ(ReadBytes(mimeApps), "[Default Applications]\n"
                                   "text/plain=kova-playdemo.desktop;editor.desktop;\n"
                                   "[Removed Associations]\n"
                                   "\n"
                                   "[Added Associations]\n"
                                   "text/plain=kova-playdemo.desktop;\n");
}

} // namespace
