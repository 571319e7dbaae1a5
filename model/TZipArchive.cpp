#include "TZipArchive.h"

#include "AtomicFile.h"
#include "FolderScan.h"
#include "uKOVA_Misc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStorageInfo>

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

namespace {

// Large enough that the file system sees few writes, small enough to stay in the caches.
constexpr qint64 KChunkSize = 256 * 1024;
constexpr int KPasswordAttempts = 3;
// How often libzip reports while it writes an archive (as a fraction of the whole).
constexpr double KWritePrecision = 0.005;

// End of central directory with no entries: the whole of an empty archive.
const QByteArray KEmptyArchive = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');

QString ZipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString ZipErrorText(zip_error_t* error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

int Percent(qint64 done, qint64 total)
{
    if (total <= 0)
        return 100;
    return int(qBound(qint64(0), done * 100 / total, qint64(100)));
}

QString FolderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// The nearest folder of Path that exists.
QString ExistingFolder(const QString& path)
{
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!QFileInfo(existing).isDir() && existing != QDir::rootPath())
        existing = FolderOf(existing);
    return existing;
}

// The free bytes of the file system Folder is (or would be) on.
qint64 FileSystemFreeSpace(const QString& folder)
{
    const QStorageInfo storage(ExistingFolder(folder));
    const qint64 available = storage.isValid() ? storage.bytesAvailable() : -1;
    return available < 0 ? std::numeric_limits<qint64>::max() : available;
}

// Renames the written temporary over its target. A file that replaces another waits for the
// disk first, so that a crash leaves the old file or the whole new one; a new file can be
// extracted again, and waiting for each of thousands of small files would cost more than the
// extraction.
bool Place(TAtomicWriter& writer, QString& error)
{
    const QFileInfo target(writer.Target());
    if (target.exists() || target.isSymLink())
        return writer.Commit(&error);
    if (!writer.Close(&error))
        return false;
    std::error_code code;
    std::filesystem::rename(QFile::encodeName(writer.TemporaryPath()).toStdString(),
                            QFile::encodeName(writer.Target()).toStdString(), code);
    if (!code)
        return true;
    error = QString::fromLocal8Bit(code.message().c_str());
    QFile::remove(writer.TemporaryPath());
    return false;
}

// Little-endian fields of the archive's own records.
quint64 Get(const QByteArray& bytes, qsizetype at, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

// Where an entry's bytes lie in the file: its local header, name, extra field and compressed
// data.
struct TSpan
{
    quint64 Begin = 0;
    quint64 End = 0;
    QByteArray Name;
};

// The central directory: the end record found from the file's end (the one nearest to it whose
// directory reads whole), with its Zip64 form where the classic fields overflowed.
bool ReadDirectory(QFile& file, quint64& offset, QByteArray& directory, quint64& count)
{
    const quint64 fileSize = quint64(file.size());
    const qint64 tailSize = qint64(qMin<quint64>(fileSize, 22 + 0xffff + 20));
    if (tailSize < 22 || !file.seek(qint64(fileSize) - tailSize))
        return false;
    const QByteArray tail = file.read(tailSize);
    if (tail.size() != tailSize)
        return false;
    const QByteArray signature("PK\x05\x06", 4);
    for (qsizetype at = tail.lastIndexOf(signature, tail.size() - 22); at >= 0;
         at = at > 0 ? tail.lastIndexOf(signature, at - 1) : -1) {
        const quint64 endAt = fileSize - quint64(tailSize) + quint64(at);
        count = Get(tail, at + 10, 2);
        quint64 size = Get(tail, at + 12, 4);
        offset = Get(tail, at + 16, 4);
        if ((count == 0xffff || size == 0xffffffff || offset == 0xffffffff) && at >= 20 &&
            Get(tail, at - 20, 4) == 0x07064b50) {
            const quint64 recordAt = Get(tail, at - 20 + 8, 8);
            QByteArray record;
            if (recordAt + 56 <= endAt && file.seek(qint64(recordAt)))
                record = file.read(56);
            if (record.size() != 56 || Get(record, 0, 4) != 0x06064b50)
                continue;
            count = Get(record, 32, 8);
            size = Get(record, 40, 8);
            offset = Get(record, 48, 8);
        }
        if (offset > endAt || size > endAt - offset || !file.seek(qint64(offset)))
            continue;
        directory = file.read(qint64(size));
        if (quint64(directory.size()) == size)
            return true;
    }
    return false;
}

// Why the entries' data cannot be trusted to lie apart; empty when it can. An archive whose
// directory records share one entry's bytes (or point into the directory) makes every record
// inflate those bytes again: a small file that fills a disk. libzip reads each entry where its
// record says and does not look for this.
QString DataLayoutProblem(const QString& fileName, qint64 entries)
{
    QFile file(fileName);
    quint64 directoryAt = 0;
    quint64 count = 0;
    QByteArray directory;
    if (!file.open(QIODevice::ReadOnly) || !ReadDirectory(file, directoryAt, directory, count))
        return QStringLiteral("its directory of entries cannot be read");
    if (count != quint64(entries))
        return QStringLiteral("its directory lists %1 entries, not %2").arg(count).arg(entries);
    const quint64 fileSize = quint64(file.size());
    std::vector<TSpan> spans;
    spans.reserve(size_t(count));
    qsizetype at = 0;
    for (quint64 i = 0; i < count; ++i) {
        if (at + 46 > directory.size() || Get(directory, at, 4) != 0x02014b50)
            return QStringLiteral("its directory of entries is damaged");
        quint64 compressed = Get(directory, at + 20, 4);
        quint64 size = Get(directory, at + 24, 4);
        quint64 local = Get(directory, at + 42, 4);
        const qsizetype nameLength = qsizetype(Get(directory, at + 28, 2));
        const qsizetype extraLength = qsizetype(Get(directory, at + 30, 2));
        const qsizetype commentLength = qsizetype(Get(directory, at + 32, 2));
        const qsizetype next = at + 46 + nameLength + extraLength + commentLength;
        if (next > directory.size())
            return QStringLiteral("its directory of entries is damaged");
        // The Zip64 field holds, in this order, what overflowed.
        for (qsizetype extra = at + 46 + nameLength;
             extra + 4 <= at + 46 + nameLength + extraLength;) {
            const quint64 id = Get(directory, extra, 2);
            const qsizetype length = qsizetype(Get(directory, extra + 2, 2));
            qsizetype field = extra + 4;
            const qsizetype fieldEnd = qMin(field + length, at + 46 + nameLength + extraLength);
            if (id == 0x0001) {
                for (quint64* value : {&size, &compressed, &local}) {
                    if (*value == 0xffffffff && field + 8 <= fieldEnd) {
                        *value = Get(directory, field, 8);
                        field += 8;
                    }
                }
            }
            extra += 4 + length;
        }
        TSpan span;
        span.Name = directory.mid(at + 46, nameLength);
        span.Begin = local;
        span.End = local + 30;
        QByteArray header;
        if (local + 30 <= fileSize && file.seek(qint64(local)))
            header = file.read(30);
        // An entry whose header is missing fails when it is read; its data cannot be placed.
        if (header.size() == 30 && Get(header, 0, 4) == 0x04034b50)
            span.End = local + 30 + Get(header, 26, 2) + Get(header, 28, 2) + compressed;
        if (span.End < span.Begin || span.End > fileSize)
            return QStringLiteral("the data of entry \"%1\" runs past the end of the file")
                .arg(QString::fromUtf8(span.Name));
        if (span.End > directoryAt)
            return QStringLiteral("the data of entry \"%1\" runs into the directory of entries")
                .arg(QString::fromUtf8(span.Name));
        spans.push_back(span);
        at = next;
    }
    std::sort(spans.begin(), spans.end(),
              [](const TSpan& a, const TSpan& b) { return a.Begin < b.Begin; });
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].Begin < spans[i - 1].End)
            return QStringLiteral("the entries \"%1\" and \"%2\" share their data (an archive made "
                                  "to fill the disk)")
                .arg(QString::fromUtf8(spans[i - 1].Name), QString::fromUtf8(spans[i].Name));
    }
    return QString();
}

