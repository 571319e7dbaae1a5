#include "TSystemManager.h"

#include "AtomicFile.h"
#include "GamePath.h"
#include "Process.h"
#include "TIniFile.h"
#include "TKOVASettings.h"
#include "TLanguage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QXmlStreamWriter>

#include <chrono>
#include <thread>

namespace {

const QString KVerbName = QStringLiteral("InstallUTContent");
const QString KOpenVerbName = QStringLiteral("open");
const QString KFolderExt = QStringLiteral("folder");
const QString KFolderMimeType = QStringLiteral("inode/directory");
const QString KZipExt = QStringLiteral(".zip");
const QString KZipMimeType = QStringLiteral("application/zip");
const QString KEntryPrefix = QStringLiteral("kova-");
const QString KDefaultApplications = QStringLiteral("Default Applications");
const QString KAddedAssociations = QStringLiteral("Added Associations");
const QString KRemovedAssociations = QStringLiteral("Removed Associations");
const int KIconSize = 48;

// An XDG base folder: the variable when it holds an absolute path, else the default below HOME.
QString XdgFolder(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + u'/' + fallback);
}

QString DataHome()
{
    return XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString ConfigHome()
{
    return XdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

// An extension the desktop can match: "folder", or a dot and letters, digits, "-", "_", "+"
// and further dots, so that it is a plain glob and a plain part of a file name.
bool IsUsableExt(const QString& ext)
{
    if (ext == KFolderExt)
        return true;
    if (ext.size() < 2 || ext[0] != u'.')
        return false;
    for (qsizetype i = 1; i < ext.size(); ++i) {
        const QChar c = ext[i];
        const bool ascii = c.unicode() < 0x80;
        if (!(ascii && (c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'+' || c == u'.')))
            return false;
    }
    return true;
}

// "zip" for ".zip", "folder" for "folder": the part of file names that tells kinds apart.
QString ExtId(const QString& ext)
{
    QString id = ext.startsWith(u'.') ? ext.mid(1).toLower() : ext.toLower();
    for (QChar& c : id) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')))
            c = u'_';
    }
    return id;
}

// The type the desktop's MIME database gives files of Ext; empty when it knows none.
QString KnownMimeType(const QString& ext)
{
    if (ext == KFolderExt)
        return KFolderMimeType;
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x") + ext, QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : QString();
}

// A value of type string or localestring of a desktop entry.
QString EscapeValue(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            result += QStringLiteral("\\\\");
        else if (c == u'\n')
            result += QStringLiteral("\\n");
        else if (c == u'\r')
            result += QStringLiteral("\\r");
        else if (c == u'\t')
            result += QStringLiteral("\\t");
        else if (c == u' ' && i == 0)
            result += QStringLiteral("\\s");
        else
            result += c;
    }
    return result;
}

// One argument of an Exec key, quoted as the Desktop Entry specification asks: inside double
// quotes a backslash goes before '"', '`', '$' and '\', a literal '%' is doubled, and then the
// string escape doubles every backslash once more.
QString QuotedExecArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
        if (c == u'%')
            quoted += u'%';
    }
    quoted += u'"';
    return QString(quoted).replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
}

struct TDesktopGroup
{
    QString Name;
    QList<QPair<QString, QString>> Values; // key, value already escaped
};

QByteArray DesktopFileBytes(const QList<TDesktopGroup>& groups)
{
    QString text;
    for (const TDesktopGroup& group : groups) {
        if (!text.isEmpty())
            text += u'\n';
        text += u'[' + group.Name + QStringLiteral("]\n");
        for (const auto& [key, value] : group.Values)
            text += key + u'=' + value + u'\n';
    }
    return text.toUtf8();
}

