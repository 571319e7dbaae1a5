#include "TKOVASettings.h"

#include "AtomicFile.h"
#include "GamePath.h"
#include "TXMLTextFile.h"
#include "TextCodec.h"
#include "WineRegistry.h"
#include "uKOVA_Misc.h"
#include "uKOVA_Strings.h"
#include "uKOVA_XML.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace {

const char* const KMapPathNames[KMapPathCount] = {
    "system",     "maps",  "help", "sounds",      "music", "textures", "staticmeshes",
    "animations", "demos", "save", "screenshots", "cache", "speech",   "forcefeedback"};

const QStringList KFolderInstallModeNames = {
    QStringLiteral("fimRecursive"), QStringLiteral("fimNonRecursive"), QStringLiteral("fimAsk")};

const char* const KRootName = "kovasettings";
const QString KHelpPlaceholder = QStringLiteral("%help%");

bool IsSeparator(QChar c)
{
    return c == u'/' || c == u'\\';
}

QString ChopOneSeparator(const QString& path)
{
    return !path.isEmpty() && IsSeparator(path.back()) ? path.chopped(1) : path;
}

// The folder part ends after the last "/", "\" or ":".
qsizetype NameStart(const QString& fileName)
{
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        if (IsSeparator(fileName[i]) || fileName[i] == u':')
            return i + 1;
    }
    return 0;
}

QString ExtensionOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot >= NameStart(fileName) ? fileName.mid(dot) : QString();
}

// The stored game folder as the program keeps it: local, with a trailing "/". No folder stays
// empty: as "/" it would make the file system's root the game folder.
QString UTDirFromText(const QString& text)
{
    if (text.trimmed().isEmpty())
        return QString();
    return WithTrailingSeparator(ResolveGamePath(text));
}

bool IsUnknownContentMask(const QString& mask)
{
    return mask.compare(KUnknownContent, Qt::CaseInsensitive) == 0;
}

QString AttributeText(pugi::xml_node node, const char* name)
{
    return QString::fromUtf8(node.attribute(name).value());
}

// Only a value the file does not already hold is written, so that a save changes no more of
// a hand-edited file than it must.
void WriteChild(TXMLTextFile& file, pugi::xml_node parent, const QString& name,
                const QString& value, bool fileHoldsValue)
{
    const pugi::xml_node child = FindXMLChild(parent, name);
    if (!child)
        file.AppendChild(parent, name, value);
    else if (!fileHoldsValue)
        file.SetText(child, value);
}

// Def is the value the loader takes for a missing or unreadable text.
void WriteBoolChild(TXMLTextFile& file, pugi::xml_node parent, const QString& name, bool value,
                    bool def)
{
    WriteChild(file, parent, name, value ? QStringLiteral("True") : QStringLiteral("False"),
               ReadXMLNodeBool(parent, name, def) == value);
}

// A text naming no member would leave the installer without a mode: it means the default.
TFolderInstallMode ReadFolderInstallMode(pugi::xml_node basic)
{
    const int mode =
        ReadXMLNodeEnum(basic, QStringLiteral("folderinstallmode"), KFolderInstallModeNames,
                        static_cast<int>(TFolderInstallMode::fimAsk));
    return mode >= 0 ? static_cast<TFolderInstallMode>(mode) : TFolderInstallMode::fimAsk;
}

} // namespace

QString MapPathName(TMapPaths index)
{
    const int i = static_cast<int>(index);
    return i >= 0 && i < KMapPathCount ? QString::fromLatin1(KMapPathNames[i]) : QString();
}

QString FolderInstallModeName(TFolderInstallMode mode)
{
    return KFolderInstallModeNames.value(static_cast<int>(mode));
}

TKOVASettings::TKOVASettings(const QString& appDir, const QString& fileName)
    : AppDir(appDir)
    , FileName(fileName)
{}

TResult<void> TKOVASettings::LoadFromFile()
{
    TKOVASettings next(*this);
    QString message;
    try {
        next.ReadFile();
        *this = next;
        if (OnChanged)
            OnChanged();
        return {};
    } catch (const EXMLFileError& error) {
        // The parser is part of the program: what can be wrong is the file, so the message says
        // where in it.
        message = error.Line() > 0
                      ? QStringLiteral("The settings file \"%1\" is not valid XML: %2 at line %3, "
                                       "column %4.")
                            .arg(FileName, error.Reason())
                            .arg(error.Line())
                            .arg(error.Column())
                      : QStringLiteral("The settings file \"%1\" could not be read: %2.")
                            .arg(FileName, error.Reason());
    } catch (const std::exception& error) {
        message = QStringLiteral("The settings file \"%1\" could not be read: %2.")
                      .arg(FileName, QString::fromUtf8(error.what()));
    }
    return TError{TErrorCode::ecFailed, message, FileName};
}

