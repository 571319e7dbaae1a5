#include "TfrmArchiveInspector.h"
#include "ui_TfrmArchiveInspector.h"

#include "FolderList.h"
#include "GamePath.h"
#include "Guard.h"
#include "IDialogs.h"
#include "IPageContext.h"
#include "KOVAIcons.h"
#include "PrivateFolder.h"
#include "ProgramFolders.h"
#include "Process.h"
#include "SystemImages.h"
#include "TemplateFormat.h"
#include "uKOVA_Misc.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QMimeData>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>

namespace {

// Progress lets input through this often at most, so Cancel is seen without slowing the work.
constexpr qint64 KProgressIntervalMs = 50;

// The extension of a stored name, with its dot: after the last "/" only.
QString EntryExtension(const QString& name)
{
    const QString part = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = part.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? part.mid(dot) : QString();
}

bool EndsWithSeparator(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
}

} // namespace

TfrmArchiveInspector::TfrmArchiveInspector(IPageContext& context, QWidget* parent)
    : QMainWindow(parent)
    , FContext(context)
    , FUi(std::make_unique<Ui::TfrmArchiveInspector>())
    , FOpener(OpenWithDefaultHandler)
{
    FUi->setupUi(this);
    setWindowIcon(KOVAIcon(kiExtract));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // A window beside the main window: the program ends with the main window.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAcceptDrops(true);
    FUi->NewArchiveButton->setIcon(KOVAIcon(kiSave));
    FUi->OpenArchiveButton->setIcon(KOVAIcon(kiOpen));
    FUi->AddFilesButton->setIcon(KOVAIcon(kiAdd));
    FUi->AddDirectoryButton->setIcon(KOVAIcon(kiFolder));
    FUi->ExtractButton->setIcon(KOVAIcon(kiExtract));
    FUi->ExtractButton->setMenu(FUi->MenuExtract);
    FUi->MenuNewArchive->setIcon(KOVAIcon(kiSave));
    FUi->MenuOpen->setIcon(KOVAIcon(kiOpen));
    FUi->MenuAddFiles->setIcon(KOVAIcon(kiAdd));
    FUi->MenuAddDir->setIcon(KOVAIcon(kiFolder));
    FUi->MenuEditRemoveFromArchive->setIcon(KOVAIcon(kiDelete));
    FUi->MenuExtractAll->setIcon(KOVAIcon(kiExtract));
    // Rows go out (a drag has no receiver outside), drops land on the window.
    FUi->lwFiles->setAcceptDrops(false);
    FUi->lwFiles->setDragDropMode(QAbstractItemView::DragOnly);
    FUi->lwFiles->setColumnWidth(0, 125);
    FUi->lwFiles->setColumnWidth(1, 125);
    FUi->lwFiles->setColumnWidth(2, 125);
    FUi->lwFiles->setColumnWidth(4, 135);
    FUi->pnStack->setCurrentWidget(FUi->lwFiles);

    FZip.SetProgress([this](const TZipProgress& progress) { return ArchiveProgress(progress); });
    FZip.SetPassword([this](const QString& entry, int attempt, QString& password) {
        return NeedPassword(entry, attempt, password);
    });
    ConnectHandlers();
    UpdateControls();
}

TfrmArchiveInspector::~TfrmArchiveInspector() = default;

