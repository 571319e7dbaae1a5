#include "TZipBuilder.h"

#include <QFile>
#include <QRandomGenerator>

#include <zlib.h>

#include <vector>

namespace {

constexpr quint16 KDosTime = (12 << 11) | (30 << 5);               // 12:30:00
constexpr quint16 KDosDate = ((2020 - 1980) << 9) | (6 << 5) | 15; // 2020-06-15

void Put16(QByteArray& out, quint32 value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

void Put32(QByteArray& out, quint32 value)
{
    Put16(out, value & 0xffff);
    Put16(out, value >> 16);
}

struct TWritten
{
    quint32 Crc = 0;
    qint64 Compressed = 0;
    qint64 Size = 0;
    qint64 Offset = 0;
    QList<qint64> Headless; // where the headers without signature lie
};

bool NeedsZip64(const TZipBuilderEntry& entry)
{
    return entry.DeclaredSize.value_or(0) >= 0xffffffff;
}

// The Zip64 field that carries a declared size beyond 32 bits, and the Unicode path field.
QByteArray ExtraField(const TZipBuilderEntry& entry)
{
    QByteArray extra;
    if (NeedsZip64(entry)) {
        Put16(extra, 0x0001);
        Put16(extra, 8);
        Put32(extra, quint32(*entry.DeclaredSize & 0xffffffff));
        Put32(extra, quint32(*entry.DeclaredSize >> 32));
    }
    if (!entry.UnicodeName.isEmpty()) {
        Put16(extra, 0x7075);
        Put16(extra, quint32(5 + entry.UnicodeName.size()));
        extra += char(1);
        Put32(extra, quint32(crc32(0, reinterpret_cast<const Bytef*>(entry.Name.constData()),
                                   uInt(entry.Name.size()))));
        extra += entry.UnicodeName;
    }
    return extra;
}

// The fields the local header and the central directory share, from "version needed" to the
// length of the extra field.
void PutSharedFields(QByteArray& out, const TZipBuilderEntry& entry, const TWritten& written,
                     qint64 nameLength, qint64 extraLength)
{
    Put16(out, NeedsZip64(entry) ? 45 : 20);
    Put16(out, 0);
    Put16(out, entry.Deflate ? 8 : 0);
    Put16(out, KDosTime);
    Put16(out, KDosDate);
    Put32(out, entry.Crc.value_or(written.Crc));
    Put32(out, quint32(written.Compressed));
    Put32(out, NeedsZip64(entry) ? 0xffffffff : quint32(entry.DeclaredSize.value_or(written.Size)));
    Put16(out, quint32(nameLength));
    Put16(out, quint32(extraLength));
}

QByteArray LocalHeader(const TZipBuilderEntry& entry, const TWritten& written)
{
    QByteArray header;
    Put32(header, 0x04034b50);
    const QByteArray extra = ExtraField(entry);
    PutSharedFields(header, entry, written, entry.Name.size(), extra.size());
    return header + entry.Name + extra;
}

QByteArray CentralRecord(const TZipBuilderEntry& entry, const QByteArray& name,
                         const TWritten& written, qint64 offset)
{
    QByteArray record;
    const QByteArray extra = ExtraField(entry);
    Put32(record, 0x02014b50);
    Put16(record, entry.UnixMode ? (3 << 8) | 20 : 20);
    PutSharedFields(record, entry, written, name.size(), extra.size());
    Put16(record, 0);
    Put16(record, 0);
    Put16(record, 0);
    Put32(record, entry.UnixMode << 16 | (name.endsWith('/') ? 0x10 : 0));
    Put32(record, quint32(offset));
    return record + name + extra;
}

QByteArray EndRecord(int onDisk, int total, qint64 size, qint64 offset, qint64 commentLength)
{
    QByteArray end;
    Put32(end, 0x06054b50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, quint32(onDisk));
    Put16(end, quint32(total));
    Put32(end, quint32(size));
    Put32(end, quint32(offset));
    Put16(end, quint32(commentLength));
    return end;
}

// The Zip64 end record at At and its locator.
QByteArray Zip64End(int total, qint64 size, qint64 offset, qint64 at)
{
    QByteArray end;
    const auto put64 = [&end](qint64 value) {
        Put32(end, quint32(value & 0xffffffff));
        Put32(end, quint32(value >> 32));
    };
    Put32(end, 0x06064b50);
    put64(44);
    Put16(end, 45);
    Put16(end, 45);
    Put32(end, 0);
    Put32(end, 0);
    put64(total);
    put64(total);
    put64(size);
    put64(offset);
    Put32(end, 0x07064b50);
    Put32(end, 0);
    put64(at);
    Put32(end, 1);
    return end;
}

// Writes the entry's content, compressed as asked, after its local header.
bool WriteContent(QFile& file, const TZipBuilderEntry& entry, TWritten& written)
{
    z_stream stream{};
    if (entry.Deflate && deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                                      Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    written.Crc = crc32(0, nullptr, 0);
    const qint64 total = entry.Zeros > 0 ? entry.Zeros : entry.Data.size();
    const QByteArray zeros(1 << 20, '\0');
    std::vector<unsigned char> out(1 << 20);
    qint64 done = 0;
    bool ok = true;
    do {
        const QByteArray chunk =
            entry.Zeros > 0 ? zeros.left(qMin<qint64>(zeros.size(), total - done)) : entry.Data;
        done += chunk.size();
        written.Crc = crc32(written.Crc, reinterpret_cast<const Bytef*>(chunk.constData()),
                            uInt(chunk.size()));
        if (!entry.Deflate) {
            ok = file.write(chunk) == chunk.size();
            written.Compressed += chunk.size();
            continue;
        }
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.constData()));
        stream.avail_in = uInt(chunk.size());
        const int flush = done >= total ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            status = deflate(&stream, flush);
            const qint64 have = qint64(out.size()) - stream.avail_out;
            ok = ok && file.write(reinterpret_cast<const char*>(out.data()), have) == have;
            written.Compressed += have;
        } while (stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    } while (ok && done < total);
    if (entry.Deflate)
        deflateEnd(&stream);
    written.Size = total;
    return ok;
}

} // namespace

