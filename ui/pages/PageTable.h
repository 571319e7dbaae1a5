#pragma once

#include <QList>
#include <QString>

class IPageContext;
class QWidget;
class TEventManager;
class TPageBase;

// Makes a page in its tab sheet.
using TPageFactory = TPageBase* (*)(IPageContext& context, QWidget* tabSheet);

template <class TPage> TPageBase* MakePage(IPageContext& context, QWidget* tabSheet)
{
    return new TPage(context, tabSheet);
}

// One page of the main window.
struct TPageEntry
{
    QString TabSheet;              // the tab sheet's object name in TfrmMain.ui
    int Image;                     // the icon of its tab and Window menu item (TKOVAImage)
    TPageFactory Create = nullptr; // none: the tab sheet stays empty
    bool Refreshes = true;         // false: no refresh handler is registered for it
    bool ListsGameFiles = false;   // true: refreshed when an install wrote into the game folder
};

// Every page, in tab order. The one list of pages: the window walks it to make the pages and
// fill the page-handler registry.
const QList<TPageEntry>& PageTable();
// The entry of the tab sheet of that name; null for none.
const TPageEntry* FindPageEntry(const QString& tabSheet);

// For each entry whose tab sheet Root holds: makes its page in the sheet (when it has one) and
// registers the page's refresh handler under the sheet in Registry (when it refreshes). An
// entry without a page registers a handler that does nothing.
void CreatePages(IPageContext& context, QWidget* root, TEventManager& registry);
// The page a tab sheet holds; null for none.
TPageBase* PageIn(const QWidget* tabSheet);
