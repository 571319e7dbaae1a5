#include "TScreenshotManagerPage.h"
#include "ui_TScreenshotManagerPage.h"

#include "FolderList.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "ProgramFolders.h"
#include "TKOVASettings.h"
#include "TLinkLabel.h"
#include "TScreenShotManager.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

namespace {

enum TShotColumn
{
    scFileName = 0,
    scSize = 1,
    scFormat = 2
};

const QString KJpegMask = QStringLiteral("*.jpg;*.jpeg");
const QString KBitmapMask = QStringLiteral("*.bmp");

QString WithExtension(const QString& name, const QString& extension)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return (dot >= 0 ? name.left(dot) : name) + extension;
}

} // namespace

TScreenshotManagerPage::TScreenshotManagerPage(IPageContext& context, QWidget* parent)
    : TPageBase(context, parent)
    , FUi(std::make_unique<Ui::TScreenshotManagerPage>())
{
    FUi->setupUi(this);
    TListView* list = FUi->lwScreenShotManager_List;
    // In the order of TShotColumn.
    list->SetColumns(
        {{200, TListSort::lsText}, {70, TListSort::lsNumber}, {75, TListSort::lsText}});
    IPageContext::AddDragList(list, TMapPaths::mpScreenShots);
    FUi->imgScreenshotManager_Thumbnail->installEventFilter(this);

    // Once per change of the selection, however many rows it touched.
    ConnectGuarded(list, &QTreeWidget::itemSelectionChanged, this,
                   &TScreenshotManagerPage::lwScreenShotManager_ListChange);
    ConnectGuarded(list, &QTreeWidget::itemDoubleClicked, this,
                   &TScreenshotManagerPage::imgScreenshotManager_ThumbnailDblClick);
    ConnectGuarded(FUi->btnScreenshotmanager_MoveToFolder, &QPushButton::clicked, this,
                   &TScreenshotManagerPage::btnScreenshotmanager_MoveToFolderClick);
    ConnectGuarded(FUi->btnScreenshotmanager_CopyToFolder, &QPushButton::clicked, this,
                   &TScreenshotManagerPage::btnScreenshotmanager_CopyToFolderClick);
    ConnectGuarded(FUi->btnScreenShotManager_SelectAll, &QPushButton::clicked, this,
                   &TScreenshotManagerPage::btnScreenShotManager_SelectAllClick);
    ConnectGuarded(FUi->btnScreenshotmanager_Delete, &QPushButton::clicked, this,
                   &TScreenshotManagerPage::btnScreenshotmanager_DeleteClick);
    ConnectGuarded(FUi->tbScreenShotManager_CompressionRatio, &QSlider::valueChanged, this,
                   &TScreenshotManagerPage::tbScreenShotManager_CompressionRatioChange);
    // Clicks only: the quality controls follow the box when the user clicks it.
    ConnectGuarded(FUi->cbScreenshotmanager_UseJPG, &QCheckBox::clicked, this,
                   &TScreenshotManagerPage::cbScreenshotmanager_UseJPGClick);
}

TScreenshotManagerPage::~TScreenshotManagerPage() = default;

bool TScreenshotManagerPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FUi->imgScreenshotManager_Thumbnail &&
        event->type() == QEvent::MouseButtonDblClick) {
        RunGuarded(this, [this] { imgScreenshotManager_ThumbnailDblClick(); });
        return true;
    }
    return TPageBase::eventFilter(watched, event);
}

void TScreenshotManagerPage::LanguageChanged()
{
    SetColumnCaptions();
    tbScreenShotManager_CompressionRatioChange();
}

void TScreenshotManagerPage::SetColumnCaptions()
{
    FUi->lwScreenShotManager_List->setHeaderLabels({FContext.GetLangText(TDialogType::Col_FileName),
                                                    FContext.GetLangText(TDialogType::Col_Size),
                                                    FContext.GetLangText(TDialogType::Col_Format)});
}

