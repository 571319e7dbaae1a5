#include "TProgramFixture.h"

#include "BitmapWriter.h"
#include "ProgramFolders.h"
#include "TPackageWriter.h"
#include "TfrmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

TProgramFixture::TProgramFixture(bool portable)
    : FPortable(portable)
{
    QDir(FRoot.path()).mkpath(u"KOVA"_s);
    FGame = std::make_unique<TGameFolder>(FRoot.path(), u"UT2004"_s);

    QByteArray settings = ReadBytes(QStringLiteral(KOVA_SOURCE_DIR "/data/settings.xml"));
    settings.replace("<firstrun>True</firstrun>", "<firstrun>False</firstrun>");
    settings.replace("<utdir></utdir>", "<utdir>" + FGame->Root().toUtf8() + "</utdir>");
    if (!WriteBytes(AppFile(u"settings.xml"_s), settings))
        qFatal("TProgramFixture: cannot write the settings");
    if (!QFile::copy(QStringLiteral(KOVA_SOURCE_DIR "/data/Lang.int"), AppFile(u"Lang.int"_s)))
        qFatal("TProgramFixture: cannot copy the language file");
    QFile::setPermissions(AppFile(u"Lang.int"_s), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ReadGroup | QFile::ReadOther);
    if (portable && !WriteBytes(AppFile(TProgramFolders::PortableMarker()), QByteArray()))
        qFatal("TProgramFixture: cannot write the portable marker");
}

TProgramFixture::~TProgramFixture() = default;

QString TProgramFixture::AppDir() const
{
    return FRoot.filePath(u"KOVA"_s);
}

QString TProgramFixture::AppFile(const QString& name) const
{
    return AppDir() + QLatin1Char('/') + name;
}

QString TProgramFixture::SettingsFile() const
{
    return FPortable ? AppFile(u"settings.xml"_s)
                     : FEnvironment.ConfigHome() + u"/kova/settings.xml"_s;
}

QByteArray TProgramFixture::ReadSettings() const
{
    return ReadBytes(SettingsFile());
}

void TProgramFixture::SetSetting(const QString& name, const QString& value)
{
    QString text = QString::fromUtf8(ReadSettings());
    const QRegularExpression element(u"<%1>[^<]*</%1>"_s.arg(name));
    if (!text.contains(element))
        qFatal("TProgramFixture: no element %s", qPrintable(name));
    const QRegularExpressionMatch match = element.match(text);
    text.replace(match.capturedStart(), match.capturedLength(),
                 u"<%1>%2</%1>"_s.arg(name, value.toHtmlEscaped()));
    WriteBytes(SettingsFile(), text.toUtf8());
}

