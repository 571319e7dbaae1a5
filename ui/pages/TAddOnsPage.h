#pragma once

#include <memory>

#include "TPageBase.h"

class QTreeWidget;

namespace Ui {
class TAddOnsPage;
}

// The Add-Ons page: the code packages of the game's System folder with their count and size;
// installs an add-on with its sibling files (or from a zip archive), removes add-ons with theirs,
// and moves add-ons into and out of zip archives.
class TAddOnsPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAddOnsPage)

public:
    TAddOnsPage(IPageContext& context, QWidget* parent);
    ~TAddOnsPage() override;

    void RefreshPage() override { ShowAddOnsPage(); }
    void LanguageChanged() override;

    // The page's refresh handler: the count line and the list, read afresh.
    void ShowAddOnsPage();
    void FillAddOnList();

    void btnAddOns_InstallClick();
    void btnAddOns_RemoveClick();
    void AddOns_IntoArchiveClick();
    void AddOns_FromArchiveClick();
    void ServerPackagesButtonClick();

    QTreeWidget* List() const;

private:
    QString SystemFolder() const;
    void ShowInstalledCount();

    std::unique_ptr<Ui::TAddOnsPage> FUi;
};
