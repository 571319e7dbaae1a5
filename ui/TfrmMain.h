#pragma once

#include <memory>

#include <QMainWindow>
#include <QPointer>

#include "TDialogType.h"
#include "ILanguageForm.h"
#include "ProgramFolders.h"

class QLineEdit;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class TCacheManager;
class TEventManager;
class TKOVALanguage;
class TKOVASettings;
class TLanguage;
class TListView;
class TMapManager;
class TScreenShotManager;
class TServerPackages;
class TShellExecThread;
class TSystemImages;
class TSystemManager;
class TUT2003Profile;
class TUTMap;
class TConfigurationPage;
class TServerPackageEditor;
class TUpdateCache;
class TAddonDeletionProposal;

namespace Ui {
class TfrmMain;
}

// Why the start-up stopped before the window could run.
enum class TStartupState
{
    ssRunning,         // created; show it and run the message loop
    ssSettingsFailed,  // the settings file could not be found, made or read (the user was told)
    ssNoLanguageFile,  // no language file beside the program
    ssLanguageMissing, // the selected language file is missing, or none was chosen
};

// The main window: the page control with the tool's twelve pages, the menus, and the objects
// every page shares (the settings, the language manager and the managers of the installation).
// Pages live in classes of their own and reach what they share through this window.
class TfrmMain final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmMain)

