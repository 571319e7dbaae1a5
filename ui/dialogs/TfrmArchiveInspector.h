#pragma once

#include "Process.h"
#include "TDialogType.h"
#include "TZipArchive.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>

class IPageContext;
class QMimeData;
class QTreeWidget;
class TLanguage;

namespace Ui {
class TfrmArchiveInspector;
}

// The archive window: the entries of one zip archive in archive order, with new, open, add,
// remove, extract, and extract-and-open. Every change is written at once. While an operation
// runs, the progress panel stands in front of the list, the window's menus and tool bars and the
// main window are disabled, and Cancel (or closing the window) stops it.
//
// Extraction is always flat: an entry lands in the chosen folder under the file-name part of its
// name; folder entries are passed over, and link entries and entries whose part is no safe file
// name are passed over and named in a message.
class TfrmArchiveInspector final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmArchiveInspector)

public:
    explicit TfrmArchiveInspector(IPageContext& context, QWidget* parent = nullptr);
    ~TfrmArchiveInspector() override;

    // The engine over the open archive (the install road extracts through it).
    TZipArchive& Zip() { return FZip; }
    bool ArchiveOpen() const { return FArchiveOpen; }
    QString ArchiveName() const { return FArchiveName; }
    QTreeWidget* Files() const;

    // Runs Work with the progress panel in front and the controls and the main window
    // disabled; the engine's progress shows on the panel and Cancel stops the engine. The panel
    // goes back however Work ends.
    void RunWithProgress(const std::function<void()>& work);

    // Opens FileName in the window; a file that is no readable archive shows why and leaves
    // the window without an archive. False then.
    bool OpenArchive(const QString& fileName);
    void CloseArchive();
    void ReopenArchive();
    void RefreshFileList();
    void UpdateControls();
    // Writes ArchiveName as a fresh empty archive (replacing any file there), opens it and adds
    // Files.
    void CreateArchive(const QString& archiveName, const QStringList& files = {});
    // Adds Files to ArchiveName: opened when it exists, else created.
    void AddFilesToArchive(const QString& archiveName, const QStringList& files);
    void AddFile(const QString& fileName);
    void AddFiles(const QStringList& files);
    // Adds each existing file of Files under its bare file name; nothing without an open
    // archive.
    void AddFilesTo(const QString& archiveName, const QStringList& files);
    void DeleteSelected();
    void DeleteAll();
    // Extracts entry Index to Target: to exactly that path, or, when Target ends in a
    // separator, flat into that folder.
    void ExtractItem(const QString& target, int index);
    void ExtractItems(const QString& target, const QList<int>& indexes);
    void ExtractAll(const QString& folder);
    void ExtractAndOpen(const QString& folder, int index);
    // Closes any open archive, opens FileName when it names a file, and brings the window up.
    void ShowArchive(const QString& fileName);
    // A language dressed the window: the texts made in code follow it.
    void SetLanguage(TLanguage* language);
    void LocalizeColumns();
    QString GetOperationText(TZipOperation operation) const;

    // What opens an extracted file, as OpenWithDefaultHandler does: the desktop's default
    // handler (tests put their own).
    using TOpener = std::function<bool(const QString& file, QString* error, TOpenEnded onEnded)>;
    void SetOpener(TOpener opener) { FOpener = std::move(opener); }

    void MenuFileClick();
    void MenuStayOnTopClick();
    void MenuNewArchiveClick();
    void MenuOpenClick();
    void MenuCloseClick();
    void MenuEditRemoveFromArchiveClick();
    void MenuEditRemoveAllClick();
    void MenuEditSelectAllClick();
    void MenuAddFilesClick();
    void MenuAddDirClick();
    void MenuExtractAllClick();
    void MenuExtractSelectedClick();
    void MenuExtractAndOpenClick();
    void MenuInstallUTContentClick();
    void btnCancelClick();
    // A drag over the window: rows of a list view of the program, or files from outside.
    bool lwFilesDragOver(const QObject* source, const QMimeData* data) const;
    // Rows of the map, screenshot, demo and add-on lists add their files; files dropped from
    // outside the program add the regular ones; anything else adds nothing.
    void lwFilesDragDrop(const QObject* source, const QMimeData* data);
    void WMDropFiles(const QList<QUrl>& urls);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ConnectHandlers();
    bool ArchiveProgress(const TZipProgress& progress);
    bool NeedPassword(const QString& entry, int attempt, QString& password);
    // Runs the jobs under the progress panel, then names the entries that were passed over.
    void Extract(const QVector<TZipExtraction>& jobs, const QStringList& passedOver);
    QString LangText(TDialogType key) const;
    // The file chosen in an open prompt; empty on Cancel.
    QString AskOpenFile(TDialogType title, TDialogType filter);
    void SetCaption(const QString& archive);

    IPageContext& FContext;
    std::unique_ptr<Ui::TfrmArchiveInspector> FUi;
    TZipArchive FZip;
    bool FArchiveOpen = false;
    QString FArchiveName;
    TLanguage* FLanguage = nullptr;
    bool FContinue = true;
    int FRunning = 0;             // operations under way (the install road may nest one)
    bool FCloseRequested = false; // closed while an operation ran: close once it ends
    bool FPlaced = false;         // shown once: it stays where the user put it
    QElapsedTimer FLastProgress;
    // The progress texts, read once per operation (a language lookup reads its file).
    QString FFileProcessText;
    QString FOverallText;
    QString FOperationTexts[3];
    TOpener FOpener;
};
