#include "PageTable.h"
#include "TKOVALanguage.h"
#include "TKOVASettings.h"
#include "TPageBase.h"
#include "TPageContextDouble.h"
#include "TProgramFixture.h"
#include "TScriptedDialogs.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Every page the page table makes stands up over the page context alone: it refreshes, follows
// a language and a settings change, with the game folder there and without it.
class PageTableTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPageRefreshesAndFollowsChanges_data();
    void everyPageRefreshesAndFollowsChanges();
};

void PageTableTest::everyPageRefreshesAndFollowsChanges_data()
{
    QTest::addColumn<QString>("tabSheet");
    QTest::addColumn<bool>("gameFolder");
    for (const TPageEntry& entry : PageTable()) {
        if (!entry.Create)
            continue;
        for (const bool gameFolder : {true, false})
            QTest::addRow("%s%s", qPrintable(entry.TabSheet),
                          gameFolder ? "" : " without the game folder")
                << entry.TabSheet << gameFolder;
    }
}

void PageTableTest::everyPageRefreshesAndFollowsChanges()
{
    QFETCH(QString, tabSheet);
    QFETCH(bool, gameFolder);
    TProgramFixture fixture;
    TScriptedDialogs dialogs;
    if (!gameFolder)
        fixture.SetSetting(u"utdir"_s, fixture.Root() + u"/Gone"_s);
    TPageContextDouble context(fixture);
    TPageBase* page = context.CreatePage(tabSheet);
    QVERIFY(page->isVisible());

    page->RefreshPage();
    context.ApplyLanguage(context.LanguageManager().ItemIndex());
    QVERIFY(context.Settings().SaveToFile());
    QVERIFY(context.ReloadSettings());
    page->RefreshPage();
    QCOMPARE(dialogs.CallsOf(TScriptedDialogs::dkException).size(), 0);
    QCOMPARE(dialogs.CallsOf(TScriptedDialogs::dkMessage).size(), 0);
}

QTEST_MAIN(PageTableTest)
#include "PageTableTest.moc"