// The keys of group [Desktop Entry] of a desktop entry file; empty when it is missing.
QHash<QString, QString> ReadDesktopEntry(const QString& fileName)
{
    QHash<QString, QString> values;
    QByteArray bytes;
    if (!QFileInfo(fileName).isFile() || !ReadWholeFile(fileName, bytes))
        return values;
    bool inGroup = false;
    for (const QString& raw : QString::fromUtf8(bytes).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (inGroup && eq > 0 && !line.startsWith(u'#'))
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

TResult<void> WriteFile(const QString& fileName, const QByteArray& bytes)
{
    QString reason;
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()))
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("The folder of %1 could not be made.").arg(fileName),
                      fileName};
    if (!WriteFileAtomically(fileName, bytes, &reason))
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("%1 could not be written: %2").arg(fileName, reason),
                      fileName};
    return {};
}

TResult<void> RemoveFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return {};
    QFile file(fileName);
    if (!file.remove())
        return TError{
            TErrorCode::ecFailed,
            QStringLiteral("%1 could not be removed: %2").arg(fileName, file.errorString()),
            fileName};
    return {};
}

TError NoExtension(const QString& ext)
{
    return TError{
        TErrorCode::ecInvalid, QStringLiteral("\"%1\" is no file extension.").arg(ext), {}};
}

// A MIME package defining one type for one extension.
QByteArray MimePackageBytes(const QString& type, const QString& comment, const QString& iconName,
                            const QString& ext)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(
        QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    xml.writeStartElement(QStringLiteral("mime-info"));
    xml.writeStartElement(QStringLiteral("mime-type"));
    xml.writeAttribute(QStringLiteral("type"), type);
    xml.writeTextElement(QStringLiteral("comment"), comment);
    if (!iconName.isEmpty()) {
        xml.writeEmptyElement(QStringLiteral("icon"));
        xml.writeAttribute(QStringLiteral("name"), iconName);
    }
    xml.writeEmptyElement(QStringLiteral("glob"));
    xml.writeAttribute(QStringLiteral("pattern"), u'*' + ext);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

// Runs one of the desktop's cache tools when it is installed and waits for it a while; a tool
// that takes longer is left to finish on its own.
void RunDesktopTool(const QString& name, const QString& folder)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty() || !QFileInfo(folder).isDir())
        return;
    const TProcessHandle handle = StartProgram(program, {folder});
    if (!handle.Valid())
        return;
    for (int i = 0; i < 300; ++i) {
        if (PollProgram(handle) != TWaitState::wsRunning)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ReleaseProgram(handle);
}

QString MimePackagesDir()
{
    return DataHome() + QStringLiteral("/mime/packages");
}

QString TypePackageFile(const QString& ext)
{
    return MimePackagesDir() + u'/' + KEntryPrefix + QStringLiteral("type-") + ExtId(ext) +
           QStringLiteral(".xml");
}

// Puts Id first in the list value of Type in Section of mimeapps.list, keeping the others.
void PutFirst(TIniFile& ini, const QString& section, const QString& type, const QString& id)
{
    QStringList ids{id};
    for (const QString& other : ini.ReadString(section, type, QString()).split(u';')) {
        const QString trimmed = other.trimmed();
        if (!trimmed.isEmpty() && trimmed != id)
            ids.append(trimmed);
    }
    ini.WriteString(section, type, ids.join(u';') + u';');
}

} // namespace

TSystemManager::TSystemManager(TSettingsRef settingsRef, const TLanguage* language,
                               const QString& programPath)
    : FSettingsRef(std::move(settingsRef))
    , FLanguage(language)
    , FProgramPath(programPath)
{}

QString TSystemManager::ApplicationsDir()
{
    return DataHome() + QStringLiteral("/applications");
}

QString TSystemManager::MimeAppsFile()
{
    return ConfigHome() + QStringLiteral("/mimeapps.list");
}

QString TSystemManager::VerbEntryFile(const QString& ext)
{
    return ApplicationsDir() + u'/' + KEntryPrefix + QStringLiteral("install-") + ExtId(ext) +
           QStringLiteral(".desktop");
}

QString TSystemManager::ProgramEntryFile()
{
    return ApplicationsDir() + u'/' + KEntryPrefix + QStringLiteral("program.desktop");
}

QString TSystemManager::DemoEntryId()
{
    return KEntryPrefix + QStringLiteral("playdemo.desktop");
}

QString TSystemManager::DemoEntryFile()
{
    return ApplicationsDir() + u'/' + DemoEntryId();
}