TZipBuilder& TZipBuilder::Add(const TZipBuilderEntry& entry)
{
    FEntries.append(entry);
    return *this;
}

TZipBuilder& TZipBuilder::Add(const QByteArray& name, const QByteArray& data, bool deflate)
{
    return Add({.Name = name, .Data = data, .Deflate = deflate});
}

TZipBuilder& TZipBuilder::AddFolder(const QByteArray& name)
{
    return Add({.Name = name, .Deflate = false, .UnixMode = 040755});
}

TZipBuilder& TZipBuilder::AddLink(const QByteArray& name, const QByteArray& target)
{
    return Add({.Name = name, .Data = target, .Deflate = false, .UnixMode = 0120777});
}

TZipBuilder& TZipBuilder::SetEnd(TZipEnd end)
{
    FEnd = end;
    return *this;
}

TZipBuilder& TZipBuilder::SetComment(const QByteArray& comment)
{
    FComment = comment;
    return *this;
}

bool TZipBuilder::Write(const QString& fileName) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QList<TWritten> writtens;
    for (const TZipBuilderEntry& entry : FEntries) {
        TWritten written;
        // Placeholders for the headers without signature; their lengths are known at the end.
        for (qsizetype i = 0; i < entry.Headless.size(); ++i) {
            written.Headless << file.pos();
            if (file.write(QByteArray(30, '\0')) != 30)
                return false;
        }
        written.Offset = file.pos();
        // The header is written again once sizes and checksum are known.
        if (file.write(LocalHeader(entry, written)) < 0 || !WriteContent(file, entry, written))
            return false;
        const qint64 end = file.pos();
        const qint64 dataAt = written.Offset + LocalHeader(entry, written).size();
        if (!file.seek(written.Offset) || file.write(LocalHeader(entry, written)) < 0)
            return false;
        for (const qint64 at : std::as_const(written.Headless)) {
            if (dataAt - at - 30 > 0xffff)
                return false; // the extra length cannot reach the data: not the archive asked for
            QByteArray header(4, '\0');
            PutSharedFields(header, entry, written, 0, dataAt - at - 30);
            if (!file.seek(at) || file.write(header) != header.size())
                return false;
        }
        if (!file.seek(end))
            return false;
        writtens.append(written);
    }
    QByteArray main;
    QByteArray decoy;
    int mainRecords = 0;
    int decoyRecords = 0;
    for (int i = 0; i < FEntries.size(); ++i) {
        const TZipBuilderEntry& entry = FEntries.at(i);
        const TWritten& written = writtens.at(i);
        if (entry.Decoy) {
            decoy += CentralRecord(entry, entry.Name, written, written.Offset);
            ++decoyRecords;
            continue;
        }
        main += CentralRecord(entry, entry.Name, written, written.Offset);
        for (const QByteArray& name : entry.AlsoAs)
            main += CentralRecord(entry, name, written, written.Offset);
        for (qsizetype h = 0; h < entry.Headless.size(); ++h)
            main += CentralRecord(entry, entry.Headless.at(h), written, written.Headless.at(h));
        mainRecords += 1 + int(entry.AlsoAs.size() + entry.Headless.size());
    }
    const qint64 mainAt = file.pos();
    const qint64 decoyAt = mainAt + main.size();
    QByteArray tail = main;
    switch (FEnd) {
    case TZipEnd::zeOne:
        tail += EndRecord(mainRecords, mainRecords, main.size(), mainAt, FComment.size());
        break;
    case TZipEnd::zeZip64Disagrees:
        tail += decoy + Zip64End(mainRecords, main.size(), mainAt, decoyAt + decoy.size());
        tail += EndRecord(decoyRecords, decoyRecords, decoy.size(), decoyAt, FComment.size());
        break;
    case TZipEnd::zeTwoEnds:
        tail += decoy + EndRecord(mainRecords, mainRecords, main.size(), mainAt, 0);
        tail += EndRecord(0, decoyRecords, decoy.size(), decoyAt, FComment.size());
        break;
    }
    tail += FComment;
    return file.write(tail) == tail.size();
}

