#pragma once

#include <memory>

#include "TPageBase.h"

namespace Ui {
class TCachePage;
}

// The Cache Manager page: the entries of the game's download cache, installed into the game's
// folders under their real names, packed into an archive, hidden, or purged when their data file
// is gone. Each row stands for its own entry, named by the GUID in its third column: the cache
// often holds one file name under several GUIDs.
class TCachePage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCachePage)

public:
    TCachePage(IPageContext& context, QWidget* parent);
    ~TCachePage() override;

    void RefreshPage() override { ShowCachePage(); }
    void LanguageChanged() override;

    // The page's refresh handler.
    void ShowCachePage();
    // One row per entry of the cache manager, in its order: recorded name, size of the data
    // file, GUID.
    void FillCacheList();

    void InstallCacheClick();
    // Packs each selected entry's data file under its recorded name into a zip archive the user
    // chooses, adding to an archive that is there; nothing is installed and the index stays.
    void CacheInstallAndZipClick();
    void CacheClearCorruptClick();
    void CleanCacheClick();
    void CacheSelectAllClick();

private:
    std::unique_ptr<Ui::TCachePage> FUi;
};
