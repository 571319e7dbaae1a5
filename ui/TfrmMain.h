#pragma once

#include <memory>

#include <QMainWindow>
#include <QPointer>

#include "ILanguageForm.h"
#include "IPageContext.h"
#include "ProgramFolders.h"
#include "TUpdateCheck.h"

struct TFileDialogOptions;
class QLineEdit;
class QMenu;
class TEventManager;
class TInstallationManagers;
class TKOVALanguage;
class TKOVASettings;
class TLanguage;
class TPageBase;
class TShellExecThread;
class TSystemImages;
class TSystemManager;
class TServerPackageEditor;
class TUpdateCache;
class TAddonDeletionProposal;
class TDemoPage;
class TfrmArchiveInspector;
class TInstallationSummary;

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
    ssLanguageDamaged, // the selected language file cannot be used
};

// The main window: the frame around the tool's twelve pages (start-up and shut-down, the menus,
// the page control with the page-handler registry, the command-line switches) and the objects
// every page shares. Pages live in classes of their own (the page table) and reach what they
// share through the page context this window implements.
class TfrmMain final : public QMainWindow, public IPageContext
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

    // The page context.
    TKOVASettings& Settings() const override { return *FSettings; }
    TKOVALanguage& LanguageManager() const override { return *FLanguageManager; }
    TLanguage* CurrentLanguage() const override;
    QString GetLangText(TDialogType key) const override;
    TUT2003Profile* Profiles() const override;
    TMapManager* MapManager() const override;
    TScreenShotManager* ScreenShotManager() const override;
    TCacheManager* CacheManager() const override;
    TServerPackages* ServerPackages() const override;
    TSystemManager* SystemManager() const override { return FSystemManager.get(); }
    TEventManager& EventManager() const override { return *FEventManager; }
    IDialogs& Dialogs() const override;
    TSystemImages& SystemImageList() const override { return FSystemImages; }
    const TProgramFolders& Folders() const override { return FFolders; }
    TAddonDeletionProposal& AddonDeletionProposal() const override
    {
        return *FAddonDeletionProposal;
    }
    bool CheckGamePath() override;
    void ShowPage(const QString& tabSheet) override;
    void RunGame(const TUTMap* map, const QString& options) override;
    bool ReloadSettings() override;
    void RecreateManagers() override;
    void UpdateMapCache() override;
    void ApplyLanguage(int index) override;
    void EditServerPackages() override;
    void LoadIniFile(const QString& fileName) override;
    void pgMainChange() override;
    TUpdateAddresses UpdateAddresses() const override;
    TResult<bool> CheckForUpdate() override;
    void SetBusy(bool busy) override;
    bool PlayDemo(const QString& fileName) override;
    void ExitDemoView() override;

    // The update server the check asks (tests give a server of their own). The About page's
    // links follow at the window's next showing.
    void SetUpdateServer(const TUpdateServer& server) { FUpdateCheck.SetServer(server); }
    // The add-on installation road (the page context's part of it).
    bool InstallFromArchive(const QString& fileName, bool silent, bool overwriteDefault,
                            bool asArchive = false) override;
    void ExportToArchive(const QTreeWidget* listView, const QString& folder) override;
    void ImportFromArchive() override;

    // The busy window of the map-cache rebuild and the server-package editor.
    TUpdateCache* UpdateCacheWindow() const { return FUpdateCache; }
    TServerPackageEditor* ServerPackageEditor() const { return FServerPackageEditor; }
    TfrmArchiveInspector* ArchiveInspector() const { return FArchiveInspector.get(); }
    TInstallationSummary* InstallationSummary() const { return FInstallationSummary; }

    // The add-on installation road. Each returns whether the run did what it was given: every
    // file there, at least one installed or kept, nothing refused, cancelled or failed
    // (TInstallSummary::Succeeded).
    // The overwrite question: the dialogs' Yes, No, Cancel, Yes to All (closing it is Cancel);
    // a silent run answers with the preset instead and shows nothing.
    void ConfirmOverwrite(const QString& fileName, bool& overwrite, bool& yesToAll, bool& cancel);
    // Installs Files with the overwrite question, then shows the summary unless Silent. Sets
    // both the silent flag and the overwrite preset.
    bool InstallFiles(const QStringList& files, bool silent, bool overwriteDefault);
    // The files of Folder (and its subfolders when Recursive) through InstallFilesDirect.
    bool InstallFromFolder(const QString& folder, bool recursive, bool silent);
    // As InstallFiles, keeping the overwrite preset; nothing at all (no summary) unless every
    // file exists.
    bool InstallFilesDirect(const QStringList& files, bool silent);
    bool Silent() const { return FSilent; }
    bool OverwriteDefault() const { return FOverwriteDefault; }

    void MeunInstallUTContentFromArchiveClick();
    void MeunInstallUTContentFromDirClick();
    void MeunInstallUTContentFromFileClick();

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
    void ConnectMenus();
    void OnLanguageLoaded(TLanguage* sender);
    void OnSettingsChanged();
    void BuildToolTips();
    // Rebuilds the Window menu's page items under Menu.
    void BuildWindowMenu(QMenu* menu);
    // The refresh handler of the Configuration page, through the registry.
    void ShowConfigurationPage();
    // The line edit the game-folder balloon tip points at.
    QLineEdit* GamePathEdit() const;
    // The pages, found in their tab sheets.
    QList<TPageBase*> Pages() const;
    void HandleCommandLine();
    // Starts a program, or opens a file with the desktop's handler; a start that fails is shown
    // with the reason.
    void StartOrReport(const QString& program, const QStringList& arguments);
    void OpenOrReport(const QString& fileOrUrl);
    void ReportStartError(const QString& error);
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
    void MenuCheckForUpdatesClick();
    void MenuArchiveInspectorClick();

    // One run of the installation road over Files (as archives when AsArchive), with its
    // summary shown unless silent.
    bool RunInstall(const QStringList& files, bool asArchive);
    // The end of every run that installed Files (the paths it wrote), from the menus, the pages,
    // the archive window or a switch: the map list follows when a map came, and the page in
    // view, when it lists the game's files, is refreshed to show the new ones. Nothing for no
    // file.
    void FilesInstalled(const QStringList& files, bool quiet);
    // The window that owns an install's questions, progress and errors.
    QWidget* InstallOwner();

    // Demo playback.
    void MenuPlayDemoClick();
    // The end of a demo's wait; only the last demo's end shows the demo list again. A game that
    // could not be started is reported.
    void DemoThreadTerminate(const TShellExecThread* ended);
    TDemoPage* DemoPage() const;

    std::unique_ptr<Ui::TfrmMain> FUi;
    TStartupState FStartupState = TStartupState::ssRunning;
    int FExitStatus = 0;
    bool FEndRequested = false;
    QStringList FArguments;

    bool FSilent = false;
    bool FOverwriteDefault = false;
    bool FUpdateCacheOnShow = false;
    QPointer<TShellExecThread> FDemoThread;
    // The managers keep the address of FSettings and read the settings through it, so a reload
    // reaches them.
    std::unique_ptr<TKOVASettings> FSettingsOwner;
    TKOVASettings* FSettings = nullptr;
    std::unique_ptr<TKOVALanguage> FLanguageManager;
    std::unique_ptr<TInstallationManagers> FManagers;
    std::unique_ptr<TSystemManager> FSystemManager;
    std::unique_ptr<TEventManager> FEventManager;
    bool FFirstShow = true;
    TProgramFolders FFolders;
    TSystemImages& FSystemImages;

    TLanguageForms FForms;
    QList<std::shared_ptr<ILanguageForm>> FFormAdapters;
    TUpdateCache* FUpdateCache = nullptr;
    TServerPackageEditor* FServerPackageEditor = nullptr;
    TAddonDeletionProposal* FAddonDeletionProposal = nullptr;
    // A window of its own (not a child), so that it stays usable while this one is busy for it.
    std::unique_ptr<TfrmArchiveInspector> FArchiveInspector;
    TInstallationSummary* FInstallationSummary = nullptr;
    bool FBusy = false; // disabled for a long task: the window cannot be closed
    TUpdateCheck FUpdateCheck;
};