bool TKOVASettings::HasSettingsRoot() const
{
    return FRootName == QLatin1String(KRootName);
}

void TKOVASettings::ReadFile()
{
    Destinations.clear();
    Renames.clear();
    SPCharacters.clear();
    const TXMLTextFile file(FileName);
    const pugi::xml_node root = file.Root();
    FRootName = QString::fromUtf8(root.name());
    if (HasSettingsRoot()) {
        const pugi::xml_node basic = FindXMLChild(root, QStringLiteral("basic"));
        FirstRun = ReadXMLNodeBool(basic, QStringLiteral("firstrun"), false);
        EnableMapManagerCache =
            ReadXMLNodeBool(basic, QStringLiteral("enablemapmanagercache"), false);
        UTDir = UTDirFromText(ReadXMLNodeText(basic, QStringLiteral("utdir"), QString()));
        AppName = ReadXMLNodeText(basic, QStringLiteral("appname"), QStringLiteral("UT2004")) +
                  QStringLiteral(" KOVA");
        Language = ReadXMLNodeText(basic, QStringLiteral("language"), QStringLiteral("int"));
        DemoID = ReadXMLNodeText(basic, QStringLiteral("demoID"), QString());
        DemoExt = ReadXMLNodeText(basic, QStringLiteral("demoExt"), QStringLiteral(".demo4"));
        MaxGoreLevel = ReadXMLNodeInt(basic, QStringLiteral("maxgorelevel"), 2);
        MinGoreLevel = ReadXMLNodeInt(basic, QStringLiteral("mingorelevel"), 0);
        ProjectID = ReadXMLNodeInt(basic, QStringLiteral("kovaprojectid"), 10);
        Registry = ReadXMLNodeText(basic, QStringLiteral("registry"), QString());
        IsWindowSizeable = ReadXMLNodeBool(basic, QStringLiteral("iswindowsizeable"), false);
        FolderInstallMode = ReadFolderInstallMode(basic);

        // A missing "paths" element means the default of every folder, as a missing child
        // does; otherwise a file without it would leave every folder empty.
        const pugi::xml_node paths = FindXMLChild(root, QStringLiteral("paths"));
        ExeName = ReadXMLNodeText(paths, QStringLiteral("exename"), QString());
        IniFile = ReadXMLNodeText(paths, QStringLiteral("inifile"), QString());
        const QString utDirText = ChopOneSeparator(UTDir);
        for (TMapPaths index : KAllMapPaths) {
            const QString name = MapPathName(index);
            const pugi::xml_node child = FindXMLChild(paths, name);
            const QString text = XMLNodeText(child);
            // Without a game folder there is no folder inside it either ("%UTDIR%\Maps" would
            // be "/Maps").
            if (UTDir.isEmpty() && (!child || text.contains(QStringLiteral("%UTDIR%"))))
                Paths[static_cast<int>(index)].clear();
            else
                Paths[static_cast<int>(index)] = child ? LocalPathFromWindows(QString(text).replace(
                                                             QStringLiteral("%UTDIR%"), utDirText))
                                                       : UTDir + name;
        }

        const pugi::xml_node destinations = FindXMLChild(root, QStringLiteral("destinations"));
        for (pugi::xml_node child : destinations.children()) {
            if (child.type() != pugi::node_element)
                continue;
            // A group without a "mask" attribute holds no rule.
            const QString destination = ExpandPath(XMLNodeText(child));
            for (const QString& mask :
                 SplitString(QStringLiteral(";"), AttributeText(child, "mask"), 0))
                SetDestination(static_cast<int>(Destinations.size()), {mask, destination});
        }

        const pugi::xml_node renames = FindXMLChild(root, QStringLiteral("renames"));
        for (pugi::xml_node child : renames.children()) {
            if (child.type() == pugi::node_element)
                SetRename(static_cast<int>(Renames.size()),
                          {AttributeText(child, "mask"), XMLNodeText(child)});
        }
    }
    LoadSPCharacters();
}

