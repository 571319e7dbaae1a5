#include "TAddonDeletionProposal.h"
#include "ui_TAddonDeletionProposal.h"

#include "IPageContext.h"
#include "FileMask.h"
#include "GamePath.h"

TAddonDeletionProposal::TAddonDeletionProposal(IPageContext& context, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , FContext(context)
    , FUi(std::make_unique<Ui::TAddonDeletionProposal>())
{
    FUi->setupUi(this);
    connect(FUi->btnSelectAll, &QPushButton::clicked, this,
            &TAddonDeletionProposal::btnSelectAllClick);
    connect(FUi->btnContinue, &QPushButton::clicked, this, &QDialog::accept);
    connect(FUi->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TAddonDeletionProposal::~TAddonDeletionProposal() = default;

QListWidget* TAddonDeletionProposal::Files() const
{
    return FUi->clbFiles;
}

void TAddonDeletionProposal::Prepare(const QString& folder, const QStringList& names,
                                     bool deleteMode)
{
    FUi->lbDeleteHint->setVisible(deleteMode);
    FUi->lbInstallHint->setVisible(!deleteMode);
    setWindowTitle(FContext.GetLangText(deleteMode
                                            ? TDialogType::Common_AddonDeletionProposal_Delete
                                            : TDialogType::Common_AddonDeletionProposal_Install));
    FUi->clbFiles->clear();
    // An add-on's name is matched as written, never as a mask: "Foo*" names one add-on, not
    // every name that starts with "Foo". Each file is listed once, however many names fit it.
    const QStringList files =
        ListFolder(ResolveGamePath(folder), QStringLiteral("*"), TListKind::lkFiles);
    QStringList found;
    for (const QString& name : names) {
        for (const QString& file : files) {
            if (!name.isEmpty() && file.startsWith(name + QLatin1Char('.'), Qt::CaseInsensitive) &&
                !found.contains(file))
                found << file;
        }
    }
    for (const QString& file : found) {
        auto* row = new QListWidgetItem(file, FUi->clbFiles);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Checked);
    }
}

int TAddonDeletionProposal::Execute(const QString& folder, const QStringList& names,
                                    bool deleteMode)
{
    Prepare(folder, names, deleteMode);
    return exec();
}

int TAddonDeletionProposal::ExecuteForAddon(const QString& folder, const QString& name,
                                            bool deleteMode)
{
    return Execute(folder, {name}, deleteMode);
}

void TAddonDeletionProposal::btnSelectAllClick()
{
    for (int i = 0; i < FUi->clbFiles->count(); ++i)
        FUi->clbFiles->item(i)->setCheckState(Qt::Checked);
}

QStringList TAddonDeletionProposal::CheckedFiles() const
{
    QStringList files;
    for (int i = 0; i < FUi->clbFiles->count(); ++i) {
        if (FUi->clbFiles->item(i)->checkState() == Qt::Checked)
            files << FUi->clbFiles->item(i)->text();
    }
    return files;
}
