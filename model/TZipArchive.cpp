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
#include <QtNumeric>

#include <zip.h>
#include <zlib.h>

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
    return qBound(0, int(double(done) * 100.0 / double(total)), 100);
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

// The bytes given back when Target is replaced: a regular file's own, unless another hard link
// keeps them (a link at the target is replaced, not what it points to).
qint64 ReplacedBytes(const QString& target)
{
    const QFileInfo info(target);
    if (info.isSymLink() || !info.isFile())
        return 0;
    std::error_code code;
    const auto links =
        std::filesystem::hard_link_count(QFile::encodeName(target).toStdString(), code);
    return !code && links == 1 ? info.size() : 0;
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

// Sums and products of sizes an archive declares: they may be anything, so they stop at the
// largest value rather than wrap.
qint64 SaturatedSum(qint64 a, qint64 b)
{
    qint64 sum = 0;
    return qAddOverflow(a, b, &sum)
               ? (b < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max())
               : sum;
}

qint64 SaturatedProduct(qint64 a, qint64 b)
{
    qint64 product = 0;
    return qMulOverflow(a, b, &product) ? std::numeric_limits<qint64>::max() : product;
}

qint64 Clamped(zip_uint64_t value)
{
    return qint64(qMin<zip_uint64_t>(value, zip_uint64_t(std::numeric_limits<qint64>::max())));
}

// The most bytes a method can make of Compressed bytes, with room to spare where the figure is
// not exact. Deflate spends at least two bits on a 258-byte match; bzip2 reaches about 1.4
// million to one, Deflate64, LZMA, XZ and zstd stay below 65536 to one. A method we do not know
// gets the largest, so that no declared size is without bound.
qint64 MostBytesFrom(quint16 method, qint64 compressed)
{
    qint64 factor = qint64(1) << 22;
    switch (method) {
    case ZIP_CM_STORE:
        factor = 1;
        break;
    case ZIP_CM_DEFLATE:
        factor = 1032;
        break;
    case ZIP_CM_DEFLATE64:
    case ZIP_CM_LZMA:
    case ZIP_CM_LZMA2:
    case ZIP_CM_XZ:
    case 93: // zstd
        factor = qint64(1) << 16;
        break;
    default:
        break;
    }
    return SaturatedProduct(compressed, factor);
}

// Little-endian fields of the archive's own records.
quint64 Get(const QByteArray& bytes, qsizetype at, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

// Where an end record says the central directory lies.
struct TDirectory
{
    quint64 At = 0;
    quint64 Size = 0;
    quint64 Count = 0; // of entries
    bool Zip64 = false;
};

// The directories the end records in the file's tail name, as libzip reads an end record: in
// its Zip64 form whenever a locator precedes it, and only when its counts of entries on this
// disk and in all agree. A comment may hold an end record's signature: what such a record names
// is one more candidate, never taken on its own word.
QVector<TDirectory> FindDirectories(QFile& file)
{
    QVector<TDirectory> found;
    const quint64 fileSize = quint64(file.size());
    const qint64 tailSize = qint64(qMin<quint64>(fileSize, 22 + 0xffff + 20));
    if (tailSize < 22 || !file.seek(qint64(fileSize) - tailSize))
        return found;
    const QByteArray tail = file.read(tailSize);
    if (tail.size() != tailSize)
        return found;
    const QByteArray signature("PK\x05\x06", 4);
    for (qsizetype at = tail.indexOf(signature); at >= 0 && at + 22 <= tail.size();
         at = tail.indexOf(signature, at + 1)) {
        const quint64 endAt = fileSize - quint64(tailSize) + quint64(at);
        if (Get(tail, at + 20, 2) > quint64(tail.size() - at - 22))
            continue; // its comment would run past the file
        TDirectory directory;
        quint64 onDisk = 0;
        quint64 limit = endAt; // the directory ends before the record that names it
        if (at >= 20 && Get(tail, at - 20, 4) == 0x07064b50) {
            const quint64 recordAt = Get(tail, at - 20 + 8, 8);
            QByteArray record;
            if (recordAt <= endAt - 20 && endAt - 20 - recordAt >= 56 &&
                file.seek(qint64(recordAt)))
                record = file.read(56);
            if (record.size() != 56 || Get(record, 0, 4) != 0x06064b50)
                continue;
            onDisk = Get(record, 24, 8);
            directory.Count = Get(record, 32, 8);
            directory.Size = Get(record, 40, 8);
            directory.At = Get(record, 48, 8);
            directory.Zip64 = true;
            limit = recordAt;
        } else {
            onDisk = Get(tail, at + 8, 2);
            directory.Count = Get(tail, at + 10, 2);
            directory.Size = Get(tail, at + 12, 4);
            directory.At = Get(tail, at + 16, 4);
        }
        if (onDisk == directory.Count && directory.At <= limit &&
            directory.Size <= limit - directory.At)
            found.append(directory);
    }
    return found;
}

// Where an entry's bytes lie in the file: its local header, name, extra field and compressed
// data.
struct TSpan
{
    quint64 Begin = 0;
    quint64 End = 0;
    int Index = 0;
};

// Reads the central records at At, one at a time, as long as they are the entries libzip lists:
// for each index the same name, sizes and checksum, up to libzip's count. Fills Spans with
// where each record places its local header and the bytes the records take; -1 when they are
// not libzip's (another directory, or records libzip reads otherwise).
qint64 ReadRecords(QFile& file, quint64 at, zip_t* archive, int count, std::vector<TSpan>& spans)
{
    spans.clear();
    if (!file.seek(qint64(at)))
        return -1;
    qint64 length = 0;
    for (int index = 0; index < count; ++index) {
        const QByteArray fixed = file.read(46);
        if (fixed.size() != 46 || Get(fixed, 0, 4) != 0x02014b50)
            return -1;
        const qsizetype nameLength = qsizetype(Get(fixed, 28, 2));
        const qsizetype extraEnd = nameLength + qsizetype(Get(fixed, 30, 2));
        const qint64 variableLength = extraEnd + qint64(Get(fixed, 32, 2));
        const QByteArray variable = file.read(variableLength);
        if (variable.size() != variableLength)
            return -1;
        quint64 compressed = Get(fixed, 20, 4);
        quint64 size = Get(fixed, 24, 4);
        quint64 local = Get(fixed, 42, 4);
        QByteArrayView name = QByteArrayView(variable).first(nameLength);
        // The Zip64 field holds, in this order, what overflowed; a Unicode path field whose
        // checksum is the stored name's gives the name libzip reports (tools of Windows store a
        // code page name beside it).
        for (qsizetype extra = nameLength; extra + 4 <= extraEnd;) {
            const quint64 id = Get(variable, extra, 2);
            const qsizetype fieldLength = qsizetype(Get(variable, extra + 2, 2));
            qsizetype field = extra + 4;
            const qsizetype fieldEnd = qMin(field + fieldLength, extraEnd);
            if (id == 0x0001) {
                for (quint64* value : {&size, &compressed, &local}) {
                    if (*value == 0xffffffff && field + 8 <= fieldEnd) {
                        *value = Get(variable, field, 8);
                        field += 8;
                    }
                }
            } else if (id == 0x7075 && field + 5 <= fieldEnd && variable.at(field) == 1 &&
                       Get(variable, field + 1, 4) ==
                           crc32(0, reinterpret_cast<const Bytef*>(variable.constData()),
                                 uInt(nameLength))) {
                name = QByteArrayView(variable).sliced(field + 5, fieldEnd - field - 5);
            }
            extra += 4 + fieldLength;
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, zip_uint64_t(index), ZIP_FL_ENC_RAW, &stat) != 0 ||
            !stat.name || QByteArrayView(stat.name) != name || stat.comp_size != compressed ||
            stat.size != size || stat.crc != quint32(Get(fixed, 16, 4)))
            return -1;
        spans.push_back(TSpan{local, compressed, index});
        length += 46 + variableLength;
    }
    return length;
}

// Why the entries' data, placed as Spans say, cannot be trusted; empty when it can. Each span
// holds the compressed size in End until its local header is read.
QString SpanProblem(QFile& file, quint64 directoryAt, std::vector<TSpan>& spans,
                    const QVector<TZipEntry>& entries)
{
    const quint64 fileSize = quint64(file.size());
    std::sort(spans.begin(), spans.end(),
              [](const TSpan& a, const TSpan& b) { return a.Begin < b.Begin; });
    for (TSpan& span : spans) {
        const QString& name = entries.at(span.Index).Name;
        QByteArray header;
        if (fileSize >= 30 && span.Begin <= fileSize - 30 && file.seek(qint64(span.Begin)))
            header = file.read(30);
        // libzip skips the name and extra field a header declares, signature or not.
        if (header.size() != 30 || Get(header, 0, 4) != 0x04034b50)
            return QStringLiteral("the local header of entry \"%1\" is missing").arg(name);
        const quint64 dataAt = span.Begin + 30 + Get(header, 26, 2) + Get(header, 28, 2);
        if (dataAt > fileSize || span.End > fileSize - dataAt)
            return QStringLiteral("the data of entry \"%1\" runs past the end of the file")
                .arg(name);
        span.End += dataAt;
        if (span.End > directoryAt)
            return QStringLiteral("the data of entry \"%1\" runs into the directory of entries")
                .arg(name);
    }
    for (size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].Begin < spans[i - 1].End)
            return QStringLiteral("the entries \"%1\" and \"%2\" share their data (an archive made "
                                  "to fill the disk)")
                .arg(entries.at(spans[i - 1].Index).Name, entries.at(spans[i].Index).Name);
    }
    return QString();
}