void TKOVASettings::LoadSPCharacters()
{
    if (!IsValidUTDir(UTDir))
        return;
    // The file is optional: without it the list stays empty.
    QByteArray bytes;
    if (!ReadWholeFile(
            ResolveGamePath(GetPath(TMapPaths::mpSystem) + QStringLiteral("/xplayersL1.upl")),
            bytes))
        return;
    QString text = DecodeText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    const QString playerKey = QStringLiteral("Player=");
    const QString menuKey = QStringLiteral("Menu=\"SP\"");
    // Kept lines start with a fixed 21-character prefix (Player=(DefaultName=") before the name.
    constexpr qsizetype KNameStart = 21;
    for (const QString& line : text.split(u'\n')) {
        if (!line.contains(playerKey) || !line.contains(menuKey))
            continue;
        const qsizetype quote = line.size() > KNameStart ? line.indexOf(u'"', KNameStart) : -1;
        SPCharacters.append(quote < 0 ? QString() : line.mid(KNameStart, quote - KNameStart));
    }
}

TResult<void> TKOVASettings::SaveToFile()
{
    try {
        WriteFile();
        return {};
    } catch (const EXMLFileError& error) {
        return ErrorFrom(error, FileName);
    }
}

void TKOVASettings::WriteFile() const
{
    if (!QFileInfo::exists(FileName))
        CreateXMLFile(FileName, QString::fromLatin1(KRootName), {});
    TXMLTextFile file(FileName);
    const pugi::xml_node root = file.Root();
    if (std::strcmp(root.name(), KRootName) != 0)
        return;

    const pugi::xml_node basic = FindXMLChild(root, QStringLiteral("basic"));
    if (basic) {
        const QString utDirName = QStringLiteral("utdir");
        const pugi::xml_node utDir = FindXMLChild(basic, utDirName);
        WriteChild(file, basic, utDirName, UTDir, UTDirFromText(XMLNodeText(utDir)) == UTDir);
        const QString languageName = QStringLiteral("language");
        WriteChild(file, basic, languageName, Language,
                   XMLNodeText(FindXMLChild(basic, languageName)) == Language);
        WriteBoolChild(file, basic, QStringLiteral("firstrun"), FirstRun, false);
        WriteBoolChild(file, basic, QStringLiteral("enablemapmanagercache"), EnableMapManagerCache,
                       false);
        WriteBoolChild(file, basic, QStringLiteral("iswindowsizeable"), IsWindowSizeable, false);
        WriteChild(file, basic, QStringLiteral("folderinstallmode"),
                   FolderInstallModeName(FolderInstallMode),
                   ReadFolderInstallMode(basic) == FolderInstallMode);
    }

    // A folder the user set by hand stays while the rule's on/off state is unchanged.
    const pugi::xml_node destinations = FindXMLChild(root, QStringLiteral("destinations"));
    for (pugi::xml_node child : destinations.children()) {
        if (child.type() == pugi::node_element && AttributeText(child, "mask") == KUnknownContent) {
            const bool install = GetInstallUnknownContent();
            if ((XMLNodeText(child) != KNoInstall) != install)
                file.SetText(child, install ? KHelpPlaceholder : KNoInstall);
            break;
        }
    }

    if (file.Modified())
        file.Save();
    if (OnChanged)
        OnChanged();
}

bool TKOVASettings::IsValidUTDir(const QString& dir) const
{
    return MissingGameFiles(dir).isEmpty();
}

QStringList TKOVASettings::MissingGameFiles(const QString& dir) const
{
    if (dir.isEmpty() || !GameFolderExists(dir))
        return {dir};
    const QString system = ChopOneSeparator(LocalPathFromWindows(dir)) + QStringLiteral("/System/");
    QStringList missing;
    // A name the settings lack would denote the System folder itself, which is no file.
    const auto need = [&](const QString& name, const QString& lacking) {
        if (name.isEmpty())
            missing << QStringLiteral("System/") + lacking;
        else if (!GameFileExists(system + name))
            missing << QStringLiteral("System/") + name;
    };
    need(ExeName, QStringLiteral("<exename>"));
    need(QStringLiteral("Core.dll"), QString());
    need(IniFile, QStringLiteral("<inifile>"));
    return missing;
}

void TKOVASettings::SetUTDir(const QString& dir)
{
    if (IsValidUTDir(dir))
        UTDir = WithTrailingSeparator(ResolveGamePath(dir));
}

TResult<QString> TKOVASettings::GetUTDirFromRegistry() const
{
    const std::optional<QString> folder =
        Registry.isEmpty() ? std::nullopt
                           : ReadLocalMachineString(Registry, QStringLiteral("Folder"));
    if (!folder)
        return TError{TErrorCode::ecNotFound,
                      QStringLiteral("The registry holds no game folder under "
                                     "HKEY_LOCAL_MACHINE\\%1.")
                          .arg(Registry),
                      {}};
    return LocalPathFromWindows(*folder);
}

