#include "TStatisticsPage.h"
#include "ui_TStatisticsPage.h"

#include "Guard.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "TUT2003Statistics.h"
#include "TemplateFormat.h"

namespace {

constexpr qint64 KMegabyte = 1048576;

} // namespace

TStatisticsPage::TStatisticsPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TStatisticsPage>())
{
    FUi->setupUi(this);
    FUi->btnStatistics_OpenDirectory->setIcon(KOVAIcon(kiFolder));
    FUi->btnStatistics_Refresh->setIcon(KOVAIcon(kiStatistics));
    ConnectGuarded(FUi->btnStatistics_OpenDirectory, &QPushButton::clicked, this,
                   &TStatisticsPage::btnStatistics_OpenDirectoryClick);
    ConnectGuarded(FUi->btnStatistics_Refresh, &QPushButton::clicked, this,
                   &TStatisticsPage::btnStatistics_RefreshClick);
}

TStatisticsPage::~TStatisticsPage() = default;

void TStatisticsPage::ShowStatisticsPage()
{
    // The walk blocks the window: the loading title must be on the screen before it starts.
    repaint();
    FUi->gbStats->setTitle(FContext.GetLangText(TDialogType::Statistics_gbStats_Loading));
    FUi->gbStats->repaint();

    const TKOVASettings& settings = FContext.Settings();
    TFileStatistics all, addOns, maps, shots, demos;
    int firstRun = 0;
    // The Window menu reaches this page without the game-folder test: no folder, no walk.
    if (settings.IsValidUTDir(settings.UTDir))
        TUT2003Statistics(settings).GetAll(all, addOns, maps, shots, demos, firstRun);

    const struct
    {
        QLabel* Label;
        TDialogType Template;
        const TFileStatistics& Group;
    } lines[] = {
        {FUi->lbStatistics_AllFiles, TDialogType::Statistics_lbAllFiles, all},
        {FUi->lbStatistics_MapsInstalled, TDialogType::Statistics_lbMapsInstalled, maps},
        {FUi->lbStatistics_UFilesInstalled, TDialogType::Statistics_lbModsInstalled, addOns},
        {FUi->lbStatistics_Screenshots, TDialogType::Statistics_lbScreenshotsInstalled, shots},
        {FUi->lbStatistics_DemosCaption, TDialogType::Statistics_lbDemosInstalled, demos},
    };
    for (const auto& line : lines)
        line.Label->setText(FormatTemplate(FContext.GetLangText(line.Template),
                                           {line.Group.Count, line.Group.Size / KMegabyte}));
    FUi->lbStatistics_UtVersion->setText(
        FormatTemplate(FContext.GetLangText(TDialogType::Statistics_lbVersion), {firstRun}));
    FUi->gbStats->setTitle(FContext.GetLangText(TDialogType::Statistics_gbStats_Caption));
}

void TStatisticsPage::btnStatistics_OpenDirectoryClick()
{
    TLinkLabel::OpenOrReport(this, FContext.Settings().UTDir);
}

void TStatisticsPage::btnStatistics_RefreshClick()
{
    FContext.pgMainChange();
}
