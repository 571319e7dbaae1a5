#include "TInstallationSummary.h"
#include "ui_TInstallationSummary.h"

#include "FolderList.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "TInstallSummary.h"
#include "TKOVASettings.h"
#include "TLanguage.h"
#include "TQtDialogs.h"
#include "TZipArchive.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QCursor>
#include <QFileInfo>
#include <QHash>
#include <QMenu>
#include <QScreen>
#include <QStyle>

namespace {

// Each row keeps the index of its summary row in this role.
constexpr int KItemRole = Qt::UserRole + 1;

enum TColumn
{
    colSourceArchive,
    colSourceFile,
    colTarget,
    colStatus,
};

} // namespace

TInstallationSummary::TInstallationSummary(QWidget* parent)
    // No close box: Ok ends the dialog.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , FUi(std::make_unique<Ui::TInstallationSummary>())
{
    FUi->setupUi(this);
    setFixedSize(size());
    FUi->lwFiles->setColumnWidth(colSourceArchive, 100);
    FUi->lwFiles->setColumnWidth(colSourceFile, 105);
    FUi->lwFiles->setColumnWidth(colTarget, 220);
    FUi->lwFiles->setColumnWidth(colStatus, 70);
    connect(FUi->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    ConnectGuarded(FUi->btnChangeTarget, &QPushButton::clicked, this,
                   &TInstallationSummary::btnChangeTargetClick);
    ConnectGuarded(FUi->btnDeleteTarget, &QPushButton::clicked, this,
                   &TInstallationSummary::btnDeleteTargetClick);
    connect(FUi->pmMenu, &QMenu::triggered, this,
            [this](QAction* item) { RunGuarded(this, [&] { TargetMenuItemClick(item); }); });
    // The target actions act on the selected rows only.
    connect(FUi->lwFiles, &QTreeWidget::itemSelectionChanged, this,
            &TInstallationSummary::UpdateTargetActions);
    UpdateTargetActions();
}

TInstallationSummary::~TInstallationSummary() = default;

QTreeWidget* TInstallationSummary::Files() const
{
    return FUi->lwFiles;
}

QMenu* TInstallationSummary::TargetMenu() const
{
    return FUi->pmMenu;
}

QString TInstallationSummary::LangText(TDialogType key) const
{
    return FLanguage
               ? FLanguage->GetDialogString(key).replace(QLatin1String("\r\n"), QLatin1String("\n"))
               : QString();
}

int TInstallationSummary::Execute(TInstallSummary* summary, TLanguage* language,
                                  TKOVASettings* settings)
{
    if (!summary || !language || !settings)
        return QDialog::Rejected;
    Fill(summary, language, settings);
    PlaceForShowing();
    // Return ends the summary at once, whatever the user did last.
    FUi->btnOk->setFocus();
    return exec();
}

void TInstallationSummary::PlaceForShowing()
{
    if (DialogParent(parentWidget())) {
        // Qt centres a dialog that was not moved over its parent window.
        setAttribute(Qt::WA_Moved, false);
        return;
    }
    // A switch's run shows the summary while the main window is not on the screen yet: over
    // it, the dialog would stand in the screen's corner.
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                    screen()->availableGeometry()));
}

void TInstallationSummary::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Started from a file manager or a terminal, the program has no window the user clicked:
    // the summary asks for the keyboard itself.
    raise();
    activateWindow();
}

void TInstallationSummary::Fill(TInstallSummary* summary, TLanguage* language,
                                TKOVASettings* settings)
{
    if (!summary || !language || !settings)
        return;
    FSummary = summary;
    FLanguage = language;
    FSettings = settings;
    BuildTargetMenu();

    setWindowTitle(LangText(TDialogType::Sum_Caption));
    QTreeWidgetItem* header = FUi->lwFiles->headerItem();
    header->setText(colSourceArchive, LangText(TDialogType::Col_SourceArchive));
    header->setText(colSourceFile, LangText(TDialogType::Col_SourceFile));
    header->setText(colTarget, LangText(TDialogType::Col_DestFile));
    header->setText(colStatus, LangText(TDialogType::Col_Status));

    const QString statusText[2] = {LangText(TDialogType::Sum_Status_Fail),
                                   LangText(TDialogType::Sum_Status_Ok)};
    FUi->lwFiles->clear();
    // A plain file's row names its folder, an archive's row the archive; many rows share one.
    QHash<QString, QString> captions;
    QList<QTreeWidgetItem*> rows;
    rows.reserve(summary->GetCount());
    for (int i = 0; i < summary->GetCount(); ++i) {
        const TInstallSummaryItem* item = summary->GetItem(i);
        auto caption = captions.constFind(item->SourceArchive);
        if (caption == captions.cend())
            caption =
                captions.insert(item->SourceArchive, QFileInfo(item->SourceArchive).isDir()
                                                         ? item->SourceArchive
                                                         : EntryFileName(item->SourceArchive));
        // A refused name shows its hidden characters, not the name it would pass for.
        auto* row = new QTreeWidgetItem(
            QStringList{VisibleName(*caption), VisibleName(EntryFileName(item->SourceFile)),
                        item->TargetFile, statusText[item->Installed ? 1 : 0]});
        row->setData(0, KItemRole, i);
        rows << row;
    }
    FUi->lwFiles->addTopLevelItems(rows);
    UpdateTargetActions();

    const QStyle::StandardPixmap icon =
        summary->Aborted() ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxInformation;
    FUi->ResImage->setPixmap(style()->standardIcon(icon).pixmap(32, 32));
    UpdateSummaryText();
}