TZipBuilder SharedDataArchive(TZipEnd end, int records, qint64 zeros, qint64 noise)
{
    TZipBuilderEntry big{.Name = "Big.u", .Zeros = zeros};
    for (int i = 1; i < records; ++i)
        (end == TZipEnd::zeOne ? big.Headless : big.AlsoAs) << "Big" + QByteArray::number(i) + ".u";
    TZipBuilder builder;
    builder.Add(big).SetEnd(end);
    // The decoy directory lists as many records as the main one, each over data of its own.
    const int decoys = end == TZipEnd::zeOne ? 1 : records;
    for (int i = 0; i < decoys; ++i)
        builder.Add({.Name = "Decoy" + QByteArray::number(i) + ".u",
                     .Data = RandomBytes(qMax<qint64>(noise / decoys, 1), i),
                     .Deflate = false,
                     .Decoy = true});
    return builder;
}

QByteArray EndRecordComment()
{
    return EndRecord(101, 101, 0, 0, 0) + " lists 101 entries";
}

QByteArray SampleText(qint64 size, int seed)
{
    static const char* const KWords[] = {"the ",  "map ",       "author ", "level ",  "summary ",
                                         "flag ", "onslaught ", "bot ",    "weapon ", "\r\n"};
    QRandomGenerator random(quint32(seed + 1));
    QByteArray text;
    text.reserve(size + 16);
    while (text.size() < size)
        text += KWords[random.bounded(10)];
    text.truncate(size);
    return text;
}

QByteArray RandomBytes(qint64 size, int seed)
{
    QRandomGenerator random(quint32(seed + 1000));
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(random.bounded(256));
    return bytes;
}
