#include "TServerPackageEditor.h"
#include "ui_TServerPackageEditor.h"

#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "TServerPackage.h"
#include "TServerPackages.h"
#include "TemplateFormat.h"

#include <QFileInfo>

namespace {

// Each row keeps its package in this role.
constexpr int KPackageRole = Qt::UserRole + 1;

TServerPackage* PackageOf(const QTreeWidgetItem* row)
{
    return row ? static_cast<TServerPackage*>(row->data(0, KPackageRole).value<void*>()) : nullptr;
}

} // namespace

TServerPackageEditor::TServerPackageEditor(IPageContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , FContext(context)
    , FUi(std::make_unique<Ui::TServerPackageEditor>())
{
    FUi->setupUi(this);
    FUi->tbNavigation->addAction(FUi->AddPackageButton);
    FUi->tbNavigation->addAction(FUi->RemovePackageButton);
    FUi->tbNavigation->addAction(FUi->RenameButton);
    FUi->AddPackageButton->setIcon(KOVAIcon(kiAdd));
    FUi->RemovePackageButton->setIcon(KOVAIcon(kiDelete));
    FUi->RenameButton->setIcon(KOVAIcon(kiRename));
    FUi->lwItems->setColumnWidth(0, 350);
    ConnectGuarded(FUi->AddPackageButton, &QAction::triggered, this,
                   &TServerPackageEditor::AddPackageButtonClick);
    ConnectGuarded(FUi->RemovePackageButton, &QAction::triggered, this,
                   &TServerPackageEditor::RemovePackageButtonClick);
    ConnectGuarded(FUi->RenameButton, &QAction::triggered, this,
                   &TServerPackageEditor::RenameButtonClick);
    ConnectGuarded(FUi->btnSave, &QPushButton::clicked, this, &TServerPackageEditor::btnSaveClick);
    ConnectGuarded(FUi->btnCancel, &QPushButton::clicked, this,
                   &TServerPackageEditor::btnCancelClick);
}

TServerPackageEditor::~TServerPackageEditor() = default;

QTreeWidget* TServerPackageEditor::Items() const
{
    return FUi->lwItems;
}

bool TServerPackageEditor::Fill()
{
    FUi->lwItems->clear();
    FPackages = FContext.ServerPackages();
    if (!FPackages)
        return false;
    FUi->lwItems->headerItem()->setText(0, FContext.GetLangText(TDialogType::Col_FileName));
    for (int i = 0; i < FPackages->GetCount(); ++i)
        AddRow(i);
    return true;
}

int TServerPackageEditor::Execute()
{
    if (!Fill())
        return QDialog::Rejected;
    // Wide enough for every tool button in the language in use, none behind the overflow arrow.
    resize(qMax(width(), sizeHint().width()), height());
    return exec();
}

void TServerPackageEditor::AddRow(int packageIndex)
{
    TServerPackage* package = FPackages->GetItem(packageIndex);
    if (!package)
        return;
    auto* row = new QTreeWidgetItem(FUi->lwItems);
    row->setText(0, package->GetFileName());
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, package->IsEnabled() ? Qt::Checked : Qt::Unchecked);
    row->setData(0, KPackageRole, QVariant::fromValue<void*>(package));
}

void TServerPackageEditor::AddPackageButtonClick()
{
    if (!FPackages)
        return;
    TFileDialogOptions options;
    options.Filter = FContext.GetLangText(TDialogType::Common_Filter_AllFiles);
    options.DefaultExt = QStringLiteral("u");
    options.Title = FContext.GetLangText(TDialogType::Common_Dialog_SelectFile);
    options.InitialDir = FContext.Settings().GetPath(TMapPaths::mpSystem);
    const QStringList files = FContext.Dialogs().OpenFiles(this, options);
    if (files.isEmpty())
        return;
    const QString name = QFileInfo(files.first()).completeBaseName();
    if (name.trimmed().isEmpty())
        return;
    FPackages->Add(QStringLiteral("ServerPackages=") + name);
    AddRow(FPackages->GetCount() - 1);
}

void TServerPackageEditor::RemovePackageButtonClick()
{
    QTreeWidgetItem* row = FUi->lwItems->currentItem();
    if (!row || !FPackages)
        return;
    const int index = FPackages->IndexOf(PackageOf(row));
    if (index >= 0)
        FPackages->Delete(index);
    delete row;
}

void TServerPackageEditor::RenameButtonClick()
{
    QTreeWidgetItem* row = FUi->lwItems->currentItem();
    TServerPackage* package = PackageOf(row);
    if (!package)
        return;
    const QString prompt = FContext.GetLangText(TDialogType::Srv_NewName);
    QString name = package->GetPackageName();
    if (!FContext.Dialogs().InputQuery(this, prompt, prompt, name))
        return;
    // The name without its extension; a name that is only blanks or an extension changes
    // nothing, since "ServerPackages=" with nothing after it would name no package.
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString bare = (dot >= 0 ? name.left(dot) : name).trimmed();
    if (bare.isEmpty())
        return;
    package->Line = FormatTemplate(QStringLiteral("%sServerPackages=%s"),
                                   {package->IsEnabled() ? QString() : QStringLiteral(";"), bare});
    row->setText(0, package->GetFileName());
}

void TServerPackageEditor::btnSaveClick()
{
    if (FPackages) {
        for (int i = 0; i < FUi->lwItems->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = FUi->lwItems->topLevelItem(i);
            if (TServerPackage* package = PackageOf(row))
                package->SetEnabled(row->checkState(0) == Qt::Checked);
        }
        if (!Succeeded(this, FPackages->Save()))
            return;
    }
    accept();
}

void TServerPackageEditor::btnCancelClick()
{
    if (FPackages)
        FPackages->Load();
    reject();
}