int TInstallationSummary::CountInstalled(const TInstallSummary* summary)
{
    if (!summary)
        return 0;
    int installed = 0;
    for (int i = 0; i < summary->GetCount(); ++i) {
        if (summary->GetItem(i)->Installed)
            ++installed;
    }
    return installed;
}

void TInstallationSummary::UpdateSummaryText()
{
    if (!FSummary)
        return;
    const int installed = CountInstalled(FSummary);
    const int count = FSummary->GetCount();
    const QString pattern =
        LangText(FSummary->Aborted() ? TDialogType::Sum_Summary_Fail : TDialogType::Sum_Summary_OK);
    FUi->lbSummary->setText(FormatTemplate(pattern, {installed, count, count - installed}));
}

void TInstallationSummary::UpdateTargetActions()
{
    const bool selected = !FUi->lwFiles->selectedItems().isEmpty();
    FUi->btnChangeTarget->setEnabled(selected);
    FUi->btnDeleteTarget->setEnabled(selected);
}

void TInstallationSummary::BuildTargetMenu()
{
    QMenu* menu = FUi->pmMenu;
    menu->clear();
    if (!FSettings)
        return;
    for (const TMapPaths folder : KAllMapPaths) {
        // A folder name is no mnemonic.
        QString caption = FSettings->GetPath(folder) + QStringLiteral(" ...");
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* item = menu->addAction(caption);
        item->setData(int(folder));
    }
}

void TInstallationSummary::btnChangeTargetClick()
{
    if (!SelectedRowIndexes(FUi->lwFiles).isEmpty())
        FUi->pmMenu->popup(QCursor::pos());
}

void TInstallationSummary::TargetMenuItemClick(QAction* sender)
{
    if (!sender || !FSummary || !FSettings || sender->parent() != FUi->pmMenu)
        return;
    const QList<int> selected = SelectedRowIndexes(FUi->lwFiles);
    if (selected.isEmpty())
        return;
    const QString folder = FSettings->GetPath(TMapPaths(sender->data().toInt()));
    QStringList sources;
    QStringList targets;
    QList<int> moving;
    QStringList inTheWay;
    for (const int row : selected) {
        TInstallSummaryItem* item =
            FSummary->GetItem(FUi->lwFiles->topLevelItem(row)->data(0, KItemRole).toInt());
        if (!item->Installed)
            continue;
        const QString target = ResolveGamePath(JoinPath(folder, EntryFileName(item->TargetFile)));
        // A file already in that folder stays where it is.
        if (target == item->TargetFile)
            continue;
        // The file operation would move the file into such a folder.
        if (QFileInfo(target).isDir()) {
            inTheWay << target;
            continue;
        }
        sources << item->TargetFile;
        targets << target;
        moving << row;
    }
    if (!inTheWay.isEmpty())
        Dialogs().ShowException(this, QStringLiteral("These files were not moved: a folder of "
                                                     "their name is in the way.\n\n") +
                                          inTheWay.join(QLatin1Char('\n')));
    if (sources.isEmpty())
        return;
    TFileOpResult result;
    ShellFileOperation(this, FO_MOVE, sources, &targets, FOF_ALLOWUNDO, &result);
    for (int i = 0; i < moving.size(); ++i) {
        if (i >= result.Items.size() || result.Items.at(i).Outcome != TFileOpOutcome::fooDone)
            continue;
        QTreeWidgetItem* row = FUi->lwFiles->topLevelItem(moving.at(i));
        FSummary->GetItem(row->data(0, KItemRole).toInt())->TargetFile = targets.at(i);
        row->setText(colTarget, targets.at(i));
    }
    UpdateSummaryText();
}

void TInstallationSummary::btnDeleteTargetClick()
{
    const QList<int> selected = SelectedRowIndexes(FUi->lwFiles);
    if (!FSummary || selected.isEmpty())
        return;
    const QString notInstalled = LangText(TDialogType::Sum_Status_Fail);
    for (const int row : selected) {
        QTreeWidgetItem* listRow = FUi->lwFiles->topLevelItem(row);
        TInstallSummaryItem* item = FSummary->GetItem(listRow->data(0, KItemRole).toInt());
        if (!item->Installed)
            continue;
        // For good, without questions: the user just installed it.
        ShellFileOperationStr(this, FO_DELETE, item->TargetFile, QString(),
                              FOF_SILENT | FOF_NOCONFIRMATION);
        if (PathPresent(item->TargetFile))
            continue;
        item->Installed = false;
        listRow->setText(colStatus, notInstalled);
    }
    UpdateSummaryText();
}