QString TSystemManager::DemoPackageFile()
{
    return MimePackagesDir() + u'/' + KEntryPrefix + QStringLiteral("demo.xml");
}

QString TSystemManager::Text(TDialogType type, const QString& fallback) const
{
    const QString text = FLanguage ? FLanguage->GetDialogString(type).trimmed() : QString();
    return text.isEmpty() ? fallback : text;
}

TResult<void> TSystemManager::CheckProgramPath() const
{
    bool usable = QDir::isAbsolutePath(FProgramPath);
    for (const QChar c : FProgramPath)
        usable = usable && c.unicode() >= 0x20 && c.unicode() != 0x7F;
    if (!usable)
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("The program's path \"%1\" cannot be written into a "
                                     "desktop entry.")
                          .arg(FProgramPath),
                      FProgramPath};
    return {};
}

QString TSystemManager::ExecLine(const QString& switchText) const
{
    return QuotedExecArgument(FProgramPath) + u' ' + switchText + QStringLiteral(" %f");
}

QString TSystemManager::GetVerbMimeType(const QString& ext) const
{
    if (!IsUsableExt(ext))
        return QString();
    const QString known = KnownMimeType(ext);
    if (!known.isEmpty())
        return known;
    return ext.compare(KZipExt, Qt::CaseInsensitive) == 0
               ? KZipMimeType
               : QStringLiteral("application/x-kova-") + ExtId(ext);
}

bool TSystemManager::IsInstalled(const QString& ext) const
{
    const QString type = GetVerbMimeType(ext);
    if (type.isEmpty())
        return false;
    const QHash<QString, QString> verb = ReadDesktopEntry(VerbEntryFile(ext));
    const bool verbPresent =
        verb.value(QStringLiteral("MimeType")).split(u';').contains(type) &&
        verb.value(QStringLiteral("Exec")).contains(QLatin1String(" /install "));
    return verbPresent && !ReadDesktopEntry(ProgramEntryFile()).isEmpty();
}

TResult<void> TSystemManager::SetInstalled(const QString& ext, const QString& defaultType,
                                           TVerbMode mode)
{
    if (mode != TVerbMode::vmRemove && mode != TVerbMode::vmRegister)
        return TError{TErrorCode::ecInvalid,
                      QStringLiteral("%1 is no mode.").arg(static_cast<int>(mode)),
                      {}};
    if (!IsUsableExt(ext))
        return NoExtension(ext);

    if (mode == TVerbMode::vmRemove) {
        if (TResult<void> removed = RemoveFile(VerbEntryFile(ext)); !removed)
            return removed;
        // The program's entry stays while the verb of another kind needs it.
        const QStringList others =
            QDir(ApplicationsDir())
                .entryList({KEntryPrefix + QStringLiteral("install-*.desktop")}, QDir::Files);
        if (others.isEmpty()) {
            if (TResult<void> removed = RemoveFile(ProgramEntryFile()); !removed)
                return removed;
        }
        RunDesktopTool(QStringLiteral("update-desktop-database"), ApplicationsDir());
        return {};
    }

    if (TResult<void> usable = CheckProgramPath(); !usable)
        return usable;
    const QString type = GetVerbMimeType(ext);
    const bool newType = KnownMimeType(ext).isEmpty();
    if (newType) {
        const QString comment = defaultType.trimmed().isEmpty() ? ExtId(ext) : defaultType;
        if (TResult<void> written =
                WriteFile(TypePackageFile(ext), MimePackageBytes(type, comment, QString(), ext));
            !written)
            return written;
    }

    const QString verbText = Text(TDialogType::SysInteg_ShellExtension, KVerbName);
    const QString installCommand = ExecLine(QStringLiteral("/install"));
    const TDesktopGroup verbEntry{QStringLiteral("Desktop Entry"),
                                  {{QStringLiteral("Type"), QStringLiteral("Application")},
                                   {QStringLiteral("Version"), QStringLiteral("1.1")},
                                   {QStringLiteral("Name"), EscapeValue(verbText)},
                                   {QStringLiteral("Exec"), installCommand},
                                   {QStringLiteral("MimeType"), type + u';'},
                                   {QStringLiteral("NoDisplay"), QStringLiteral("true")},
                                   {QStringLiteral("Terminal"), QStringLiteral("false")}}};
    if (TResult<void> written = WriteFile(VerbEntryFile(ext), DesktopFileBytes({verbEntry}));
        !written)
        return written;

    const TKOVASettings* settings = FSettingsRef.Get();
    const QString appName = settings && !settings->AppName.trimmed().isEmpty()
                                ? settings->AppName
                                : QStringLiteral("KOVA");
    const TDesktopGroup programEntry{QStringLiteral("Desktop Entry"),
                                     {{QStringLiteral("Type"), QStringLiteral("Application")},
                                      {QStringLiteral("Version"), QStringLiteral("1.1")},
                                      {QStringLiteral("Name"), EscapeValue(appName)},
                                      {QStringLiteral("Exec"), QuotedExecArgument(FProgramPath)},
                                      {QStringLiteral("NoDisplay"), QStringLiteral("true")},
                                      {QStringLiteral("Terminal"), QStringLiteral("false")},
                                      {QStringLiteral("Actions"), KVerbName + u';'}}};
    const TDesktopGroup programVerb{QStringLiteral("Desktop Action ") + KVerbName,
                                    {{QStringLiteral("Name"), EscapeValue(verbText)},
                                     {QStringLiteral("Exec"), installCommand}}};
    if (TResult<void> written =
            WriteFile(ProgramEntryFile(), DesktopFileBytes({programEntry, programVerb}));
        !written)
        return written;

    if (newType)
        RunDesktopTool(QStringLiteral("update-mime-database"),
                       DataHome() + QStringLiteral("/mime"));
    RunDesktopTool(QStringLiteral("update-desktop-database"), ApplicationsDir());
    return {};
}

