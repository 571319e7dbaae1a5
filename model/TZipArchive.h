#pragma once

#include "TResult.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

// The program's zip engine, over libzip: the archive window and the add-on installation road
// both read, extract and write zip archives through it. It shows nothing; it asks and reports
// through the callbacks below, and every operation that can fail returns a TResult whose error
// names the archive and the entry.
//
//  - Open lists the entries in archive order (Entries(); an entry's index is its row).
//  - ExtractTo writes entry i to exactly one path; Extract does a list of such jobs with one
//    overall progress. Each file is written to a temporary beside its target (the file layer's
//    TAtomicWriter; each target folder is rid of killed writers' leftovers once while the
//    archive is open) and renamed over it only after the whole entry was read with its declared
//    size and checksum, and, when it replaces a file, was put on the disk; an error, a wrong
//    password or a cancel leaves the old file and no temporary. A link at the target is
//    replaced, never written through. No entry writes more than its declared size; jobs that
//    do not fit their file system as they are written (TSpaceTally), an entry whose encryption
//    libzip cannot read, and any job of an archive whose layout cannot be trusted
//    (LayoutProblem) are refused before any write.
//    Folder and link entries are never written; FlatName tells a caller which entries may be
//    written under which bare name.
//  - AddFiles, Delete and DeleteAll change the archive and write it at once (libzip writes a
//    temporary beside it and renames it over the archive); a failed or cancelled write leaves the
//    old archive with its permission bits, and the entry list is read again either way. An added
//    name replaces every entry of that name, so a written archive holds no name twice (an archive
//    that already holds twins still opens and extracts by index). An archive left without
//    entries stays on disk as the 22-byte empty archive.
//  - Progress reports the entry at work and the percentages; returning false cancels.
//  - Password is asked for an encrypted entry when the archive's kept password does not fit, at
//    most three times per entry; a password that extracted an entry is kept until Close.
//
// Archives inside archives are never opened: an entry is only ever copied out as bytes.
//
// Installing an archive's files flat into a folder, say:
//
//     TZipArchive zip;
//     zip.SetProgress(...);  // the window's progress panel; false cancels
//     zip.SetPassword(...);  // the password prompt
//     if (const TResult<void> opened = zip.Open(archive); !opened)
//         return opened.Error();
//     for (int i = 0; i < zip.Count(); ++i) {
//         const QString name = zip.FlatName(i); // empty: a folder, a link or a hostile name
//         if (!name.isEmpty())
//             if (const TResult<void> done = zip.ExtractTo(i, JoinPath(folder, name)); !done)
//                 return done.Error();           // ecCancelled when the user cancelled
//     }

// One entry as the archive lists it.
struct TZipEntry
{
    QString Name; // the stored name, in the encoding libzip guesses ("/" separators)
    qint64 CompressedSize = 0;
    qint64 Size = 0; // uncompressed, as declared
    quint32 Crc = 0;
    QDateTime Modified;    // invalid when the archive gives none
    bool IsFolder = false; // the stored name ends in "/" (or in "\" from some tools of Windows)
    bool IsLink = false;   // a symbolic link (Unix file type in the external attributes)
    bool IsEncrypted = false;
    bool IsStored = false;        // kept without compression
    quint16 Method = 0;           // libzip's compression method (ZIP_CM_...)
    quint16 EncryptionMethod = 0; // libzip's encryption method (ZIP_EM_...)
    // The percentage saved by compression: 0 for a stored or empty entry.
    double CompressionRatio() const;
};

enum class TZipOperation
{
    zoExtracting,
    zoAdding,
    zoDeleting,
};

struct TZipProgress
{
    TZipOperation Operation = TZipOperation::zoExtracting;
    QString Entry;          // the stored name of the entry at work
    int ItemPercent = 0;    // of that entry, 0 to 100
    int OverallPercent = 0; // of the whole operation, 0 to 100
};

// One entry to extract, to exactly that path.
struct TZipExtraction
{
    int Index = -1;
    QString Target;
};

// One file to add under that entry name.
struct TZipSource
{
    QString File;
    QString EntryName;
};

class TZipArchive final
{
public:
    // False cancels the operation.
    using TProgressCallback = std::function<bool(const TZipProgress& progress)>;
    // Fills Password for the encrypted entry EntryName (Attempt counts from 1); false when the
    // user cancelled.
    using TPasswordCallback =
        std::function<bool(const QString& entryName, int attempt, QString& password)>;
    // The bytes free for this user in Folder's file system.
    using TFreeSpaceFunction = std::function<qint64(const QString& folder)>;

    TZipArchive();
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    // Closes any open archive, then opens FileName and lists its entries. Fails (nothing open)
    // for a missing file, a file that is no zip archive or a damaged one.
    TResult<void> Open(const QString& fileName);
    // Forgets the open archive and its kept password; nothing is written (every change was
    // written when it was made).
    void Close();
    bool IsOpen() const;
    QString FileName() const { return FFileName; }
    const QVector<TZipEntry>& Entries() const { return FEntries; }
    int Count() const { return int(FEntries.size()); }

