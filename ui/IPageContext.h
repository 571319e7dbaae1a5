#pragma once

#include "TDialogType.h"
#include "TKOVASettings.h"
#include "TUpdateCheck.h"

#include <QString>
#include <QStringList>

class IDialogs;
class QObject;
class QTreeWidget;
class QWidget;
class TAddonDeletionProposal;
class TCacheManager;
class TEventManager;
class TKOVALanguage;
class TLanguage;
class TMapManager;
class TScreenShotManager;
class TServerPackages;
class TSystemImages;
class TSystemManager;
class TUT2003Profile;
class TProgramFolders;
class TUTMap;
struct TFileDialogOptions;

// What a page or dialog of the main window may reach: the objects the pages share and the few
// orders the window carries out for them. The main window implements it; page tests use the
// double in tests/ui/support, so a page never needs the window's class (the layering test
// fails on a page or dialog that includes it).
//
// Adding a page:
//  1. A class TXxxPage : TPageBase in ui/pages, constructed with (IPageContext&, QWidget*
//     tabSheet); its refresh handler is RefreshPage(), which runs the handler named after the
//     page ("ShowXxxPage"). Handlers connect in the constructor with ConnectGuarded.
//  2. Its form ui/forms/TXxxPage.ui (class TXxxPage), controls named as the language files
//     name them; the language dresses them through the main window's form sections.
//  3. One line in the page table (ui/pages/PageTable.cpp): the tab sheet of TfrmMain.ui that
//     holds the page, and MakePage<TXxxPage>.
//  4. Its test in tests/ui: a TPageContextDouble over a TProgramFixture, CreatePage with the
//     tab sheet's name, then drive the controls by name and answer dialogs with
//     TScriptedDialogs.
// A list of files sorts by the comparisons its page installs on its TListView (SetSortColumns);
// a list the archive window takes drags from is marked with AddDragList.
class IPageContext
{
public:
    virtual ~IPageContext() = default;

    // The shared objects. The five managers of the game folder are made again when a new game
    // folder is applied: ask for them at each use and never keep them. None is null while the
    // window runs.
    virtual TKOVASettings& Settings() const = 0;
    virtual TKOVALanguage& LanguageManager() const = 0;
    // The language in use; null only before one was chosen.
    virtual TLanguage* CurrentLanguage() const = 0;
    // The text of a message key in the language in use; empty when it has none.
    virtual QString GetLangText(TDialogType key) const = 0;
    virtual TUT2003Profile* Profiles() const = 0;
    virtual TMapManager* MapManager() const = 0;
    virtual TScreenShotManager* ScreenShotManager() const = 0;
    virtual TCacheManager* CacheManager() const = 0;
    virtual TServerPackages* ServerPackages() const = 0;
    virtual TSystemManager* SystemManager() const = 0;
    // The page-handler registry: each page's refresh handler under its tab sheet.
    virtual TEventManager& EventManager() const = 0;
    // Every message box, question and file dialog goes through it.
    virtual IDialogs& Dialogs() const = 0;
    // The small file-type icons the file lists share.
    virtual TSystemImages& SystemImageList() const = 0;
    // Where the program's own files are, and where prompts for the user's files start.
    virtual const TProgramFolders& Folders() const = 0;
    // The add-on file selection, made once and dressed by the language with the window.
    virtual TAddonDeletionProposal& AddonDeletionProposal() const = 0;
    // The update server's pages for this program (its project id and version put in).
    virtual TUpdateAddresses UpdateAddresses() const = 0;

    // True when the game folder is valid; otherwise a balloon tip on the Configuration page's
    // folder edit says why, and the caller does nothing more.
    virtual bool CheckGamePath() = 0;
    // Makes the page in the tab sheet of that name the active page and runs its refresh handler
    // (also when it already was the active page).
    virtual void ShowPage(const QString& tabSheet) = 0;
    // Starts the game on Map with Options appended to the map's file name; nothing for no map.
    virtual void RunGame(const TUTMap* map, const QString& options) = 0;
    // Reads the settings file again, all or nothing: a file that fails keeps the settings in
    // use and its error is shown. False when it failed.
    virtual bool ReloadSettings() = 0;
    // Frees and re-makes the five managers of the game folder.
    virtual void RecreateManagers() = 0;
    // Deletes and rebuilds the map cache behind the busy window; without a valid game folder
    // only the balloon tip of CheckGamePath.
    virtual void UpdateMapCache() = 0;
    // Makes language Index the one in use: every form is dressed again, the pages' texts and
    // the Window menu follow. Nothing is saved here.
    virtual void ApplyLanguage(int index) = 0;
    // The server-package editor over the lines of the game's main INI file, read again; only
    // with a valid game folder.
    virtual void EditServerPackages() = 0;
    // Shows the file in the INI editor's tree (a missing file changes nothing); the caller then
    // makes that page the active one with ShowPage("tbINIEditor").
    virtual void LoadIniFile(const QString& fileName) = 0;
    // Asks the update server whether a newer version exists, blocking until it answers or its
    // time-out passes; a check that got no answer is an error that says why.
    virtual TResult<bool> CheckForUpdate() = 0;
    // While Busy, the main window is disabled and cannot be closed: another window (the archive
    // window) runs a long task that lets input through for its Cancel button.
    virtual void SetBusy(bool busy) = 0;
    // Runs the refresh handler of the active page.
    virtual void pgMainChange() = 0;

