#pragma once

#include "TDialogType.h"
#include "TResult.h"
#include "TSettingsRef.h"

#include <QImage>
#include <QString>

class TLanguage;

// The kinds of content the install verb is offered for.
enum class TVerbKind
{
    vkZip = 0,   // ".zip" archives
    vkFolder = 1 // folders
};

// What SetInstalled does with the install verb.
enum class TVerbMode
{
    vmRemove = 0,
    vmRegister = 1
};

// The tool's shell integration, kept in the freedesktop files of the user:
// - the install verb ("InstallUTContent") for zip archives and for folders: one desktop entry
//   per kind in $XDG_DATA_HOME/applications, offered in "Open With" for "application/zip" or
//   "inode/directory", which runs this program with "/install" and the file; beside them the
//   program's own entry, which carries the same verb as an action;
// - the demo association: a MIME package for the demo extension (unless the desktop already
//   knows a type for it), an entry that runs this program with "/playdemo" and the file, and
//   the default handler in $XDG_CONFIG_HOME/mimeapps.list.
// The desktop's caches are refreshed with update-mime-database and update-desktop-database
// when they are installed. GUI thread only.
class TSystemManager final
{
public:
    // Language gives every text written (nullptr, or a missing text, falls back to the verb's
    // name); it must outlive the manager. ProgramPath is the running program's full path, which
    // every command line runs.
    TSystemManager(TSettingsRef settingsRef, const TLanguage* language, const QString& programPath);
    TSystemManager(const TSystemManager&) = delete;
    TSystemManager& operator=(const TSystemManager&) = delete;

    // Whether the install verb is there for Ext (".zip", "folder", or another extension with
    // its dot): its entry for the kind and the program's own entry both. Never fails.
    bool IsInstalled(const QString& ext) const;
    // Registers the verb for Ext (defining a file type named DefaultType when the desktop knows
    // none for Ext), or removes it; the program's own entry goes only with the last kind. Fails,
    // having done nothing, with ecInvalid for a mode outside the enumeration, when Ext is no
    // extension or the program path is unusable; fails when a file could not be written or
    // removed.
    TResult<void> SetInstalled(const QString& ext, const QString& defaultType, TVerbMode mode);
    // IsInstalled and SetInstalled for ".zip" or "folder"; a kind outside the enumeration gives
    // false, or ecInvalid, and does nothing.
    bool IsInstalledKind(TVerbKind kind) const;
    TResult<void> SetInstalledKind(TVerbKind kind, TVerbMode mode);

    // Makes this program open the demo files (settings "demoExt"). Icon, when not null, is
    // written as the demo files' icon. Fails with ecNotFound without settings, ecInvalid when
    // the extension or the program path is unusable, or when a file could not be written; what
    // was written before stays.
    TResult<void> AssociateDemoFiles(const QImage& icon);
    // The MIME type of demo files that AssociateDemoFiles works on: ours when we defined it or
    // the desktop knows none, else the desktop's. Empty without settings or a usable extension.
    QString GetDemoMimeType() const;

    // The MIME type the install verb of Ext works on; empty when Ext is no extension.
    QString GetVerbMimeType(const QString& ext) const;
    // The files written, for the pages and the tests.
    static QString ApplicationsDir(); // $XDG_DATA_HOME/applications
    static QString MimeAppsFile();    // $XDG_CONFIG_HOME/mimeapps.list
    static QString VerbEntryFile(const QString& ext);
    static QString ProgramEntryFile();
    static QString DemoEntryFile();
    static QString DemoPackageFile();
    // The desktop file id of the demo entry ("kova-playdemo.desktop").
    static QString DemoEntryId();

private:
    QString Text(TDialogType type, const QString& fallback) const;
    TResult<void> CheckProgramPath() const;
    QString ExecLine(const QString& switchText) const;
    QString OwnDemoMimeType() const;

    TSettingsRef FSettingsRef;
    const TLanguage* FLanguage;
    QString FProgramPath;
};
