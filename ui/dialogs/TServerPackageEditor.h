#pragma once

#include <memory>

#include <QDialog>

class TKOVASettings;
class TLanguage;
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
    explicit TServerPackageEditor(QWidget* parent = nullptr);
    ~TServerPackageEditor() override;

    // Fills the list and shows the editor modally; with any of the three missing it only clears
    // the list and forgets the package list. Returns the dialog's result.
    int Execute(TKOVASettings* settings, TServerPackages* packages, TLanguage* language);

    QTreeWidget* Items() const;

    void AddPackageButtonClick();
    void RemovePackageButtonClick();
    void RenameButtonClick();
    void btnSaveClick();
    void btnCancelClick();

private:
    // Fills the list from the packages; Execute then shows the editor.
    bool Fill(TKOVASettings* settings, TServerPackages* packages, TLanguage* language);
    void AddRow(int packageIndex);
    QString Text(int key) const; // a TDialogType member

    std::unique_ptr<Ui::TServerPackageEditor> FUi;
    TServerPackages* FPackages = nullptr;
    TKOVASettings* FSettings = nullptr;
    TLanguage* FLanguage = nullptr;
};