void TfrmArchiveInspector::ConnectHandlers()
{
    const auto action = [this](QAction* item, void (TfrmArchiveInspector::*handler)()) {
        ConnectGuarded(item, &QAction::triggered, this, handler);
    };
    const auto button = [this](QAbstractButton* item, void (TfrmArchiveInspector::*handler)()) {
        ConnectGuarded(item, &QAbstractButton::clicked, this, handler);
    };
    ConnectGuarded(FUi->MenuFile, &QMenu::aboutToShow, this, &TfrmArchiveInspector::MenuFileClick);
    action(FUi->MenuStayOnTop, &TfrmArchiveInspector::MenuStayOnTopClick);
    action(FUi->MenuNewArchive, &TfrmArchiveInspector::MenuNewArchiveClick);
    action(FUi->MenuOpen, &TfrmArchiveInspector::MenuOpenClick);
    action(FUi->MenuClose, &TfrmArchiveInspector::MenuCloseClick);
    action(FUi->MenuEditRemoveFromArchive, &TfrmArchiveInspector::MenuEditRemoveFromArchiveClick);
    action(FUi->MenuEditRemoveAll, &TfrmArchiveInspector::MenuEditRemoveAllClick);
    action(FUi->MenuEditSelectAll, &TfrmArchiveInspector::MenuEditSelectAllClick);
    action(FUi->MenuAddFiles, &TfrmArchiveInspector::MenuAddFilesClick);
    action(FUi->MenuAddDir, &TfrmArchiveInspector::MenuAddDirClick);
    action(FUi->MenuExtractAll, &TfrmArchiveInspector::MenuExtractAllClick);
    action(FUi->MenuExtractSelected, &TfrmArchiveInspector::MenuExtractSelectedClick);
    action(FUi->MenuExtractAndOpen, &TfrmArchiveInspector::MenuExtractAndOpenClick);
    action(FUi->MenuInstallUTContent, &TfrmArchiveInspector::MenuInstallUTContentClick);
    button(FUi->NewArchiveButton, &TfrmArchiveInspector::MenuNewArchiveClick);
    button(FUi->OpenArchiveButton, &TfrmArchiveInspector::MenuOpenClick);
    button(FUi->AddFilesButton, &TfrmArchiveInspector::MenuAddFilesClick);
    button(FUi->AddDirectoryButton, &TfrmArchiveInspector::MenuAddDirClick);
    button(FUi->ExtractButton, &TfrmArchiveInspector::MenuExtractSelectedClick);
    button(FUi->btnCancel, &TfrmArchiveInspector::btnCancelClick);
    ConnectGuarded(FUi->lwFiles, &QTreeWidget::itemDoubleClicked, this,
                   &TfrmArchiveInspector::MenuExtractAndOpenClick);
}

QTreeWidget* TfrmArchiveInspector::Files() const
{
    return FUi->lwFiles;
}

QString TfrmArchiveInspector::LangText(TDialogType key) const
{
    return FContext.GetLangText(key);
}

void TfrmArchiveInspector::SetCaption(const QString& archive)
{
    setWindowTitle(FormatTemplate(LangText(TDialogType::Common_ArchiveInspector),
                                  {archive.isEmpty() ? QString() : QStringLiteral("- ") + archive})
                       .trimmed());
}

void TfrmArchiveInspector::SetLanguage(TLanguage* language)
{
    FLanguage = language;
    if (FLanguage)
        LocalizeColumns();
}

void TfrmArchiveInspector::LocalizeColumns()
{
    const TDialogType keys[] = {TDialogType::Col_FileName, TDialogType::Col_CompressedSize,
                                TDialogType::Col_UncompressedSize, TDialogType::Col_Factor,
                                TDialogType::Col_FileType};
    QTreeWidgetItem* header = FUi->lwFiles->headerItem();
    for (int column = 0; column < 5; ++column) {
        const QString text = LangText(keys[column]);
        if (!text.isEmpty())
            header->setText(column, text);
    }
}

QString TfrmArchiveInspector::GetOperationText(TZipOperation operation) const
{
    switch (operation) {
    case TZipOperation::zoAdding:
        return LangText(TDialogType::Arc_Adding);
    case TZipOperation::zoExtracting:
        return LangText(TDialogType::Arc_Extracting);
    case TZipOperation::zoDeleting:
        break;
    }
    return LangText(TDialogType::Arc_Processing);
}

void TfrmArchiveInspector::UpdateControls()
{
    const bool running = FRunning > 0;
    const bool open = FArchiveOpen && !running;
    for (QMenu* menu : {FUi->MenuEdit, FUi->MenuAdd, FUi->MenuExtract}) {
        menu->menuAction()->setEnabled(open);
        for (QAction* item : menu->actions())
            item->setEnabled(open);
    }
    for (QAction* item : FUi->MenuFile->actions())
        item->setEnabled(!running);
    FUi->MainMenu->setEnabled(!running);
    FUi->Coolbar->setEnabled(!running);
    FUi->AddFilesButton->setEnabled(open);
    FUi->AddDirectoryButton->setEnabled(open);
    FUi->ExtractButton->setEnabled(open);
    FUi->lwFiles->setEnabled(open);
}