QTreeWidgetItem* TScreenshotManagerPage::ItemIndexRow() const
{
    QTreeWidgetItem* current = FUi->lwScreenShotManager_List->currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwScreenShotManager_List);
    return rows.isEmpty() ? nullptr : rows.first();
}

TScreenShot* TScreenshotManagerPage::ShotOf(const QTreeWidgetItem* row) const
{
    const TScreenShotManager* shots = FContext.ScreenShotManager();
    return shots && row ? shots->GetItem(shots->IndexOf(row->text(scFileName))) : nullptr;
}

void TScreenshotManagerPage::ShowScreenshotPage()
{
    FUi->lwScreenShotManager_List->clear();
    FillScreenshotList(FContext.ScreenShotManager());
    tbScreenShotManager_CompressionRatioChange();
    SetColumnCaptions();
}

void TScreenshotManagerPage::FillScreenshotList(const TScreenShotManager* manager)
{
    if (!manager)
        return;
    const QIcon icon = KOVAIcon(kiScreenshots);
    // One type lookup per extension: the folder holds thousands of files of one type.
    QHash<QString, QString> typeNames;
    QList<QTreeWidgetItem*> rows;
    rows.reserve(manager->GetCount());
    for (int i = 0; i < manager->GetCount(); ++i) {
        const QString& file = manager->GetItem(i)->FileName;
        const QFileInfo info(file);
        const QString extension = QLatin1Char('.') + info.suffix().toLower();
        auto typeName = typeNames.find(extension);
        if (typeName == typeNames.end())
            typeName = typeNames.insert(extension, GetFileTypeName(extension));
        qint64 size = 0;
        TryGetFileSize(file, size);
        auto* row = new TListItem(QStringList{info.fileName(), FormatFileSize(size), *typeName});
        TListView::SetSortNumber(row, scSize, size);
        row->setIcon(scFileName, icon);
        rows.append(row);
    }
    TListView* list = FUi->lwScreenShotManager_List;
    list->setUpdatesEnabled(false);
    list->addTopLevelItems(rows);
    list->setUpdatesEnabled(true);
}

