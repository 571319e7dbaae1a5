#pragma once

#include <memory>

#include <QDialog>
#include <QStringList>

class IPageContext;
class QListWidget;

namespace Ui {
class TAddonDeletionProposal;
}

// Lists the files that belong to one or more add-ons (every file named like the add-on with any
// extension), all ticked, so that the user picks which of them to delete or install.
class TAddonDeletionProposal final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAddonDeletionProposal)

public:
    TAddonDeletionProposal(IPageContext& context, QWidget* parent = nullptr);
    ~TAddonDeletionProposal() override;

    // Fills the list with the files of Folder named like each of Names and shows the dialog
    // modally. QDialog::Accepted for Continue, Rejected otherwise; the caller then reads the
    // ticks of clbFiles (each row's text is a file name inside Folder).
    int Execute(const QString& folder, const QStringList& names, bool deleteMode);
    int ExecuteForAddon(const QString& folder, const QString& name, bool deleteMode);

    QListWidget* Files() const;
    // The file names of the ticked rows, in list order.
    QStringList CheckedFiles() const;

    void btnSelectAllClick();

private:
    // Fills the list and dresses the window; Execute then shows it.
    void Prepare(const QString& folder, const QStringList& names, bool deleteMode);

    IPageContext& FContext;
    std::unique_ptr<Ui::TAddonDeletionProposal> FUi;
};