// What the write callbacks of libzip need.
struct TWriteState
{
    const TZipArchive::TProgressCallback* Progress = nullptr;
    TZipOperation Operation = TZipOperation::zoAdding;
    QStringList Names; // the entries in the order libzip writes them
    bool Cancelled = false;
};

void WriteProgress(zip_t*, double fraction, void* data)
{
    auto* state = static_cast<TWriteState*>(data);
    if (!*state->Progress || state->Cancelled)
        return;
    TZipProgress progress;
    progress.Operation = state->Operation;
    // libzip gives each entry an equal share of the whole.
    const double position = qBound(0.0, fraction, 1.0) * double(state->Names.size());
    const int entry = qMin(int(position), int(state->Names.size()) - 1);
    if (entry >= 0) {
        progress.Entry = state->Names.at(entry);
        progress.ItemPercent = qBound(0, int((position - entry) * 100), 100);
    }
    progress.OverallPercent = qBound(0, int(fraction * 100), 100);
    if (!(*state->Progress)(progress))
        state->Cancelled = true;
}

int WriteCancelled(zip_t*, void* data)
{
    return static_cast<TWriteState*>(data)->Cancelled ? 1 : 0;
}

} // namespace

struct TZipArchive::TZip
{
    zip_t* Archive = nullptr;
    ~TZip()
    {
        if (Archive)
            zip_discard(Archive);
    }
};