    void SetProgress(TProgressCallback progress) { FProgress = std::move(progress); }
    void SetPassword(TPasswordCallback password) { FPassword = std::move(password); }
    // Replaces the file system's figure (tests).
    void SetFreeSpace(TFreeSpaceFunction freeSpace) { FFreeSpace = std::move(freeSpace); }
    const TFreeSpaceFunction& FreeSpace() const { return FFreeSpace; }

    // The name entry Index may be written under when extracted flat: the file-name part of its
    // stored name. Empty for a folder or link entry and for a part that is no safe file name
    // (see SafeFileName of uKOVA_Misc.h); such an entry is never written.
    QString FlatName(int index) const;

    // Why no entry of the open archive is extracted: an entry declares more bytes than its
    // compressed data can hold; the entries' data overlap one another or the directory of
    // entries (many records over one entry's bytes: each would inflate them again), or lie
    // behind a local header without its signature; or the directory we read is not the one
    // libzip lists (ambiguous). Empty when the layout can be trusted.
    QString LayoutProblem() const { return FLayoutProblem; }

    // Writes entry Index to Target (its folder is made when missing). Fails, writing nothing,
    // for a folder or link entry, a cancel, a missing or wrong password, a read error, a
    // checksum or size that is not right, or a target that cannot be written.
    TResult<void> ExtractTo(int index, const QString& target);
    // Extracts the jobs in order, under one overall progress. Refused before any write when the
    // jobs do not fit their file systems (TSpaceTally), an entry's encryption cannot be read or
    // the archive's layout cannot be trusted (LayoutProblem); stops at the first failure
    // (ExtractTo), the files written before it staying; Done, when given, gets how many jobs
    // were written.
    TResult<void> Extract(const QVector<TZipExtraction>& jobs, int* done = nullptr);

    // Adds each existing regular file under its entry name, replacing the entries of that name
    // (the last file given for a name wins) and writes the archive. Files that do not exist or
    // are no regular file are passed over, as is the archive itself. Fails, leaving the archive
    // as it was, when a file cannot be read, the write fails or is cancelled.
    TResult<void> AddFiles(const QVector<TZipSource>& files);
    // Removes the entries of those indexes and writes the archive. Fails as AddFiles.
    TResult<void> Delete(const QVector<int>& indexes);
    TResult<void> DeleteAll();

    // Writes the 22-byte empty archive to FileName, replacing whatever file is there. Fails,
    // leaving the old file, when it cannot be written.
    static TResult<void> CreateEmpty(const QString& fileName);

private:
    struct TZip;
    TResult<void> Reopen();
    TResult<void> ListEntries();
    TResult<void> Commit(TZipOperation operation);
    TResult<void> ExtractOne(int index, const QString& target, qint64 doneBefore, qint64 total);
    TError EntryError(TErrorCode code, int index, const QString& reason) const;
    TError ArchiveError(TErrorCode code, const QString& reason) const;

    std::unique_ptr<TZip> FZip;
    QString FFileName;
    QVector<TZipEntry> FEntries;
    QByteArray FKeptPassword;
    bool FHasKeptPassword = false;
    QSet<QString> FSwept;   // target folders rid of stale temporaries since the archive opened
    QString FLayoutProblem; // why the entries' data cannot be trusted; empty when it can
    TProgressCallback FProgress;
    TPasswordCallback FPassword;
    TFreeSpaceFunction FFreeSpace;
};

// The free space a run of writes needs, judged as the run writes: each file is written beside
// its target and renamed over it, and only then gives the replaced file's blocks back. Fed the
// run's files in write order, it keeps per file system the running total and its peak, each
// file in whole blocks; it keeps the file system of each folder, and what was written over each
// replaced file (replaced again, it gives back that copy, not the old file).
class TSpaceTally final
{
public:
    // FreeSpace replaces the system's figure (tests).
    explicit TSpaceTally(TZipArchive::TFreeSpaceFunction freeSpace = nullptr);
    // Bytes are written to Target, replacing what is there.
    void Add(const QString& target, qint64 bytes);
    // Fails (ecFailed, naming the folder and the figures) when a file system's peak exceeds its
    // free space.
    TResult<void> Check() const;

private:
    struct TFileSystem
    {
        QString Folder; // the first target folder on it
        qint64 Running = 0;
        qint64 Peak = 0;
    };
    TZipArchive::TFreeSpaceFunction FFreeSpace;
    QHash<QString, qsizetype> FSystemOfFolder; // index into FSystems
    QHash<QString, qsizetype> FSystemOfRoot;
    QVector<TFileSystem> FSystems;
    QHash<size_t, qint64> FReplaced; // a replaced file's path hash -> the blocks written over it
};

// The file-name part of a stored name: the text after its last "/", "\" or ":".
QString EntryFileName(const QString& entryName);