public:
    // Creates the window over the program folder AppDir with the program's arguments (argument 0
    // is the program). Check StartupState() before showing it.
    TfrmMain(const QString& appDir, const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmMain() override;

    TStartupState StartupState() const { return FStartupState; }
    // The exit status the program ends with once the message loop ends.
    int ExitStatus() const { return FExitStatus; }
    // A command-line switch did its work (or could not) and asked for the program's end.
    bool EndRequested() const { return FEndRequested; }

    // Shared with the pages.
    TKOVASettings* Settings() const { return FSettings; }
    TKOVALanguage* LanguageManager() const { return FLanguageManager.get(); }
    TLanguage* CurrentLanguage() const;
    TUT2003Profile* Profiles() const { return FProfiles.get(); }
    TMapManager* MapManager() const { return FMapManager.get(); }
    TScreenShotManager* ScreenShotManager() const { return FScreenShotManager.get(); }
    TCacheManager* CacheManager() const { return FCacheManager.get(); }
    TServerPackages* ServerPackages() const { return FServerPackages.get(); }
    TSystemManager* SystemManager() const { return FSystemManager.get(); }
    TEventManager* EventManager() const { return FEventManager.get(); }
    // Where the program's own files are.
    const TProgramFolders& Folders() const { return FFolders; }
    // The small file-type icons the file lists share.
    TSystemImages& SystemImageList() const { return FSystemImages; }
    Ui::TfrmMain* Form() const { return FUi.get(); }
    TUpdateCache* UpdateCacheWindow() const { return FUpdateCache; }
    TServerPackageEditor* ServerPackageEditor() const { return FServerPackageEditor; }
    TAddonDeletionProposal* AddonDeletionProposal() const { return FAddonDeletionProposal; }

    // The text of a message key in the active language; empty when it has none.
    QString GetLangText(TDialogType index) const;
    // True when the game folder is valid; otherwise a balloon tip on the game-folder edit.
    bool CheckGamePath();
    // Runs the refresh handler of the active page.
    void pgMainChange();
    // Makes Page the active page and runs its refresh handler (also when it already was).
    void ShowPage(QWidget* page);
    // Appends Folder + the caption of each selected row of ListView, in list order.
    static void GetSelectedFiles(QStringList* list, QTreeWidget* listView, const QString& folder);
    // Starts the game on Map with Options appended to the map's file name.
    void RunGame(const TUTMap* map, const QString& options);

    // Rebuilds the Window menu's page items under Menu.
    void BuildWindowMenu(QMenu* menu);
    void BuildToolTips();
    void ApplyLanguageToDialogs();
    void FitConfigurationPage();
    // Reads the settings file again, only when it loads: a file that fails keeps the settings
    // in use (the loader showed why). False when it failed.
    bool ReloadSettings();
    // Frees and re-creates the managers that depend on the game folder.
    void RecreateManagers();
    // Deletes and rebuilds the map cache behind the busy window; without a valid game folder
    // only the balloon tip of CheckGamePath.
    void UpdateMapCache();
    // The refresh handler of the Configuration page.
    void ShowConfigurationPage();

    // Column-click and compare events of the five sortable file lists.
    void LV_ColClick(QTreeWidget* listView, int column);
    int LV_SortProc(const QTreeWidget* listView, const QTreeWidgetItem* item1,
                    const QTreeWidgetItem* item2) const;

    // Sorts a file list of a page through LV_ColClick and LV_SortProc.
    void AttachSortableList(TListView* listView);

    // The line edit the game-folder balloon tip points at.
    QLineEdit* GamePathEdit() const;

    // The program's long title, between the brackets of the window caption.
    static QString LongTitle();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void FormShow();
    bool DetectGameFolder();
    void RegisterPages();
    void CreateManagers();
    void FreeManagers();
    void ConnectMenus();
    void OnLanguageLoaded(TLanguage* sender);
    void HandleCommandLine();
    void RequestEnd(int status);
    QStringList GetPageList() const;
    void WindowMenuItemClick(int tag);

    void MenuPlayUT2003Click();
    void MenuServerPackageEditorClick();
    void MenuExitClick();
    void MenuHelpFileClick();
    void MenuChangeLogClick();
    void MenuAboutClick();
    void MenuCacheClick();
    void MenuCacheEnabledClick();
    void MenuCacheUpdateClick();

    // Install and demo road; these report whether they did their work.
    bool InstallFromFolder(const QString& folder, bool recursive, bool silent);
    bool InstallFromArchive(const QString& fileName, bool silent, bool overwriteDefault);
    bool InstallFiles(const QStringList& files, bool silent, bool overwriteDefault);
    bool PlayDemo(const QString& fileName);

    std::unique_ptr<Ui::TfrmMain> FUi;
    TStartupState FStartupState = TStartupState::ssRunning;
    int FExitStatus = 0;
    bool FEndRequested = false;
    QStringList FArguments;

    bool FSilent = false;
    bool FOverwriteDefault = false;
    QString FIniFileName;
    bool FUpdateCacheOnShow = false;
    QPointer<TShellExecThread> FDemoThread;
    int FSortColumn = 0;
    // The managers keep the address of FSettings and read the settings through it, so a reload
    // reaches them.
    std::unique_ptr<TKOVASettings> FSettingsOwner;
    TKOVASettings* FSettings = nullptr;
    std::unique_ptr<TKOVALanguage> FLanguageManager;
    std::unique_ptr<TUT2003Profile> FProfiles;
    std::unique_ptr<TMapManager> FMapManager;
    std::unique_ptr<TSystemManager> FSystemManager;
    std::unique_ptr<TEventManager> FEventManager;
    std::unique_ptr<TScreenShotManager> FScreenShotManager;
    std::unique_ptr<TCacheManager> FCacheManager;
    std::unique_ptr<TServerPackages> FServerPackages;
    bool FFirstShow = true;
    TProgramFolders FFolders;
    TSystemImages& FSystemImages;

    TLanguageForms FForms;
    QList<std::shared_ptr<ILanguageForm>> FFormAdapters;
    TConfigurationPage* FConfigurationPage = nullptr;
    TUpdateCache* FUpdateCache = nullptr;
    TServerPackageEditor* FServerPackageEditor = nullptr;
    TAddonDeletionProposal* FAddonDeletionProposal = nullptr;
    bool FBusy = false; // disabled for a long task: the window cannot be closed
};