double TZipEntry::CompressionRatio() const
{
    if (IsStored || Size <= 0)
        return 0.0;
    return 100.0 * (1.0 - double(CompressedSize) / double(Size));
}

QString EntryFileName(const QString& entryName)
{
    qsizetype cut = -1;
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        cut = qMax(cut, entryName.lastIndexOf(separator));
    return entryName.mid(cut + 1);
}

TZipArchive::TZipArchive()
    : FFreeSpace(FileSystemFreeSpace)
{}

TZipArchive::~TZipArchive() = default;

bool TZipArchive::IsOpen() const
{
    return FZip != nullptr;
}

TError TZipArchive::ArchiveError(TErrorCode code, const QString& reason) const
{
    return TError{code, QStringLiteral("Archive \"%1\": %2").arg(FFileName, reason), FFileName};
}

TError TZipArchive::EntryError(TErrorCode code, int index, const QString& reason) const
{
    const QString entry =
        index >= 0 && index < Count() ? FEntries.at(index).Name : QStringLiteral("#%1").arg(index);
    return TError{code,
                  QStringLiteral("Archive \"%1\", entry \"%2\": %3").arg(FFileName, entry, reason),
                  FFileName};
}

TResult<void> TZipArchive::Open(const QString& fileName)
{
    Close();
    FFileName = fileName;
    const TResult<void> opened = Reopen();
    if (!opened)
        FFileName.clear();
    return opened;
}

void TZipArchive::Close()
{
    FZip.reset();
    FEntries.clear();
    FLayoutProblem.clear();
    FKeptPassword.clear();
    FHasKeptPassword = false;
    FSwept.clear();
}

TResult<void> TZipArchive::Reopen()
{
    FZip.reset();
    FEntries.clear();
    if (!QFileInfo(FFileName).isFile())
        return ArchiveError(TErrorCode::ecNotFound, QStringLiteral("no such file"));
    const QByteArray path = QFile::encodeName(FFileName);
    int code = 0;
    zip_t* archive = zip_open(path.constData(), 0, &code);
    // A file we may not write can still be read.
    if (!archive && (code == ZIP_ER_OPEN || code == ZIP_ER_RDONLY))
        archive = zip_open(path.constData(), ZIP_RDONLY, &code);
    if (!archive)
        return ArchiveError(code == ZIP_ER_NOENT ? TErrorCode::ecNotFound : TErrorCode::ecInvalid,
                            ZipErrorText(code));
    FZip = std::make_unique<TZip>();
    FZip->Archive = archive;
    const TResult<void> listed = ListEntries();
    if (!listed) {
        FZip.reset();
        FEntries.clear();
        return listed;
    }
    FLayoutProblem = DataLayoutProblem(FFileName, Count());
    return listed;
}

TResult<void> TZipArchive::ListEntries()
{
    zip_t* archive = FZip->Archive;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0)
        return ArchiveError(TErrorCode::ecInvalid, ZipErrorText(zip_get_error(archive)));
    FEntries.reserve(count);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS, &stat) != 0)
            return ArchiveError(TErrorCode::ecInvalid, ZipErrorText(zip_get_error(archive)));
        TZipEntry entry;
        entry.Name = QString::fromUtf8(stat.name);
        entry.CompressedSize = qint64(stat.comp_size);
        entry.Size = qint64(stat.size);
        entry.Crc = stat.crc;
        if (stat.valid & ZIP_STAT_MTIME)
            entry.Modified = QDateTime::fromSecsSinceEpoch(stat.mtime);
        entry.IsFolder = entry.Name.endsWith(QLatin1Char('/'));
        entry.IsEncrypted = stat.encryption_method != ZIP_EM_NONE;
        entry.IsStored = stat.comp_method == ZIP_CM_STORE;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive, zip_uint64_t(i), 0, &system, &attributes) ==
                0 &&
            system == ZIP_OPSYS_UNIX)
            entry.IsLink = ((attributes >> 16) & 0170000) == 0120000;
        FEntries.append(entry);
    }
    return {};
}

