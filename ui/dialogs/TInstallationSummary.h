#pragma once

#include "TDialogType.h"

#include <QDialog>

#include <memory>

class QAction;
class QMenu;
class QTreeWidget;
class TInstallSummary;
class TKOVASettings;
class TLanguage;

namespace Ui {
class TInstallationSummary;
}

// The rows of one installation run with its outcome: the information icon and headline when it
// ran through, the critical icon when it was aborted. Installed files of the selected rows can be
// moved to another game folder (Change Target) or deleted for good (Delete Target); both act on
// the files at once and on the summary shown, and are enabled only while a row is selected. One
// instance, refilled by each Execute.
class TInstallationSummary final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TInstallationSummary)

public:
    explicit TInstallationSummary(QWidget* parent = nullptr);
    ~TInstallationSummary() override;

    // Fills the dialog from Summary and shows it modally; nothing when any of the three is null.
    int Execute(TInstallSummary* summary, TLanguage* language, TKOVASettings* settings);
    // Fills the dialog as Execute does, without showing it.
    void Fill(TInstallSummary* summary, TLanguage* language, TKOVASettings* settings);

    // The rows of Summary that read installed; 0 for none.
    static int CountInstalled(const TInstallSummary* summary);
    void UpdateSummaryText();
    // One item per game folder, in the folders' order, its ordinal as the item's data.
    void BuildTargetMenu();
    // Moves the selected installed rows' files into the folder of Sender.
    void TargetMenuItemClick(QAction* sender);

    void btnChangeTargetClick();
    void btnDeleteTargetClick();

    QTreeWidget* Files() const;
    QMenu* TargetMenu() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Centred over the main window when it is on the screen, else on the screen.
    void PlaceForShowing();
    // Change Target and Delete Target are enabled while a row is selected.
    void UpdateTargetActions();
    QString LangText(TDialogType key) const;

    std::unique_ptr<Ui::TInstallationSummary> FUi;
    TKOVASettings* FSettings = nullptr;
    TLanguage* FLanguage = nullptr;
    TInstallSummary* FSummary = nullptr;
};
