#pragma once

#include <memory>

#include "IDialogs.h"
#include "TDialogType.h"
#include "TPageBase.h"

class QTreeWidget;

namespace Ui {
class TDemoPage;
}

// The Demos page: the demo files of the game's Demos folder; plays one through the game,
// imports, exports and deletes demos, moves them into and out of zip archives, and offers the
// demo file association. While the game plays a demo the page says so instead of the list.
class TDemoPage final : public TPageBase
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TDemoPage)

public:
    TDemoPage(IPageContext& context, QWidget* parent);
    ~TDemoPage() override;

    void RefreshPage() override { ShowDemoPage(); }
    void LanguageChanged() override;

    // The page's refresh handler: the list, read afresh.
    void ShowDemoPage();
    void FillDemoList();

    // Shows the panel that says a demo plays (true) or the list (false).
    void SetViewingDemo(bool viewing);
    bool ViewingDemo() const;

    void ViewDemoClick();
    void ExportDemoClick();
    void ImportDemoClick();
    void DemoExportArchiveClick();
    void DemoImportArchiveClick();
    void DeleteDemoClick();
    // The demo file association, as the System Integration page offers it.
    void btnSystemIntegration_AssocDemFilesClick();
    void llDemoManager_ExitViewClick();

    QTreeWidget* List() const;

    // A file prompt for demos: their filter and default extension, with Title.
    static TFileDialogOptions DemoFileOptions(const IPageContext& context, TDialogType title);

private:
    QString DemosFolder() const;

    std::unique_ptr<Ui::TDemoPage> FUi;
};
