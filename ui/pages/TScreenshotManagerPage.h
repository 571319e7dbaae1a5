#pragma once

#include <memory>

#include "TPageBase.h"

#include <QList>

class QTreeWidgetItem;
class TScreenShot;
class TScreenShotManager;

namespace Ui {
class TScreenshotManagerPage;
}

// The Screenshots page: the game's screenshots with a thumbnail of the current one; opening,
// moving or copying them (as JPEG at a chosen quality, or as they are) and deleting them.
//
// A row stands for the screenshot of its caption (TScreenShotManager::IndexOf), so sorting the
// list changes nothing in what the buttons act on.
class TScreenshotManagerPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TScreenshotManagerPage)

public:
    TScreenshotManagerPage(IPageContext& context, QWidget* parent);
    ~TScreenshotManagerPage() override;

    void RefreshPage() override { ShowScreenshotPage(); }
    void LanguageChanged() override;

    // The page's refresh handler.
    void ShowScreenshotPage();
    // Appends one row per screenshot of Manager, in its order.
    void FillScreenshotList(const TScreenShotManager* manager);
    // Moves or copies the selected screenshots to Dest: a folder, or with one row selected the
    // file name the save prompt gave (ConfirmedTarget, replaced without a second question).
    void CopyOrConvertScreenshots(bool move, bool asJpeg, const QString& dest, int quality,
                                  const QString& confirmedTarget = QString());

    void lwScreenShotManager_ListChange();
    void imgScreenshotManager_ThumbnailDblClick();
    void btnScreenshotmanager_MoveToFolderClick();
    void btnScreenshotmanager_CopyToFolderClick();
    void btnScreenShotManager_SelectAllClick();
    void btnScreenshotmanager_DeleteClick();
    void tbScreenShotManager_CompressionRatioChange();
    void cbScreenshotmanager_UseJPGClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Move and copy, as the button asked.
    void MoveOrCopy(bool move);
    // The row at the list's item index: the current row when it is selected, else the first
    // selected row; null without a selection.
    QTreeWidgetItem* ItemIndexRow() const;
    TScreenShot* ShotOf(const QTreeWidgetItem* row) const;
    void SetColumnCaptions();

    std::unique_ptr<Ui::TScreenshotManagerPage> FUi;
};