QString TZipArchive::FlatName(int index) const
{
    if (index < 0 || index >= Count())
        return QString();
    const TZipEntry& entry = FEntries.at(index);
    if (entry.IsFolder || entry.IsLink)
        return QString();
    const QString name = EntryFileName(entry.Name);
    return SafeFileName(name) ? name : QString();
}

TResult<void> TZipArchive::ExtractTo(int index, const QString& target)
{
    return Extract({TZipExtraction{index, target}});
}

TResult<void> TZipArchive::Extract(const QVector<TZipExtraction>& jobs, int* done)
{
    if (done)
        *done = 0;
    if (!IsOpen())
        return ArchiveError(TErrorCode::ecInvalid, QStringLiteral("the archive is not open"));
    qint64 total = 0;
    for (const TZipExtraction& job : jobs) {
        if (job.Index < 0 || job.Index >= Count())
            return EntryError(TErrorCode::ecInvalid, job.Index, QStringLiteral("no such entry"));
        const TZipEntry& entry = FEntries.at(job.Index);
        if (entry.IsFolder || entry.IsLink)
            return EntryError(TErrorCode::ecInvalid, job.Index,
                              entry.IsFolder ? QStringLiteral("a folder is not extracted")
                                             : QStringLiteral("a link is not extracted"));
        if (job.Target.isEmpty())
            return EntryError(TErrorCode::ecInvalid, job.Index, QStringLiteral("no target"));
        total += entry.Size;
    }
    if (!FLayoutProblem.isEmpty())
        return ArchiveError(TErrorCode::ecInvalid,
                            FLayoutProblem + QStringLiteral("; nothing was extracted"));
    // Declared sizes are all an archive promises: the read loop holds each entry to its own.
    QVector<TSpaceNeed> needs;
    needs.reserve(jobs.size());
    for (const TZipExtraction& job : jobs)
        needs.append(TSpaceNeed{FolderOf(job.Target), FEntries.at(job.Index).Size});
    if (const TResult<void> fits = CheckFreeSpace(needs, FFreeSpace); !fits)
        return ArchiveError(fits.Error().Code, fits.Error().Message);
    qint64 bytesDone = 0;
    for (const TZipExtraction& job : jobs) {
        const TResult<void> extracted = ExtractOne(job.Index, job.Target, bytesDone, total);
        if (!extracted)
            return extracted;
        bytesDone += FEntries.at(job.Index).Size;
        if (done)
            ++*done;
    }
    return {};
}