void TfrmArchiveInspector::RunWithProgress(const std::function<void()>& work)
{
    if (FRunning > 0) {
        work();
        return;
    }
    ++FRunning;
    FContinue = true;
    FFileProcessText = LangText(TDialogType::Arc_FileProcess);
    FOverallText = LangText(TDialogType::Arc_OverallProcess);
    FOperationTexts[int(TZipOperation::zoExtracting)] =
        GetOperationText(TZipOperation::zoExtracting);
    FOperationTexts[int(TZipOperation::zoAdding)] = GetOperationText(TZipOperation::zoAdding);
    FOperationTexts[int(TZipOperation::zoDeleting)] = GetOperationText(TZipOperation::zoDeleting);
    FUi->lbExtracting->clear();
    FUi->lbOverall->clear();
    FUi->pbProgress->setValue(0);
    FUi->pbOverall->setValue(0);
    FUi->pnStack->setCurrentWidget(FUi->pnProgress);
    FContext.SetBusy(true);
    UpdateControls();
    FLastProgress.invalidate();
    const auto restore = qScopeGuard([this] {
        FUi->pnStack->setCurrentWidget(FUi->lwFiles);
        --FRunning;
        FContinue = true;
        FContext.SetBusy(false);
        UpdateControls();
        if (FCloseRequested) {
            FCloseRequested = false;
            close();
        }
    });
    work();
}

bool TfrmArchiveInspector::ArchiveProgress(const TZipProgress& progress)
{
    if (FLastProgress.isValid() && FLastProgress.elapsed() < KProgressIntervalMs)
        return FContinue;
    FUi->lbExtracting->setText(FormatTemplate(
        FFileProcessText, {FOperationTexts[int(progress.Operation)], progress.Entry}));
    FUi->pbProgress->setValue(progress.ItemPercent);
    FUi->lbOverall->setText(FormatTemplate(FOverallText, {progress.OverallPercent}));
    FUi->pbOverall->setValue(progress.OverallPercent);
    QCoreApplication::processEvents();
    FLastProgress.start();
    return FContinue;
}

bool TfrmArchiveInspector::NeedPassword(const QString& entry, int, QString& password)
{
    Q_UNUSED(entry);
    QString value;
    if (!FContext.Dialogs().InputQuery(this, LangText(TDialogType::Arc_Password_Title),
                                       LangText(TDialogType::Arc_Password_Msg), value))
        return false;
    password = value;
    return true;
}

void TfrmArchiveInspector::btnCancelClick()
{
    FContinue = false;
}

bool TfrmArchiveInspector::OpenArchive(const QString& fileName)
{
    CloseArchive();
    FArchiveName = fileName;
    const TResult<void> opened = FZip.Open(fileName);
    FArchiveOpen = bool(opened);
    UpdateControls();
    RefreshFileList();
    if (!FArchiveOpen) {
        Succeeded(this, opened);
        return false;
    }
    SetCaption(fileName);
    return true;
}

void TfrmArchiveInspector::CloseArchive()
{
    FZip.Close();
    FUi->lwFiles->clear();
    FArchiveOpen = false;
    UpdateControls();
}

void TfrmArchiveInspector::ReopenArchive()
{
    if (FArchiveOpen)
        OpenArchive(FArchiveName);
}

void TfrmArchiveInspector::RefreshFileList()
{
    QTreeWidget* list = FUi->lwFiles;
    list->clear();
    if (!FArchiveOpen)
        return;
    TSystemImages& images = FContext.SystemImageList();
    // Names of one extension share their type name, and looking it up is slow.
    QHash<QString, QString> typeNames;
    const QLocale locale;
    QList<QTreeWidgetItem*> rows;
    rows.reserve(FZip.Count());
    for (const TZipEntry& entry : FZip.Entries()) {
        const QString extension = EntryExtension(entry.Name);
        auto typeName = typeNames.constFind(extension);
        if (typeName == typeNames.constEnd())
            typeName = typeNames.insert(extension, GetFileTypeName(extension));
        auto* row = new QTreeWidgetItem(QStringList{
            entry.Name, FormatFileSize(entry.CompressedSize), FormatFileSize(entry.Size),
            locale.toString(entry.CompressionRatio(), 'g', 4), *typeName});
        row->setIcon(0, images.FileIcon(entry.Name));
        rows << row;
    }
    list->addTopLevelItems(rows);
}

void TfrmArchiveInspector::CreateArchive(const QString& archiveName, const QStringList& files)
{
    if (!Succeeded(this, TZipArchive::CreateEmpty(archiveName)))
        return;
    if (OpenArchive(archiveName) && !files.isEmpty())
        AddFilesTo(archiveName, files);
}

