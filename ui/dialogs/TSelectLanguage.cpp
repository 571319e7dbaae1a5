#include "TSelectLanguage.h"
#include "ui_TSelectLanguage.h"

#include "TKOVALanguage.h"

TSelectLanguage::TSelectLanguage(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , FUi(std::make_unique<Ui::TSelectLanguage>())
{
    FUi->setupUi(this);
    connect(FUi->lbLanguages, &QListWidget::itemSelectionChanged, this,
            &TSelectLanguage::lbLanguagesClick);
    connect(FUi->lbLanguages, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(FUi->btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

TSelectLanguage::~TSelectLanguage() = default;

void TSelectLanguage::lbLanguagesClick()
{
    FUi->btnOk->setEnabled(!FUi->lbLanguages->selectedItems().isEmpty());
}

int TSelectLanguage::Execute(TKOVALanguage* languages)
{
    if (!languages)
        return -1;
    TSelectLanguage dialog;
    dialog.FUi->lbLanguages->addItems(languages->GetNames());
    dialog.exec();
    // The dialog has no Cancel: closing it (Escape) keeps the language highlighted, the one
    // selected or else the one the list's cursor is on.
    const QListWidget* list = dialog.FUi->lbLanguages;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? list->currentRow() : list->row(selected.first());
}
