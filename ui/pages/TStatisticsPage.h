#pragma once

#include <memory>

#include "TPageBase.h"

namespace Ui {
class TStatisticsPage;
}

// The Statistics page: file counts and sizes of five groups of the installation's files and
// the game's version, collected afresh at each showing.
class TStatisticsPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TStatisticsPage)

public:
    TStatisticsPage(IPageContext& context, QWidget* parent);
    ~TStatisticsPage() override;

    void RefreshPage() override { ShowStatisticsPage(); }

    // The page's refresh handler.
    void ShowStatisticsPage();

    void btnStatistics_OpenDirectoryClick();
    void btnStatistics_RefreshClick();

private:
    std::unique_ptr<Ui::TStatisticsPage> FUi;
};