void TProgramFixture::SetSettingXml(const QString& name, const QString& xml)
{
    QString text = QString::fromUtf8(ReadSettings());
    const QRegularExpression element(u"<%1>.*?</%1>"_s.arg(name),
                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = element.match(text);
    if (!match.hasMatch())
        qFatal("TProgramFixture: no element %s", qPrintable(name));
    text.replace(match.capturedStart(), match.capturedLength(), u"<%1>%2</%1>"_s.arg(name, xml));
    WriteBytes(SettingsFile(), text.toUtf8());
}

void TProgramFixture::PrepareProgram(QProcess& process, const QString& program,
                                     const QStringList& arguments, const QString& workingDir) const
{
    const QString copy = AppFile(u"kova"_s);
    if (!QFile::exists(copy)) {
        if (!QFile::copy(program, copy) ||
            !QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadOther | QFile::ExeOther))
            qFatal("TProgramFixture: cannot copy the program");
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.setProgram(copy);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDir.isEmpty() ? Root() : workingDir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

std::unique_ptr<TGameFolder> TProgramFixture::MakeGameFolder(const QString& name) const
{
    return std::make_unique<TGameFolder>(FRoot.path(), name);
}

void TProgramFixture::AddLanguage(const QString& code, const QString& name,
                                  const QString& prefix) const
{
    const QList<QByteArray> lines = ReadBytes(AppFile(u"Lang.int"_s)).split('\n');
    QByteArray out;
    QByteArray section;
    for (QByteArray line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            section = trimmed;
        } else if (const qsizetype equals = line.indexOf('='); equals > 0) {
            if (section == "[Language]") {
                if (line.startsWith("Language="))
                    line = "Language=" + name.toUtf8();
            } else if (!trimmed.endsWith('=')) {
                line.insert(equals + 1, prefix.toUtf8());
            }
        }
        out += line + '\n';
    }
    out.chop(1);
    WriteBytes(AppFile(u"Lang."_s + code), out);
}

QStringList TProgramFixture::Arguments(const QStringList& switches) const
{
    return QStringList{AppFile(u"kova"_s)} + switches;
}

std::unique_ptr<TfrmMain> TProgramFixture::CreateMainWindow(const QStringList& switches) const
{
    return std::make_unique<TfrmMain>(AppDir(), Arguments(switches));
}

QString WriteMap(const TGameFolder& game, const QString& fileName, const std::string& title,
                 const std::string& author, const std::string& description, int size)
{
    TMapTexts texts;
    texts.Title = title;
    texts.Author = author;
    texts.Description = description;
    const TBytes bytes = MakeMapPackage(texts);
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    if (data.size() < size)
        data.append(QByteArray(size - data.size(), '\0'));
    return game.WriteFile(u"Maps/"_s + fileName, data);
}

QString WriteScreenshot(const TGameFolder& game, const QString& fileName)
{
    return game.WriteFile(u"ScreenShots/"_s + fileName, BitmapBytes24(8, 6, [](int x, int y) {
                              return QuadrantColour(x, y, 8, 6);
                          }));
}

QStringList Captions(const QTreeWidget* list)
{
    QStringList captions;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        captions << list->topLevelItem(i)->text(0);
    return captions;
}

void SelectRows(QTreeWidget* list, const QStringList& names)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const bool wanted = names.contains(row->text(0));
        if (wanted)
            list->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
        row->setSelected(wanted);
    }
}

QString WriteGameScript(const TGameFolder& game, const QString& name, const QString& recordFolder,
                        int seconds)
{
    QDir().mkpath(recordFolder);
    // Each record is written beside and renamed, so a test never reads half of one.
    QByteArray script =
        "#!/bin/sh\n"
        "mkdir -p RECORD\n"
        "printf '%s\\n' \"$@\" > RECORD/args.tmp && mv RECORD/args.tmp RECORD/args\n"
        "pwd -P > RECORD/cwd.tmp && mv RECORD/cwd.tmp RECORD/cwd\n"
        "PLAY\n"
        "echo ended > RECORD/ended\n";
    script.replace("PLAY",
                   seconds == KPlayUntilQuit
                       ? "while [ -d RECORD ] && [ ! -e RECORD/quit ]; do sleep 0.05; done\n"
                         "[ -d RECORD ] || exit 0"
                       : "sleep " + QByteArray::number(seconds));
    script.replace("RECORD", "'" + QFile::encodeName(recordFolder) + "'");
    const QString path = game.WriteFile(u"System/"_s + name, script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadOther | QFile::ExeOther);
    return path;
}

bool ProgramRunning(const QString& program)
{
    const QString wanted = QFileInfo(program).canonicalFilePath();
    const QStringList processes = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& process : processes) {
        bool isProcess = false;
        process.toLongLong(&isProcess);
        if (!isProcess)
            continue;
        // A script runs as its interpreter's argument; a process that ended has no command line.
        const QList<QByteArray> arguments =
            ReadBytes(u"/proc/%1/cmdline"_s.arg(process)).split('\0');
        for (const QByteArray& argument : arguments)
            if (argument.startsWith('/') &&
                QFileInfo(QFile::decodeName(argument)).canonicalFilePath() == wanted)
                return true;
    }
    return false;
}