void TfrmArchiveInspector::AddFilesToArchive(const QString& archiveName, const QStringList& files)
{
    if (QFileInfo(archiveName).isFile()) {
        if (OpenArchive(archiveName))
            AddFiles(files);
    } else {
        CreateArchive(archiveName, files);
    }
}

void TfrmArchiveInspector::AddFile(const QString& fileName)
{
    AddFiles({fileName});
}

void TfrmArchiveInspector::AddFiles(const QStringList& files)
{
    AddFilesTo(FArchiveName, files);
}

void TfrmArchiveInspector::AddFilesTo(const QString& archiveName, const QStringList& files)
{
    if (!FArchiveOpen || files.isEmpty())
        return;
    if (archiveName != FArchiveName && !OpenArchive(archiveName))
        return;
    QVector<TZipSource> sources;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (info.isFile())
            sources.append({file, info.fileName()});
    }
    if (sources.isEmpty())
        return;
    TResult<void> added;
    RunWithProgress([&] { added = FZip.AddFiles(sources); });
    RefreshFileList();
    Succeeded(this, added);
}

void TfrmArchiveInspector::DeleteSelected()
{
    const QList<int> indexes = SelectedRowIndexes(FUi->lwFiles);
    if (!FArchiveOpen || indexes.isEmpty())
        return;
    TResult<void> deleted;
    RunWithProgress([&] { deleted = FZip.Delete(QVector<int>(indexes.begin(), indexes.end())); });
    RefreshFileList();
    Succeeded(this, deleted);
}

void TfrmArchiveInspector::DeleteAll()
{
    if (!FArchiveOpen)
        return;
    TResult<void> deleted;
    RunWithProgress([&] { deleted = FZip.DeleteAll(); });
    RefreshFileList();
    Succeeded(this, deleted);
}

void TfrmArchiveInspector::ExtractItem(const QString& target, int index)
{
    ExtractItems(target, {index});
}

void TfrmArchiveInspector::ExtractItems(const QString& target, const QList<int>& indexes)
{
    if (!FArchiveOpen || indexes.isEmpty())
        return;
    const bool flat = EndsWithSeparator(target);
    QVector<TZipExtraction> jobs;
    QStringList passedOver;
    for (const int index : indexes) {
        if (index < 0 || index >= FZip.Count())
            continue;
        const TZipEntry& entry = FZip.Entries().at(index);
        if (entry.IsFolder)
            continue;
        const QString name = flat ? FZip.FlatName(index) : QFileInfo(target).fileName();
        if (name.isEmpty() || entry.IsLink)
            passedOver << entry.Name;
        else
            jobs.append({index, flat ? JoinPath(target, name) : target});
    }
    Extract(jobs, passedOver);
}

void TfrmArchiveInspector::ExtractAll(const QString& folder)
{
    QList<int> all;
    for (int i = 0; i < FZip.Count(); ++i)
        all << i;
    ExtractItems(WithTrailingSeparator(folder), all);
}

void TfrmArchiveInspector::Extract(const QVector<TZipExtraction>& jobs,
                                   const QStringList& passedOver)
{
    if (!jobs.isEmpty()) {
        TResult<void> extracted;
        RunWithProgress([&] { extracted = FZip.Extract(jobs); });
        Succeeded(this, extracted);
    }
    if (!passedOver.isEmpty()) {
        // No message key of the language files says this yet.
        FContext.Dialogs().MessageBox(
            this, LangText(TDialogType::Common_Warning),
            QStringLiteral("These entries were not extracted: a link, or a name that is no safe "
                           "file name:\n\n") +
                passedOver.join(QLatin1Char('\n')),
            TMsgDlgType::mtWarning, mbOK);
    }
}

void TfrmArchiveInspector::ExtractAndOpen(const QString& folder, int index)
{
    if (!FArchiveOpen || index < 0 || index >= FZip.Count())
        return;
    const QString name = FZip.FlatName(index);
    if (name.isEmpty()) {
        if (!FZip.Entries().at(index).IsFolder)
            Extract({}, {FZip.Entries().at(index).Name});
        return;
    }
    const QString target = JoinPath(folder, name);
    TResult<void> extracted;
    RunWithProgress([&] { extracted = FZip.ExtractTo(index, target); });
    if (!Succeeded(this, extracted))
        return;
    // The window may be gone when the opener fails after its start.
    const auto ended = [self = QPointer<TfrmArchiveInspector>(this), target](int status) {
        if (status != 0 && self)
            self->FContext.Dialogs().ShowException(self, OpenFailureText(target, status));
    };
    QString error;
    if (!FOpener || !FOpener(target, &error, ended))
        FContext.Dialogs().ShowException(
            this, QStringLiteral("\"%1\" could not be opened with its program.").arg(target) +
                      (error.isEmpty() ? QString() : QLatin1Char('\n') + error));
}