    // The add-on installation road.
    // Installs FileName into the game folders its install rules give: a ".zip" archive (any
    // file when AsArchive) entry by entry, any other file copied. Silent asks nothing and shows
    // no summary; an existing file is then replaced when OverwriteDefault, else kept. True when
    // the run went through; false for a missing file, a cancel or a failure (shown unless
    // Silent). A run that installed files lists the maps it brought and refreshes the page in
    // view, after the summary.
    virtual bool InstallFromArchive(const QString& fileName, bool silent, bool overwriteDefault,
                                    bool asArchive = false) = 0;
    // Asks for a zip archive (new or existing) and adds the files behind the selected rows of
    // ListView, files of Folder, under their bare names; an entry of the same name is replaced.
    // Nothing without a selected row.
    virtual void ExportToArchive(const QTreeWidget* listView, const QString& folder) = 0;
    // Asks for one zip archive and installs it: InstallFromArchive(file, false, true).
    virtual void ImportFromArchive() = 0;

    // Demo playback (the demo page, File > Play Demo, "/playdemo").
    // Plays the demo file through the game: the demo is copied into the game's Demos folder when
    // it lies elsewhere, the game's exec script names it, and the game starts while the demo
    // page shows that a demo plays, until the game ends. False when it did not come to starting
    // the game: for a missing demo silently, otherwise an error box said why. A game that then
    // cannot be started is reported in an error box too.
    virtual bool PlayDemo(const QString& fileName) = 0;
    // Stops waiting for the game that plays the last demo; the game runs on, and the demo page
    // shows its list again once the wait has ended. Nothing while no demo plays.
    virtual void ExitDemoView() = 0;

    // Appends Folder (a separator is added when missing) followed by the caption of each
    // selected row of ListView, in list order. Nothing for no list or list view.
    static void GetSelectedFiles(QStringList* list, const QTreeWidget* listView,
                                 const QString& folder);
    // Marks a page's list as one the archive window takes drags from: its rows are files of
    // Folder.
    static void AddDragList(QTreeWidget* list, TMapPaths folder);
    // For a list marked by AddDragList: true, with the full paths of its selected rows in list
    // order appended to Files. False (Files untouched) for any other source.
    bool DraggedFiles(const QObject* source, QStringList* files) const;

    // A file prompt titled and filtered by those language texts, starting where the user's
    // imports and exports start (TProgramFolders::TransferDir).
    TFileDialogOptions TransferPrompt(TDialogType title, TDialogType filter,
                                      const QString& defaultExt = QString()) const;

    // The error box (caption Common_Error) and the notice (caption Common_Information) of the
    // pages, with Text.
    void ShowError(QWidget* owner, const QString& text);
    void ShowInformation(QWidget* owner, const QString& text);
    // At the end of a run that installed Files (the paths it wrote): when one of them is a file
    // the map list takes, brings the map list (and, with the map cache on, the cache file) up to
    // date with the maps folder; a run that brought no map leaves the list alone. A cache file
    // that cannot be written is shown over Owner unless Quiet.
    void MapFilesInstalled(QWidget* owner, const QStringList& files, bool quiet = false);
    // Makes this program open the game's demo files, with the program's own demo-file icon, and
    // says so in a notice; an error box says why when it could not. Shared by the pages that
    // offer it. False when it failed.
    bool AssociateDemoFiles(QWidget* owner);

protected:
    // The map list brought up to date with the maps folder, as MapFilesInstalled does.
    void MapFilesChanged(QWidget* owner, bool quiet = false);
};