QString TKOVASettings::GetPath(TMapPaths index) const
{
    const int i = static_cast<int>(index);
    if (i < 0 || i >= KMapPathCount)
        return QString();
    const QString path = ChopOneSeparator(Paths[i]);
    return path.isEmpty() ? path : ResolveGamePath(path);
}

QString TKOVASettings::GetMapsDir() const
{
    return WithTrailingSeparator(GetPath(TMapPaths::mpMaps));
}

QString TKOVASettings::GetGameIniFile() const
{
    const QString system = GetPath(TMapPaths::mpSystem);
    return system.isEmpty() ? QString() : ResolveGamePath(system + u'/' + IniFile);
}

QString TKOVASettings::GetGameLanguage() const
{
    return ReadIniValue(QStringLiteral("Language"), QStringLiteral("Engine.Engine"),
                        GetGameIniFile());
}

QStringList TKOVASettings::GetSPCharacters() const
{
    return SPCharacters;
}

QString TKOVASettings::GetDestination(const QString& fileName) const
{
    // Without rules, or with a rule that names no absolute folder, a file would land in a
    // folder relative to wherever the program runs: it is not installed instead.
    const QString extension = ExtensionOf(fileName).toLower();
    const TInstallType* rule = nullptr;
    for (const TInstallType& candidate : Destinations) {
        if (candidate.Mask.compare(extension, Qt::CaseInsensitive) == 0)
            rule = &candidate;
    }
    if (!rule) {
        for (const TInstallType& candidate : Destinations) {
            if (IsUnknownContentMask(candidate.Mask))
                rule = &candidate;
        }
    }
    if (!rule || rule->Destination == KNoInstall)
        return KNoInstall;
    const QString expanded = ExpandPath(rule->Destination);
    if (expanded.isEmpty())
        return KNoInstall;
    const QString folder = ResolveGamePath(expanded);
    return QDir::isAbsolutePath(folder) ? WithTrailingSeparator(folder) : KNoInstall;
}

QString TKOVASettings::ApplyRenames(const QString& fileName) const
{
    const qsizetype nameStart = NameStart(fileName);
    const QString name = fileName.mid(nameStart);
    QString result = fileName;
    for (const TInstallType& rule : Renames) {
        if (rule.Mask.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const QString expanded = ExpandPath(rule.Destination);
        // A new name with a folder placeholder names its whole path; put behind the old folder
        // it would give a path inside a path.
        if (expanded != rule.Destination)
            result = ResolveGamePath(expanded);
        else
            result = fileName.left(nameStart) + QString(rule.Destination).replace(u'\\', u'/');
    }
    return result;
}

bool TKOVASettings::GetInstallUnknownContent() const
{
    for (const TInstallType& rule : Destinations) {
        if (IsUnknownContentMask(rule.Mask) && rule.Destination != KNoInstall)
            return true;
    }
    return false;
}

void TKOVASettings::SetInstallUnknownContent(TUnknownContentMode mode)
{
    if (mode != TUnknownContentMode::ucmNoInstall && mode != TUnknownContentMode::ucmHelp)
        return;
    for (TInstallType& rule : Destinations) {
        if (IsUnknownContentMask(rule.Mask))
            rule.Destination = mode == TUnknownContentMode::ucmHelp ? KHelpPlaceholder : KNoInstall;
    }
}

void TKOVASettings::SetDestination(int index, const TInstallType& rule)
{
    if (index < 0) {
        qWarning("TKOVASettings::SetDestination: negative index %d", index);
        return;
    }
    if (index >= Destinations.size())
        Destinations.append(rule);
    else
        Destinations[index] = rule;
}

void TKOVASettings::SetRename(int index, const TInstallType& rule)
{
    if (index < 0) {
        qWarning("TKOVASettings::SetRename: negative index %d", index);
        return;
    }
    if (index >= Renames.size())
        Renames.append(rule);
    else
        Renames[index] = rule;
}

QString TKOVASettings::ExpandPath(const QString& text) const
{
    if (text == KNoInstall)
        return text;
    for (TMapPaths index : KAllMapPaths) {
        const QString placeholder = u'%' + MapPathName(index) + u'%';
        if (!text.contains(placeholder))
            continue;
        // An unknown folder would leave the rest of the text to stand from the root.
        const QString folder = GetPath(index);
        return folder.isEmpty() ? QString() : QString(text).replace(placeholder, folder);
    }
    return text;
}