void TfrmArchiveInspector::ShowArchive(const QString& fileName)
{
    CloseArchive();
    if (!fileName.isEmpty() && QFileInfo(fileName).isFile())
        OpenArchive(fileName);
    else
        SetCaption(QString());
    if (!FPlaced) {
        // Screen-centred the first time; later where the user left it.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        FPlaced = true;
    }
    show();
    raise();
    activateWindow();
}

void TfrmArchiveInspector::MenuFileClick()
{
    FUi->MenuStayOnTop->setChecked(windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void TfrmArchiveInspector::MenuStayOnTopClick()
{
    const bool onTop = !windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    FUi->MenuStayOnTop->setChecked(onTop);
    if (visible)
        show(); // a change of the window's flags hides it
}

void TfrmArchiveInspector::MenuNewArchiveClick()
{
    TFileDialogOptions options;
    options.Title = LangText(TDialogType::Common_Dialog_SelectArchive);
    options.Filter = LangText(TDialogType::Common_Filter_ZipFiles);
    options.DefaultExt = QStringLiteral("zip");
    options.InitialDir = FContext.Folders().TransferDir();
    // An existing archive is opened or made anew as the question below decides.
    options.ConfirmOverwrite = false;
    const QString chosen = FContext.Dialogs().SaveFile(this, options);
    if (chosen.isEmpty())
        return;
    if (QFileInfo::exists(chosen)) {
        if (FContext.Dialogs().MessageBox(
                this, LangText(TDialogType::Common_Confirmation),
                FormatTemplate(LangText(TDialogType::Common_OverwriteFile), {chosen}),
                TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes)
            CreateArchive(chosen);
        else
            OpenArchive(chosen);
    } else {
        CreateArchive(chosen);
    }
}

QString TfrmArchiveInspector::AskOpenFile(TDialogType title, TDialogType filter)
{
    TFileDialogOptions options;
    options.Title = LangText(title);
    options.Filter = LangText(filter);
    const QStringList chosen = FContext.Dialogs().OpenFiles(this, options);
    return chosen.isEmpty() ? QString() : chosen.first();
}

void TfrmArchiveInspector::MenuOpenClick()
{
    const QString chosen =
        AskOpenFile(TDialogType::Common_Dialog_SelectArchive, TDialogType::Common_Filter_ZipFiles);
    if (!chosen.isEmpty())
        OpenArchive(chosen);
}

void TfrmArchiveInspector::MenuCloseClick()
{
    close();
}

void TfrmArchiveInspector::MenuEditRemoveFromArchiveClick()
{
    DeleteSelected();
}

void TfrmArchiveInspector::MenuEditRemoveAllClick()
{
    DeleteAll();
}

void TfrmArchiveInspector::MenuEditSelectAllClick()
{
    FUi->lwFiles->selectAll();
}

void TfrmArchiveInspector::MenuAddFilesClick()
{
    if (!FArchiveOpen)
        return;
    const QString chosen =
        AskOpenFile(TDialogType::Common_Dialog_SelectFile, TDialogType::Common_Filter_AllFiles);
    if (!chosen.isEmpty())
        AddFile(chosen);
}

void TfrmArchiveInspector::MenuAddDirClick()
{
    if (!FArchiveOpen)
        return;
    QString folder;
    if (!FContext.Dialogs().BrowseForFolder(this, LangText(TDialogType::Common_Dialog_SelectDir),
                                            folder))
        return;
    const bool recursive = FContext.Dialogs().MessageBox(
                               this, LangText(TDialogType::Common_Confirmation),
                               LangText(TDialogType::Common_IncludeSubFolders),
                               TMsgDlgType::mtConfirmation, mbYes | mbNo) == TModalResult::mrYes;
    AddFiles(FindFiles(WithTrailingSeparator(folder), QStringLiteral("*.*"), recursive));
}

void TfrmArchiveInspector::MenuExtractAllClick()
{
    if (!FArchiveOpen)
        return;
    QString folder;
    if (FContext.Dialogs().BrowseForFolder(this, LangText(TDialogType::Common_Dialog_SelectDir),
                                           folder))
        ExtractAll(folder);
}

void TfrmArchiveInspector::MenuExtractSelectedClick()
{
    const QList<int> indexes = SelectedRowIndexes(FUi->lwFiles);
    if (!FArchiveOpen || indexes.isEmpty())
        return;
    if (indexes.size() == 1) {
        const QString caption = FUi->lwFiles->topLevelItem(indexes.first())->text(0);
        TFileDialogOptions options;
        options.FileName = EntryFileName(caption);
        options.Filter = LangText(TDialogType::Common_Filter_AllFiles);
        options.DefaultExt = EntryExtension(caption).mid(1);
        options.Title = LangText(TDialogType::Common_Dialog_SaveAs);
        options.InitialDir = QDir::currentPath();
        const QString chosen = FContext.Dialogs().SaveFile(this, options);
        if (!chosen.isEmpty())
            ExtractItems(chosen, indexes);
        return;
    }
    QString folder;
    if (FContext.Dialogs().BrowseForFolder(this, LangText(TDialogType::Common_Dialog_SelectDir),
                                           folder))
        ExtractItems(WithTrailingSeparator(folder), indexes);
}

void TfrmArchiveInspector::MenuExtractAndOpenClick()
{
    QTreeWidgetItem* current = FUi->lwFiles->currentItem();
    if (!FArchiveOpen || !current)
        return;
    QString error;
    const QString folder = PrivateTempFolder(QStringLiteral("KOVATEMP"), &error);
    if (folder.isEmpty()) {
        FContext.Dialogs().ShowException(this, error);
        return;
    }
    ExtractAndOpen(folder, FUi->lwFiles->indexOfTopLevelItem(current));
}

void TfrmArchiveInspector::MenuInstallUTContentClick()
{
    // The open archive is installed as an archive, whatever its name says; the road hides this
    // window when it ends.
    if (FArchiveOpen)
        FContext.InstallFromArchive(FArchiveName, false, true, true);
}

bool TfrmArchiveInspector::lwFilesDragOver(const QObject* source, const QMimeData* data) const
{
    if (!FArchiveOpen || FRunning > 0 || !data)
        return false;
    if (source)
        return qobject_cast<const QTreeWidget*>(source) != nullptr && source != FUi->lwFiles;
    return data->hasUrls();
}

void TfrmArchiveInspector::lwFilesDragDrop(const QObject* source, const QMimeData* data)
{
    if (!FArchiveOpen || FRunning > 0 || !data)
        return;
    if (source) {
        QStringList files;
        if (FContext.DraggedFiles(source, &files))
            AddFiles(files);
        return;
    }
    if (data->hasUrls())
        WMDropFiles(data->urls());
}

void TfrmArchiveInspector::WMDropFiles(const QList<QUrl>& urls)
{
    QStringList files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files << url.toLocalFile();
    }
    AddFiles(files);
}

void TfrmArchiveInspector::dragEnterEvent(QDragEnterEvent* event)
{
    if (lwFilesDragOver(event->source(), event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmArchiveInspector::dragMoveEvent(QDragMoveEvent* event)
{
    if (lwFilesDragOver(event->source(), event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmArchiveInspector::dropEvent(QDropEvent* event)
{
    // The files are added once the drag has ended, outside the drag's own event loop.
    const QPointer<const QObject> source = event->source();
    auto data = std::make_shared<QMimeData>();
    if (event->mimeData()->hasUrls())
        data->setUrls(event->mimeData()->urls());
    const bool fromProgram = source != nullptr;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, source, data, fromProgram] {
        if (fromProgram && !source)
            return; // the list went away meanwhile
        RunGuarded(this, [&] { lwFilesDragDrop(source, data.get()); });
    });
}

void TfrmArchiveInspector::closeEvent(QCloseEvent* event)
{
    // Closing while an operation runs cancels it; the window closes once it has stopped.
    if (FRunning > 0) {
        FContinue = false;
        FCloseRequested = true;
        event->ignore();
        return;
    }
    CloseArchive();
    QMainWindow::closeEvent(event);
}