TResult<void> TZipArchive::ExtractOne(int index, const QString& target, qint64 doneBefore,
                                      qint64 total)
{
    const TZipEntry& entry = FEntries.at(index);
    const auto report = [&](qint64 written) {
        if (!FProgress)
            return true;
        return FProgress(TZipProgress{TZipOperation::zoExtracting, entry.Name,
                                      Percent(written, entry.Size),
                                      Percent(doneBefore + written, total)});
    };
    if (!report(0))
        return EntryError(TErrorCode::ecCancelled, index, QStringLiteral("cancelled"));
    if (QFileInfo(target).isDir() && !QFileInfo(target).isSymLink())
        return EntryError(TErrorCode::ecFailed, index,
                          QStringLiteral("\"%1\" is a folder").arg(target));
    if (!QDir().mkpath(FolderOf(target)))
        return EntryError(TErrorCode::ecFailed, index,
                          QStringLiteral("cannot make the folder \"%1\"").arg(FolderOf(target)));

    zip_t* archive = FZip->Archive;
    zip_file_t* file = nullptr;
    QByteArray password;
    if (!entry.IsEncrypted) {
        file = zip_fopen_index(archive, zip_uint64_t(index), 0);
    } else {
        // The kept password first; then the user's, a few times.
        int attempt = FHasKeptPassword ? 0 : 1;
        for (; attempt <= KPasswordAttempts && !file; ++attempt) {
            if (attempt == 0) {
                password = FKeptPassword;
            } else {
                QString text;
                if (!FPassword || !FPassword(entry.Name, attempt, text))
                    return EntryError(TErrorCode::ecCancelled, index,
                                      QStringLiteral("no password was given"));
                password = text.toUtf8();
            }
            file = zip_fopen_index_encrypted(archive, zip_uint64_t(index), 0, password.constData());
            if (!file && zip_error_code_zip(zip_get_error(archive)) != ZIP_ER_WRONGPASSWD)
                break;
        }
    }
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        return EntryError(code == ZIP_ER_WRONGPASSWD ? TErrorCode::ecInvalid : TErrorCode::ecFailed,
                          index, ZipErrorText(zip_get_error(archive)));
    }
    const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);

    // Each folder's leftovers of killed writers are swept once while the archive is open, not
    // once per entry.
    const QString folder = FolderOf(target);
    if (!FSwept.contains(folder)) {
        RemoveStaleTemporaries(folder);
        FSwept.insert(folder);
    }
    TAtomicWriter writer(target);
    writer.SetSweep(false);
    QString error;
    if (!writer.Open(&error))
        return EntryError(TErrorCode::ecFailed, index,
                          QStringLiteral("cannot write beside \"%1\": %2").arg(target, error));
    std::vector<char> buffer(KChunkSize);
    qint64 written = 0;
    for (;;) {
        const zip_int64_t read = zip_fread(file, buffer.data(), buffer.size());
        if (read < 0)
            return EntryError(TErrorCode::ecFailed, index,
                              QString::fromUtf8(zip_file_strerror(file)));
        if (read == 0)
            break;
        written += read;
        if (written > entry.Size)
            return EntryError(
                TErrorCode::ecInvalid, index,
                QStringLiteral("it holds more than its declared %1 bytes").arg(entry.Size));
        if (!writer.Write(buffer.data(), read, &error))
            return EntryError(TErrorCode::ecFailed, index,
                              QStringLiteral("cannot write \"%1\": %2").arg(target, error));
        if (!report(written))
            return EntryError(TErrorCode::ecCancelled, index, QStringLiteral("cancelled"));
    }
    if (written != entry.Size)
        return EntryError(
            TErrorCode::ecInvalid, index,
            QStringLiteral("it holds %1 bytes, not its declared %2").arg(written).arg(entry.Size));
    writer.SetModificationTime(entry.Modified);
    if (!Place(writer, error))
        return EntryError(TErrorCode::ecFailed, index,
                          QStringLiteral("cannot write \"%1\": %2").arg(target, error));
    if (entry.IsEncrypted) {
        FKeptPassword = password;
        FHasKeptPassword = true;
    }
    return {};
}

TResult<void> TZipArchive::AddFiles(const QVector<TZipSource>& files)
{
    if (!IsOpen())
        return ArchiveError(TErrorCode::ecInvalid, QStringLiteral("the archive is not open"));
    TFileId archiveId;
    const bool haveArchiveId = GetFileId(FFileName, archiveId);
    QStringList names; // in the order first given
    QHash<QString, QString> fileOf;
    for (const TZipSource& source : files) {
        if (!QFileInfo(source.File).isFile())
            continue;
        TFileId id;
        if (haveArchiveId && GetFileId(source.File, id) && id == archiveId)
            continue;
        if (source.EntryName.isEmpty())
            return ArchiveError(TErrorCode::ecInvalid,
                                QStringLiteral("no entry name for \"%1\"").arg(source.File));
        if (!fileOf.contains(source.EntryName))
            names << source.EntryName;
        fileOf.insert(source.EntryName, source.File);
    }
    if (names.isEmpty())
        return {};
    // libzip reads the files only while it writes; a file it cannot read would fail the write
    // late and without a name.
    for (const QString& name : names) {
        QFile probe(fileOf.value(name));
        if (!probe.open(QIODevice::ReadOnly))
            return ArchiveError(TErrorCode::ecFailed,
                                QStringLiteral("cannot read \"%1\": %2")
                                    .arg(probe.fileName(), probe.errorString()));
    }
    zip_t* archive = FZip->Archive;
    const QSet<QString> added(names.begin(), names.end());
    for (int i = 0; i < Count(); ++i) {
        if (added.contains(FEntries.at(i).Name))
            zip_delete(archive, zip_uint64_t(i));
    }
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(fileOf.value(name));
        zip_source_t* source = zip_source_file(archive, path.constData(), 0, -1);
        if (!source ||
            zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            const TError error =
                ArchiveError(TErrorCode::ecFailed, QStringLiteral("cannot add \"%1\" as \"%2\": %3")
                                                       .arg(fileOf.value(name), name,
                                                            ZipErrorText(zip_get_error(archive))));
            if (source)
                zip_source_free(source);
            const TResult<void> reopened = Reopen(); // drops the changes made so far
            (void)reopened;
            return error;
        }
    }
    return Commit(TZipOperation::zoAdding);
}