bool TSystemManager::IsInstalledKind(TVerbKind kind) const
{
    switch (kind) {
    case TVerbKind::vkZip:
        return IsInstalled(KZipExt);
    case TVerbKind::vkFolder:
        return IsInstalled(KFolderExt);
    }
    return false;
}

TResult<void> TSystemManager::SetInstalledKind(TVerbKind kind, TVerbMode mode)
{
    switch (kind) {
    case TVerbKind::vkZip:
        return SetInstalled(KZipExt, Text(TDialogType::SysInteg_DefaultZip, QStringLiteral("zip")),
                            mode);
    case TVerbKind::vkFolder:
        return SetInstalled(KFolderExt, Text(TDialogType::SysInteg_DefaultFolder, KFolderExt),
                            mode);
    }
    return TError{TErrorCode::ecInvalid,
                  QStringLiteral("%1 is no kind of content.").arg(static_cast<int>(kind)),
                  {}};
}

QString TSystemManager::OwnDemoMimeType() const
{
    const TKOVASettings* settings = FSettingsRef.Get();
    if (!settings)
        return QString();
    QString id = settings->DemoID.trimmed().toLower();
    for (QChar& c : id) {
        if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'+' ||
              c == u'-'))
            c = u'-';
    }
    if (id.isEmpty())
        return QStringLiteral("application/x-kova-") + ExtId(settings->DemoExt);
    return QStringLiteral("application/x-") + id;
}

QString TSystemManager::GetDemoMimeType() const
{
    const TKOVASettings* settings = FSettingsRef.Get();
    if (!settings || settings->DemoExt == KFolderExt || !IsUsableExt(settings->DemoExt))
        return QString();
    // A type we defined earlier stays ours; a type the desktop knows is taken as it is.
    if (QFileInfo(DemoPackageFile()).isFile())
        return OwnDemoMimeType();
    const QString known = KnownMimeType(settings->DemoExt);
    return known.isEmpty() ? OwnDemoMimeType() : known;
}