// Why the entries' data cannot be trusted; empty when it can. libzip reads each entry where its
// record says, skipping what the local header there declares, and looks no further: records
// that share one entry's bytes make each inflate them again, a small file that fills a disk; a
// size no data can make would lift the bound of what an entry writes. We read the directories
// the end records name and judge each that holds libzip's records; a directory libzip reads
// that none of them is makes the archive ambiguous.
QString DataLayoutProblem(zip_t* archive, const QString& fileName,
                          const QVector<TZipEntry>& entries)
{
    for (const TZipEntry& entry : entries) {
        if (entry.Size > MostBytesFrom(entry.Method, entry.CompressedSize))
            return QStringLiteral("entry \"%1\" declares %2 bytes, more than its %3 compressed "
                                  "bytes can hold (a damaged archive)")
                .arg(entry.Name)
                .arg(entry.Size)
                .arg(entry.CompressedSize);
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("its directory of entries cannot be read");
    // Whatever the directory says: entries that lie apart hold no more than the file.
    qint64 compressed = 0;
    for (const TZipEntry& entry : entries)
        compressed = SaturatedSum(compressed, entry.CompressedSize);
    if (compressed > file.size())
        return QStringLiteral("its entries claim %1 compressed bytes of a file of %2: they share "
                              "their data (an archive made to fill the disk)")
            .arg(compressed)
            .arg(file.size());
    const quint64 count = quint64(entries.size());
    // Each place is read once, however many end records name it; reading stops at the first
    // record that is not libzip's, so decoys cost little.
    QHash<quint64, qint64> lengthAt; // directory offset -> bytes of libzip's records there, or -1
    QSet<quint64> judged;
    std::vector<TSpan> spans;
    bool found = false;
    for (const TDirectory& directory : FindDirectories(file)) {
        // Zip tools that avoid Zip64 store the count of entries modulo 65536.
        if (directory.Count > count ||
            (directory.Count != count && (directory.Zip64 || (count - directory.Count) % 0x10000)))
            continue;
        auto length = lengthAt.constFind(directory.At);
        const bool fresh = length == lengthAt.cend(); // then Spans hold the records read there
        if (fresh)
            length = lengthAt.insert(directory.At,
                                     ReadRecords(file, directory.At, archive, int(count), spans));
        if (*length < 0 || quint64(*length) != directory.Size)
            continue;
        found = true;
        if (judged.contains(directory.At))
            continue;
        judged.insert(directory.At);
        if (!fresh)
            ReadRecords(file, directory.At, archive, int(count), spans);
        if (const QString problem = SpanProblem(file, directory.At, spans, entries);
            !problem.isEmpty())
            return problem;
    }
    if (!found)
        return QStringLiteral("its directory of entries is ambiguous (its end records name "
                              "another directory than the one listed)");
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
    FLayoutProblem = DataLayoutProblem(archive, FFileName, FEntries);
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
        entry.CompressedSize = Clamped(stat.comp_size);
        entry.Size = Clamped(stat.size);
        entry.Crc = stat.crc;
        if (stat.valid & ZIP_STAT_MTIME)
            entry.Modified = QDateTime::fromSecsSinceEpoch(stat.mtime);
        entry.IsFolder =
            entry.Name.endsWith(QLatin1Char('/')) || entry.Name.endsWith(QLatin1Char('\\'));
        entry.IsEncrypted = stat.encryption_method != ZIP_EM_NONE;
        entry.IsStored = stat.comp_method == ZIP_CM_STORE;
        entry.Method = stat.comp_method;
        entry.EncryptionMethod = stat.encryption_method;
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
        // libzip would refuse it only once opened, and keep memory for each such attempt.
        if (entry.IsEncrypted && !zip_encryption_method_supported(entry.EncryptionMethod, 0))
            return EntryError(TErrorCode::ecFailed, job.Index,
                              QStringLiteral("its encryption method is not supported"));
        total = SaturatedSum(total, entry.Size);
    }
    if (!FLayoutProblem.isEmpty())
        return ArchiveError(TErrorCode::ecInvalid,
                            FLayoutProblem + QStringLiteral("; nothing was extracted"));
    // Declared sizes are all an archive promises: the read loop holds each entry to its own.
    TSpaceTally tally(FFreeSpace);
    for (const TZipExtraction& job : jobs)
        tally.Add(job.Target, FEntries.at(job.Index).Size);
    if (const TResult<void> fits = tally.Check(); !fits)
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

    // Each folder's leftovers of killed writers are swept once while the archive is open, not
    // once per entry.
    const QString folder = FolderOf(target);
    if (!FSwept.contains(folder)) {
        RemoveStaleTemporaries(folder);
        FSwept.insert(folder);
    }
    // Reads the open entry into a temporary beside Target and puts it in place; DataBad tells a
    // fault of the entry's bytes from one of the disk.
    const auto copy = [&](zip_file_t* file, bool& dataBad) -> TResult<void> {
        dataBad = false;
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
            if (read < 0) {
                dataBad = true;
                return EntryError(TErrorCode::ecFailed, index,
                                  QString::fromUtf8(zip_file_strerror(file)));
            }
            if (read == 0)
                break;
            written += read;
            if (written > entry.Size) {
                dataBad = true;
                return EntryError(
                    TErrorCode::ecInvalid, index,
                    QStringLiteral("it holds more than its declared %1 bytes").arg(entry.Size));
            }
            if (!writer.Write(buffer.data(), read, &error))
                return EntryError(TErrorCode::ecFailed, index,
                                  QStringLiteral("cannot write \"%1\": %2").arg(target, error));
            if (!report(written))
                return EntryError(TErrorCode::ecCancelled, index, QStringLiteral("cancelled"));
        }
        if (written != entry.Size) {
            dataBad = true;
            return EntryError(TErrorCode::ecInvalid, index,
                              QStringLiteral("it holds %1 bytes, not its declared %2")
                                  .arg(written)
                                  .arg(entry.Size));
        }
        writer.SetModificationTime(entry.Modified);
        if (!Place(writer, error))
            return EntryError(TErrorCode::ecFailed, index,
                              QStringLiteral("cannot write \"%1\": %2").arg(target, error));
        return {};
    };

    zip_t* archive = FZip->Archive;
    if (!entry.IsEncrypted) {
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(index), 0);
        if (!file)
            return EntryError(TErrorCode::ecFailed, index, ZipErrorText(zip_get_error(archive)));
        const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
        bool dataBad = false;
        return copy(file, dataBad);
    }
    // The kept password first; then the user's, a few times. A wrong password passes the
    // format's quick check now and then (one in 256 for the traditional method): its data then
    // fails to inflate or to match its checksum, and the user is asked again.
    for (int attempt = FHasKeptPassword ? 0 : 1;; ++attempt) {
        QByteArray password = FKeptPassword;
        if (attempt > 0) {
            QString text;
            if (!FPassword || !FPassword(entry.Name, attempt, text))
                return EntryError(TErrorCode::ecCancelled, index,
                                  QStringLiteral("no password was given"));
            password = text.toUtf8();
        }
        const bool lastAttempt = attempt >= KPasswordAttempts;
        zip_file_t* file =
            zip_fopen_index_encrypted(archive, zip_uint64_t(index), 0, password.constData());
        if (!file) {
            const int code = zip_error_code_zip(zip_get_error(archive));
            if (code == ZIP_ER_WRONGPASSWD && !lastAttempt)
                continue;
            return EntryError(code == ZIP_ER_WRONGPASSWD ? TErrorCode::ecInvalid
                                                         : TErrorCode::ecFailed,
                              index, ZipErrorText(zip_get_error(archive)));
        }
        const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
        bool dataBad = false;
        const TResult<void> copied = copy(file, dataBad);
        if (copied) {
            FKeptPassword = password;
            FHasKeptPassword = true;
            return copied;
        }
        if (!dataBad || lastAttempt)
            return copied;
    }
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

