#pragma once

#include <memory>

#include "TPageBase.h"

#include <QList>
#include <QStringList>

class QTreeWidgetItem;
class TUTMap;
struct TFileDialogOptions;

namespace Ui {
class TMapManagerPage;
}

// The Map Manager page: the maps of the game folder by game type, the details of the selected
// map, and import, export, delete, rename, archives and play.
//
// A row stands for its map through its caption, the file name (TMapManager::FindByFileName),
// never through its position: the list can be sorted by any column.
class TMapManagerPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TMapManagerPage)

public:
    TMapManagerPage(IPageContext& context, QWidget* parent);
    ~TMapManagerPage() override;

    void RefreshPage() override { ShowMapManagerPage(); }
    void LanguageChanged() override;

    // The page's refresh handler: the game-type box again (keeping its position), the list by
    // the chosen game type.
    void ShowMapManagerPage();
    // Fills the list with one row per full path, in that order.
    void FillMapList(const QStringList& list);

    void cbMapManager_SelectGameTypeChange();
    void lbMapManager_MapListChange();
    void btnMapManager_ImportMapClick();
    void btnMapManager_ExportMapClick();
    void btnMapManager_DeleteMapClick();
    void btnMapManager_RenameMapClick();
    void btnMapManager_ExportMapToArchiveClick();
    void btnMapManager_ImportFromArchiveClick();
    void MapManager_PlayMapClick();

private:
    // The settings' maps folder as it is on disk.
    QString MapsFolder() const;
    TUTMap* MapOf(const QTreeWidgetItem* row) const;
    // The prompt for one map file, starting where imports and exports start.
    TFileDialogOptions MapPrompt() const;
    void SetColumnCaptions();

    std::unique_ptr<Ui::TMapManagerPage> FUi;
};
