#include "TGameFolder.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const char* const KEnvironmentNames[] = {"HOME",           "XDG_DATA_HOME",   "XDG_CONFIG_HOME",
                                         "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "WINEPREFIX"};

const char* const KGameFolders[] = {
    "System",     "Maps",  "Help",  "Sounds",      "Music", "Textures", "StaticMeshes",
    "Animations", "Demos", "Saves", "ScreenShots", "Cache", "Speech",   "ForceFeedback"};

} // namespace

TTempEnvironment::TTempEnvironment()
{
    for (const char* name : KEnvironmentNames) {
        const char* old = std::getenv(name);
        FSaved.append({QByteArray(name), old ? QByteArray(old) : QByteArray("\0", 1)});
    }
    QDir root(FDir.path());
    for (const char* sub :
         {"home", "home/.local/share", "home/.config", "home/.cache", "run", "home/.wine/drive_c"})
        root.mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(root.filePath(u"run"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.filePath(u"home"_s).toLocal8Bit());
    qputenv("XDG_DATA_HOME", DataHome().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", ConfigHome().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", root.filePath(u"home/.cache"_s).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", root.filePath(u"run"_s).toLocal8Bit());
    qputenv("WINEPREFIX", WinePrefix().toLocal8Bit());
}

TTempEnvironment::~TTempEnvironment()
{
    for (const auto& [name, value] : FSaved) {
        if (value == QByteArray("\0", 1))
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}

QString TTempEnvironment::Home() const
{
    return FDir.filePath(u"home"_s);
}

QString TTempEnvironment::DataHome() const
{
    return FDir.filePath(u"home/.local/share"_s);
}

QString TTempEnvironment::ConfigHome() const
{
    return FDir.filePath(u"home/.config"_s);
}

QString TTempEnvironment::WinePrefix() const
{
    return FDir.filePath(u"home/.wine"_s);
}

QString TTempEnvironment::Trashed(const QString& name) const
{
    return DataHome() + u"/Trash/files/"_s + name;
}

void TTempEnvironment::RegisterGameFolder(const QByteArray& windowsFolder) const
{
    QDir().mkpath(WinePrefix());
    QFile file(WinePrefix() + u"/system.reg"_s);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.write("WINE REGISTRY Version 2\n\n"
                    "[Software\\\\Unreal Technology\\\\Installed Apps\\\\UT2004] 1700000000\n"
                    "\"Folder\"=\"" +
                    windowsFolder + "\"\n"))
        qFatal("cannot write the Wine registry");
}

TGameFolder::TGameFolder()
{
    FRoot = FTemp.filePath(u"UT2004"_s);
    Build();
}

TGameFolder::TGameFolder(const QString& parent, const QString& name)
{
    FRoot = QDir(parent).filePath(name);
    Build();
}

void TGameFolder::Build()
{
    QDir().mkpath(FRoot);
    for (const char* folder : KGameFolders)
        QDir(FRoot).mkpath(QString::fromLatin1(folder));
    // The game-folder test looks for these two files; their content does not matter.
    WriteFile(u"System/UT2004.exe"_s, QByteArray("MZ"));
    WriteFile(u"System/Core.dll"_s, QByteArray("MZ"));
    WriteFile(u"System/UT2004.ini"_s, SampleGameIni());
    WriteFile(u"System/User.ini"_s, SampleUserIni());
}

QString TGameFolder::Path(const QString& relative) const
{
    return relative.isEmpty() ? FRoot : FRoot + QLatin1Char('/') + relative;
}

QString TGameFolder::WriteFile(const QString& relative, const QByteArray& bytes) const
{
    const QString path = Path(relative);
    if (!WriteBytes(path, bytes))
        qFatal("TGameFolder: cannot write %s", qPrintable(path));
    return path;
}

QByteArray TGameFolder::ReadFile(const QString& relative) const
{
    return ReadBytes(Path(relative));
}

QByteArray SampleGameIni()
{
    return QByteArray("; Unreal Tournament 2004 main configuration\r\n"
                      "[URL]\r\n"
                      "Protocol=unreal\r\n"
                      "Name=Player\r\n"
                      "Map=Index.ut2\r\n"
                      "\r\n"
                      "[FirstRun]\r\n"
                      "FirstRun=3369\r\n"
                      "\r\n"
                      "[Engine.Engine]\r\n"
                      "RenderDevice=D3DDrv.D3DRenderDevice\r\n"
                      "Language=int\r\n"
                      "\r\n"
                      "[Core.System]\r\n"
                      "PurgeCacheDays=30\r\n"
                      "SavePath=../Save\r\n"
                      "CachePath=../Cache\r\n"
                      "CacheExt=.uxx\r\n"
                      "Paths=../System/*.u\r\n"
                      "Paths=../Maps/*.ut2\r\n"
                      "Paths=../Textures/*.utx\r\n"
                      "Paths=../Sounds/*.uax\r\n"
                      "Paths=../Music/*.umx\r\n"
                      "Paths=../StaticMeshes/*.usx\r\n"
                      "Paths=../Animations/*.ukx\r\n"
                      "Paths=../Saves/*.uvx\r\n"
                      "\r\n"
                      "[Engine.GameEngine]\r\n"
                      "CacheSizeMegs=32\r\n"
                      "UseSound=True\r\n"
                      "ServerActors=IpDrv.MasterServerUplink\r\n"
                      "ServerPackages=Core\r\n"
                      "ServerPackages=Engine\r\n"
                      ";ServerPackages=OldMutator\r\n"
                      "ServerPackages=XGame\r\n"
                      "\r\n"
                      "[Caf\xe9"
                      " Server]\r\n"
                      "ServerName=Caf\xe9"
                      " \x1b\xff\x80\x80"
                      "Deathmatch\r\n"
                      "AdminName=Root\r\n"
                      "\r\n"
                      "[WinDrv.WindowsClient]\r\n"
                      "Brightness=0.800000\r\n"
                      "Contrast=0.700000\r\n"
                      "Gamma=0.800000\r\n"
                      "MinDesiredFrameRate=35.000000\r\n");
}

QByteArray SampleUserIni()
{
    return QByteArray("[DefaultPlayer]\r\n"
                      "Name=Player\r\n"
                      "Character=Jakob\r\n"
                      "Team=255\r\n"
                      "\r\n"
                      "[XGame.xPlayer]\r\n"
                      "bNoVoiceMessages=False\r\n");
}

QString RealDataDir()
{
#ifdef KOVA_REALDATA_DIR
    const QString dir = QStringLiteral(KOVA_REALDATA_DIR);
#else
    const QString dir = qEnvironmentVariable("KOVA_REALDATA_DIR");
#endif
    return QFileInfo(dir).isDir() ? QFileInfo(dir).canonicalFilePath() : QString();
}
