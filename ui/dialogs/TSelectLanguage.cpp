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
    // The dialog has no Cancel: closing it (Escape) keeps the highlighted language, if any.
    const QList<QListWidgetItem*> chosen = dialog.FUi->lbLanguages->selectedItems();
    return chosen.isEmpty() ? -1 : dialog.FUi->lbLanguages->row(chosen.first());
}
