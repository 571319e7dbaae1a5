#pragma once

#include <memory>

#include <QDialog>

class IPageContext;
class TServerPackages;
class QTreeWidget;

namespace Ui {
class TServerPackageEditor;
}

// A check list of the "ServerPackages=" lines of the game's main INI file, with add, remove,
// rename, save and cancel. Changes act on the package list in memory; only Save writes the file.
class TServerPackageEditor final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TServerPackageEditor)

public:
    TServerPackageEditor(IPageContext& context, QWidget* parent = nullptr);
    ~TServerPackageEditor() override;

    // Fills the list from the context's server packages and shows the editor modally; without
    // them it only clears the list. Returns the dialog's result.
    int Execute();

    QTreeWidget* Items() const;

    void AddPackageButtonClick();
    void RemovePackageButtonClick();
    void RenameButtonClick();
    void btnSaveClick();
    void btnCancelClick();

private:
    // Fills the list from the packages; Execute then shows the editor.
    bool Fill();
    void AddRow(int packageIndex);

    IPageContext& FContext;
    std::unique_ptr<Ui::TServerPackageEditor> FUi;
    TServerPackages* FPackages = nullptr; // the list shown, from the last Execute
};