TResult<void> TZipArchive::Delete(const QVector<int>& indexes)
{
    if (!IsOpen())
        return ArchiveError(TErrorCode::ecInvalid, QStringLiteral("the archive is not open"));
    bool any = false;
    for (const int index : indexes) {
        if (index >= 0 && index < Count() && zip_delete(FZip->Archive, zip_uint64_t(index)) == 0)
            any = true;
    }
    return any ? Commit(TZipOperation::zoDeleting) : TResult<void>();
}

TResult<void> TZipArchive::DeleteAll()
{
    QVector<int> all(Count());
    for (int i = 0; i < Count(); ++i)
        all[i] = i;
    if (!IsOpen())
        return ArchiveError(TErrorCode::ecInvalid, QStringLiteral("the archive is not open"));
    return all.isEmpty() ? TResult<void>() : Delete(all);
}

TResult<void> TZipArchive::Commit(TZipOperation operation)
{
    zip_t* archive = FZip->Archive;
    TWriteState state;
    state.Progress = &FProgress;
    state.Operation = operation;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS))
            state.Names << QString::fromUtf8(name);
    }
    TResult<void> result;
    if (state.Names.isEmpty()) {
        // libzip would remove an archive left without entries; the user asked for an empty one.
        result = CreateEmpty(FFileName);
    } else {
        zip_register_progress_callback_with_state(archive, KWritePrecision, WriteProgress, nullptr,
                                                  &state);
        zip_register_cancel_callback_with_state(archive, WriteCancelled, nullptr, &state);
        // libzip's new file has the mode of a fresh temporary; the archive keeps its own.
        const QFileDevice::Permissions permissions = QFile::permissions(FFileName);
        if (zip_close(archive) == 0) {
            FZip->Archive = nullptr; // freed by the close
            QFile::setPermissions(FFileName, permissions);
        } else {
            const int code = zip_error_code_zip(zip_get_error(archive));
            result = ArchiveError(
                code == ZIP_ER_CANCELLED ? TErrorCode::ecCancelled : TErrorCode::ecFailed,
                code == ZIP_ER_CANCELLED ? QStringLiteral("cancelled; the archive is unchanged")
                                         : ZipErrorText(zip_get_error(archive)) +
                                               QStringLiteral("; the archive is unchanged"));
        }
    }
    const TResult<void> reopened = Reopen(); // discards what was not written
    if (!result)
        return result;
    return reopened;
}

TResult<void> TZipArchive::CreateEmpty(const QString& fileName)
{
    QString error;
    if (!WriteFileAtomically(fileName, KEmptyArchive, &error))
        return TError{TErrorCode::ecFailed,
                      QStringLiteral("Archive \"%1\": %2").arg(fileName, error), fileName};
    return {};
}

TResult<void> CheckFreeSpace(const QVector<TSpaceNeed>& needs,
                             const TZipArchive::TFreeSpaceFunction& freeSpace)
{
    // Each file takes whole blocks, and the smallest files would otherwise count for nothing.
    constexpr qint64 KBlock = 4096;
    struct TFileSystem
    {
        QString Folder; // the first target folder on it
        qint64 Bytes = 0;
    };
    QHash<QString, QString> rootOf; // target folder -> its file system's root
    QHash<QString, TFileSystem> systems;
    QStringList order;
    for (const TSpaceNeed& need : needs) {
        auto root = rootOf.constFind(need.Folder);
        if (root == rootOf.cend())
            root = rootOf.insert(need.Folder, QStorageInfo(ExistingFolder(need.Folder)).rootPath());
        TFileSystem& system = systems[*root];
        if (system.Folder.isEmpty()) {
            system.Folder = need.Folder;
            order << *root;
        }
        system.Bytes += (qMax<qint64>(need.Bytes, 0) + KBlock - 1) / KBlock * KBlock;
    }
    for (const QString& root : std::as_const(order)) {
        const TFileSystem& system = systems.value(root);
        const qint64 available =
            freeSpace ? freeSpace(system.Folder) : FileSystemFreeSpace(system.Folder);
        if (system.Bytes > available)
            return TError{TErrorCode::ecFailed,
                          QStringLiteral("the files need %1 bytes, but \"%2\" has only %3 bytes "
                                         "free; nothing was written")
                              .arg(system.Bytes)
                              .arg(system.Folder)
                              .arg(available),
                          system.Folder};
    }
    return {};
}
