#include "PageTable.h"

#include "KOVAIcons.h"
#include "TAboutPage.h"
#include "TAddOnsPage.h"
#include "TConfigurationPage.h"
#include "TDemoPage.h"
#include "TIniEditorPage.h"
#include "TMapManagerPage.h"
#include "TScreenshotManagerPage.h"
#include "TEventManager.h"
#include "TGameSettingsPage.h"
#include "TPageBase.h"
#include "TProfilesPage.h"
// Cache, statistics and system-integration pages
#include "TCachePage.h"
#include "TStatisticsPage.h"
#include "TSystemIntegrationPage.h"

#include <QLayout>
#include <QPointer>
#include <QVBoxLayout>

const QList<TPageEntry>& PageTable()
{
    // One entry per line, with a line between entries.
    static const QList<TPageEntry> table = {
        {QStringLiteral("tbConfiguration"), kiConfiguration, MakePage<TConfigurationPage>},
        //
        {QStringLiteral("tbStatistics"), kiStatistics, MakePage<TStatisticsPage>},
        //
        {QStringLiteral("tbINIEditor"), kiIniEditor, MakePage<TIniEditorPage>, false},
        //
        {QStringLiteral("tbSystemIntegration"), kiSystemIntegration,
         MakePage<TSystemIntegrationPage>},
        //
        {QStringLiteral("tbUTSettings"), kiGameSettings, MakePage<TGameSettingsPage>},
        //
        {QStringLiteral("tbProfiles"), kiProfiles, MakePage<TProfilesPage>},
        //
        {QStringLiteral("tbMapManager"), kiMaps, MakePage<TMapManagerPage>, true, true},
        //
        {QStringLiteral("tbScreenshotManager"), kiScreenshots, MakePage<TScreenshotManagerPage>,
         true, true},
        //
        {QStringLiteral("tbMutatorManager"), kiAddSection, MakePage<TAddOnsPage>, true, true},
        //
        {QStringLiteral("tbDemoManager"), kiDemos, MakePage<TDemoPage>, true, true},
        //
        {QStringLiteral("tbCacheManager"), kiCache, MakePage<TCachePage>, true, true},
        //
        {QStringLiteral("tbAbout"), kiAbout, MakePage<TAboutPage>},
    };
    return table;
}

const TPageEntry* FindPageEntry(const QString& tabSheet)
{
    for (const TPageEntry& entry : PageTable()) {
        if (entry.TabSheet == tabSheet)
            return &entry;
    }
    return nullptr;
}

void CreatePages(IPageContext& context, QWidget* root, TEventManager& registry)
{
    for (const TPageEntry& entry : PageTable()) {
        QWidget* sheet = root->findChild<QWidget*>(entry.TabSheet);
        if (!sheet)
            continue;
        QPointer<TPageBase> page;
        if (entry.Create) {
            page = entry.Create(context, sheet);
            if (!sheet->layout()) {
                auto* layout = new QVBoxLayout(sheet);
                layout->setContentsMargins(0, 0, 0, 0);
            }
            sheet->layout()->addWidget(page);
        }
        if (entry.Refreshes) {
            registry.Register(sheet, [page] {
                if (page)
                    page->RefreshPage();
            });
        }
    }
}

TPageBase* PageIn(const QWidget* tabSheet)
{
    return tabSheet ? tabSheet->findChild<TPageBase*>(QString(), Qt::FindDirectChildrenOnly)
                    : nullptr;
}
