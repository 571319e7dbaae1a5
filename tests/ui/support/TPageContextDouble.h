#pragma once

#include "IPageContext.h"
#include "ILanguageForm.h"
#include "IDialogs.h"
#include "ProgramFolders.h"
#include "SystemImages.h"
#include "TInstallationManagers.h"

#include <QStringList>

#include <memory>

class QWidget;
class TPageBase;
class TProgramFixture;

// The page context without the main window, for page and dialog tests, made as the window makes
// it over a program fixture. Every order is recorded in Orders(); those that change what the
// pages read (settings, managers, language, ShowPage, LoadIniFile, pgMainChange) are carried out
// too, the others (RunGame, SetBusy, the installation road's, PlayDemo...) are only recorded.
class TPageContextDouble final : public IPageContext
{
public:
    explicit TPageContextDouble(const TProgramFixture& fixture);
    ~TPageContextDouble() override;
    TPageContextDouble(const TPageContextDouble&) = delete;
    TPageContextDouble& operator=(const TPageContextDouble&) = delete;

    // Makes the page the page table puts in that tab sheet, shows it dressed in the language in
    // use and runs its refresh handler, as becoming the active page does.
    TPageBase* CreatePage(const QString& tabSheet);
    template <class TPage> TPage* Create(const QString& tabSheet)
    {
        return static_cast<TPage*>(CreatePage(tabSheet));
    }
    // The form the pages live in; the language dresses it as the main window ("frmMain").
    QWidget* Host() const { return FHost.get(); }

    // Every order so far: "ShowPage tbProfiles", "RunGame DM-A.ut2?x", "SetBusy 1",
    // "InstallFromArchive /path/a.zip silent 0 overwrite 1 archive 0",
    // "ExportToArchive /folder a.demo4 b.demo4", "PlayDemo /path/My.demo4"...
    const QStringList& Orders() const { return FOrders; }
    void ClearOrders() { FOrders.clear(); }
    void SetUpdateServer(const TUpdateServer& server) { FUpdateCheck.SetServer(server); }

    TKOVASettings& Settings() const override { return *FSettings; }
    TKOVALanguage& LanguageManager() const override { return *FLanguages; }
    TLanguage* CurrentLanguage() const override;
    QString GetLangText(TDialogType key) const override;
    TUT2003Profile* Profiles() const override { return FManagers->Profiles(); }
    TMapManager* MapManager() const override { return FManagers->MapManager(); }
    TScreenShotManager* ScreenShotManager() const override
    {
        return FManagers->ScreenShotManager();
    }
    TCacheManager* CacheManager() const override { return FManagers->CacheManager(); }
    TServerPackages* ServerPackages() const override { return FManagers->ServerPackages(); }
    TSystemManager* SystemManager() const override { return FSystemManager.get(); }
    TEventManager& EventManager() const override { return *FEventManager; }
    IDialogs& Dialogs() const override { return ::Dialogs(); }
    TSystemImages& SystemImageList() const override { return SystemImages(); }
    const TProgramFolders& Folders() const override { return FFolders; }
    TAddonDeletionProposal& AddonDeletionProposal() const override;
    bool CheckGamePath() override;
    void ShowPage(const QString& tabSheet) override;
    void RunGame(const TUTMap* map, const QString& options) override;
    bool ReloadSettings() override;
    void RecreateManagers() override;
    void UpdateMapCache() override { FOrders << QStringLiteral("UpdateMapCache"); }
    void ApplyLanguage(int index) override;
    void EditServerPackages() override { FOrders << QStringLiteral("EditServerPackages"); }
    void LoadIniFile(const QString& fileName) override;
    void pgMainChange() override;
    TUpdateAddresses UpdateAddresses() const override;
    TResult<bool> CheckForUpdate() override;
    void SetBusy(bool busy) override;
    bool InstallFromArchive(const QString& fileName, bool silent, bool overwriteDefault,
                            bool asArchive = false) override;
    void ExportToArchive(const QTreeWidget* listView, const QString& folder) override;
    // Recorded; the maps the installation would have brought are listed as it lists them, and
    // the page in view is refreshed as after an install.
    void ImportFromArchive() override
    {
        FOrders << QStringLiteral("ImportFromArchive");
        MapFilesChanged(nullptr);
        RefreshActivePage();
    }
    bool PlayDemo(const QString& fileName) override;
    void ExitDemoView() override { FOrders << QStringLiteral("ExitDemoView"); }

private:
    QList<TPageBase*> Pages() const;
    // The refresh handler of the page made or shown last.
    void RefreshActivePage();

    QStringList FOrders;
    TProgramFolders FFolders;
    std::unique_ptr<TKOVASettings> FSettingsOwner;
    TKOVASettings* FSettings = nullptr; // the managers read the settings through this
    TLanguageForms FForms;
    std::unique_ptr<ILanguageForm> FHostForm;
    std::unique_ptr<ILanguageForm> FSelectionForm;
    std::unique_ptr<TKOVALanguage> FLanguages;
    std::unique_ptr<TInstallationManagers> FManagers;
    std::unique_ptr<TSystemManager> FSystemManager;
    std::unique_ptr<TEventManager> FEventManager;
    std::unique_ptr<QWidget> FHost;
    mutable TAddonDeletionProposal* FSelection = nullptr;
    QString FActiveSheet; // the tab sheet made or shown last
    TUpdateCheck FUpdateCheck;
};