TSpaceTally::TSpaceTally(TZipArchive::TFreeSpaceFunction freeSpace)
    : FFreeSpace(freeSpace ? std::move(freeSpace) : FileSystemFreeSpace)
{}

void TSpaceTally::Add(const QString& target, qint64 bytes)
{
    // Each file takes whole blocks, and the smallest files would otherwise count for nothing.
    constexpr qint64 KBlock = 4096;
    const auto blocks = [](qint64 size) {
        return SaturatedSum(qMax<qint64>(size, 0), KBlock - 1) / KBlock * KBlock;
    };
    const QString folder = FolderOf(target);
    auto system = FSystemOfFolder.constFind(folder);
    if (system == FSystemOfFolder.cend()) {
        const QString root = QStorageInfo(ExistingFolder(folder)).rootPath();
        auto byRoot = FSystemOfRoot.constFind(root);
        if (byRoot == FSystemOfRoot.cend()) {
            byRoot = FSystemOfRoot.insert(root, FSystems.size());
            FSystems.append(TFileSystem{folder});
        }
        system = FSystemOfFolder.insert(folder, *byRoot);
    }
    TFileSystem& tally = FSystems[*system];
    const qint64 written = blocks(bytes);
    qint64 replaced = blocks(ReplacedBytes(target));
    // A file replaced twice in the run gives back the first copy the second time. A new target
    // written twice gives nothing back, which errs on the safe side and keeps no entry for it.
    if (replaced > 0) {
        const size_t key = qHash(QDir::cleanPath(QFileInfo(target).absoluteFilePath()));
        replaced = FReplaced.value(key, replaced);
        FReplaced.insert(key, written);
    }
    tally.Running = SaturatedSum(tally.Running, written);
    tally.Peak = qMax(tally.Peak, tally.Running);
    tally.Running = SaturatedSum(tally.Running, -replaced);
}

TResult<void> TSpaceTally::Check() const
{
    for (const TFileSystem& system : FSystems) {
        const qint64 available = FFreeSpace(system.Folder);
        if (system.Peak > available)
            return TError{TErrorCode::ecFailed,
                          QStringLiteral("the files need %1 bytes at once, but \"%2\" has only %3 "
                                         "bytes free; nothing was written")
                              .arg(system.Peak)
                              .arg(system.Folder)
                              .arg(available),
                          system.Folder};
    }
    return {};
}