TResult<void> TSystemManager::AssociateDemoFiles(const QImage& icon)
{
    const TKOVASettings* settings = FSettingsRef.Get();
    if (!settings)
        return TError{TErrorCode::ecNotFound,
                      QStringLiteral("There are no settings to take the demo file type from."),
                      {}};
    const QString ext = settings->DemoExt;
    const QString type = GetDemoMimeType();
    if (type.isEmpty())
        return NoExtension(ext);
    if (TResult<void> usable = CheckProgramPath(); !usable)
        return usable;
    const bool ownType = type == OwnDemoMimeType();

    // Our icon has a name of its own, so the icon of a type the desktop already knows stays.
    QString iconName;
    if (!icon.isNull()) {
        iconName = QString(OwnDemoMimeType()).replace(u'/', u'-');
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const QImage scaled =
            icon.scaled(KIconSize, KIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!scaled.save(&buffer, "PNG"))
            return TError{
                TErrorCode::ecFailed, QStringLiteral("The demo icon could not be encoded."), {}};
        const QString iconFile = DataHome() +
                                 QStringLiteral("/icons/hicolor/%1x%1/mimetypes/").arg(KIconSize) +
                                 iconName + QStringLiteral(".png");
        if (TResult<void> written = WriteFile(iconFile, png); !written)
            return written;
    }

    if (ownType) {
        const QString comment = Text(TDialogType::SysInteg_DemoType,
                                     settings->DemoID.trimmed().isEmpty() ? ext : settings->DemoID);
        if (TResult<void> written =
                WriteFile(DemoPackageFile(), MimePackageBytes(type, comment, iconName, ext));
            !written)
            return written;
    }

    TDesktopGroup entry{QStringLiteral("Desktop Entry"),
                        {{QStringLiteral("Type"), QStringLiteral("Application")},
                         {QStringLiteral("Version"), QStringLiteral("1.1")},
                         {QStringLiteral("Name"),
                          EscapeValue(Text(TDialogType::SysInteg_LaunchDemo, KOpenVerbName))},
                         {QStringLiteral("Exec"), ExecLine(QStringLiteral("/playdemo"))},
                         {QStringLiteral("MimeType"), type + u';'},
                         {QStringLiteral("NoDisplay"), QStringLiteral("true")},
                         {QStringLiteral("Terminal"), QStringLiteral("false")}}};
    if (!iconName.isEmpty())
        entry.Values.append({QStringLiteral("Icon"), iconName});
    if (TResult<void> written = WriteFile(DemoEntryFile(), DesktopFileBytes({entry})); !written)
        return written;

    // mimeapps.list is UTF-8 with LF line ends: a new file starts with its first section so
    // that the INI layer keeps LF; every other line of an existing one stays as it is.
    const QString mimeApps = MimeAppsFile();
    QByteArray bytes;
    if (QFileInfo(mimeApps).isFile() && !ReadWholeFile(mimeApps, bytes))
        return TError{TErrorCode::ecFailed, QStringLiteral("%1 could not be read.").arg(mimeApps),
                      mimeApps};
    if (!bytes.contains('\n')) {
        bytes += bytes.isEmpty() ? "[" + KDefaultApplications.toUtf8() + "]\n" : "\n";
        if (TResult<void> written = WriteFile(mimeApps, bytes); !written)
            return written;
    }
    try {
        TIniFile ini(mimeApps);
        PutFirst(ini, KDefaultApplications, type, DemoEntryId());
        PutFirst(ini, KAddedAssociations, type, DemoEntryId());
        // An association the user once removed is wanted again now.
        const QStringList removed =
            ini.ReadString(KRemovedAssociations, type, QString()).split(u';', Qt::SkipEmptyParts);
        if (removed.contains(DemoEntryId())) {
            QStringList rest = removed;
            rest.removeAll(DemoEntryId());
            if (rest.isEmpty())
                ini.DeleteKey(KRemovedAssociations, type);
            else
                ini.WriteString(KRemovedAssociations, type, rest.join(u';') + u';');
        }
    } catch (const EIniFileException& e) {
        return ErrorFrom(e, mimeApps);
    }

    if (ownType)
        RunDesktopTool(QStringLiteral("update-mime-database"),
                       DataHome() + QStringLiteral("/mime"));
    RunDesktopTool(QStringLiteral("update-desktop-database"), ApplicationsDir());
    return {};
}