void TScreenshotManagerPage::lwScreenShotManager_ListChange()
{
    const TScreenShot* shot = ShotOf(ItemIndexRow());
    QLabel* thumbnail = FUi->imgScreenshotManager_Thumbnail;
    if (!shot) {
        // A moved or deleted screenshot would stay in sight.
        thumbnail->clear();
        return;
    }
    // Only this one file is decoded, and only the small image is kept.
    QImageReader reader(shot->FileName);
    QImage image;
    if (!reader.read(&image)) {
        thumbnail->clear();
        return;
    }
    thumbnail->setPixmap(QPixmap::fromImage(
        image.scaled(thumbnail->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void TScreenshotManagerPage::imgScreenshotManager_ThumbnailDblClick()
{
    const TScreenShot* shot = ShotOf(ItemIndexRow());
    if (!shot)
        return;
    TLinkLabel::OpenOrReport(this, shot->FileName);
}

void TScreenshotManagerPage::btnScreenshotmanager_MoveToFolderClick()
{
    MoveOrCopy(true);
}

void TScreenshotManagerPage::btnScreenshotmanager_CopyToFolderClick()
{
    MoveOrCopy(false);
}

void TScreenshotManagerPage::MoveOrCopy(bool move)
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwScreenShotManager_List);
    if (rows.isEmpty())
        return;
    const bool asJpeg = FUi->cbScreenshotmanager_UseJPG->isChecked();
    const int quality = FUi->tbScreenShotManager_CompressionRatio->value();
    if (rows.size() == 1) {
        TFileDialogOptions options;
        options.Title = FContext.GetLangText(TDialogType::Common_Dialog_SelectScr);
        options.Filter = FormatTemplate(FContext.GetLangText(TDialogType::Common_Filter_SCRFiles),
                                        {asJpeg ? KJpegMask : KBitmapMask});
        options.InitialDir = FContext.Settings().GetPath(TMapPaths::mpScreenShots);
        const QString name = rows.first()->text(scFileName);
        options.FileName = asJpeg ? WithExtension(name, QStringLiteral(".jpg")) : name;
        const QString target = FContext.Dialogs().SaveFile(this, options);
        if (target.isEmpty())
            return;
        CopyOrConvertScreenshots(move, asJpeg, target, quality, target);
        return;
    }
    QString folder = FContext.Folders().TransferDir();
    if (!FContext.Dialogs().BrowseForFolder(
            this, FContext.GetLangText(TDialogType::Common_Dialog_SelectDir), folder))
        return;
    CopyOrConvertScreenshots(move, asJpeg, folder, quality);
}

void TScreenshotManagerPage::CopyOrConvertScreenshots(bool move, bool asJpeg, const QString& dest,
                                                      int quality, const QString& confirmedTarget)
{
    const QList<QTreeWidgetItem*> rows = SelectedRows(FUi->lwScreenShotManager_List);
    TScreenShotManager* shots = FContext.ScreenShotManager();
    if (rows.isEmpty() || !shots)
        return;
    if (rows.size() > 1 && !QFileInfo(dest).isDir())
        return;
    // The replace question is asked here, once per file and with Yes to All for the rest, as
    // one shell operation over all the files would ask it.
    const TFileOpCallbacks questions = ShellOperationCallbacks(this, 0);
    bool replaceAll = false;
    for (QTreeWidgetItem* row : rows) {
        const int index = shots->IndexOf(row->text(scFileName));
        TScreenShot* shot = shots->GetItem(index);
        if (!shot)
            continue;
        const QString source = shot->FileName;
        const QString target = shot->TargetFor(dest, asJpeg);
        if (!replaceAll && target != confirmedTarget && PathPresent(target) &&
            !SameFile(source, target)) {
            const TReplaceAnswer answer =
                questions.AskReplace ? questions.AskReplace(source, target) : TReplaceAnswer::raNo;
            if (answer == TReplaceAnswer::raCancel)
                break;
            if (answer == TReplaceAnswer::raNo)
                continue;
            replaceAll = answer == TReplaceAnswer::raYesToAll;
        }
        const TResult<void> done = move ? shot->MoveTo(dest, asJpeg, quality, false)
                                        : shot->CopyTo(dest, asJpeg, quality, false);
        // A moved screenshot whose bitmap is gone leaves the list, also when the move then
        // failed to finish.
        if (move && !PathPresent(source)) {
            delete row;
            Succeeded(this, shots->Delete(index, false));
        }
        if (!Succeeded(this, done))
            break;
    }
}

void TScreenshotManagerPage::btnScreenShotManager_SelectAllClick()
{
    FUi->lwScreenShotManager_List->selectAll();
}

void TScreenshotManagerPage::btnScreenshotmanager_DeleteClick()
{
    TScreenShotManager* shots = FContext.ScreenShotManager();
    if (!shots)
        return;
    for (QTreeWidgetItem* row : SelectedRows(FUi->lwScreenShotManager_List)) {
        const int index = shots->IndexOf(row->text(scFileName));
        if (index < 0)
            continue;
        // The shell asks, and shows what failed; an entry goes only with its file.
        if (shots->Delete(index, true))
            delete row;
    }
}

void TScreenshotManagerPage::tbScreenShotManager_CompressionRatioChange()
{
    FUi->lbScreenShotManager_CompressionRatio->setText(
        FormatTemplate(FContext.GetLangText(TDialogType::ScreenShotManager_CompQuality),
                       {FUi->tbScreenShotManager_CompressionRatio->value()}));
}

void TScreenshotManagerPage::cbScreenshotmanager_UseJPGClick()
{
    const bool enabled = FUi->cbScreenshotmanager_UseJPG->isChecked();
    FUi->lbScreenShotManager_CompressionRatio->setEnabled(enabled);
    FUi->tbScreenShotManager_CompressionRatio->setEnabled(enabled);
    FUi->lbScreenShotManager_Compress1->setEnabled(enabled);
    FUi->lbScreenShotManager_Compress100->setEnabled(enabled);
}
