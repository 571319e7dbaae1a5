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
};

// The fields the local header and the central directory share, from "version needed" to the
// length of the extra field.
void PutSharedFields(QByteArray& out, const TZipBuilderEntry& entry, const TWritten& written)
{
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, entry.Deflate ? 8 : 0);
    Put16(out, KDosTime);
    Put16(out, KDosDate);
    Put32(out, entry.Crc.value_or(written.Crc));
    Put32(out, quint32(written.Compressed));
    Put32(out, quint32(entry.DeclaredSize.value_or(written.Size)));
    Put16(out, quint32(entry.Name.size()));
    Put16(out, 0);
}

QByteArray LocalHeader(const TZipBuilderEntry& entry, const TWritten& written)
{
    QByteArray header;
    Put32(header, 0x04034b50);
    PutSharedFields(header, entry, written);
    return header + entry.Name;
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

bool TZipBuilder::Write(const QString& fileName) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QList<TWritten> writtens;
    for (const TZipBuilderEntry& entry : FEntries) {
        TWritten written;
        written.Offset = file.pos();
        // The header is written again once sizes and checksum are known.
        if (file.write(LocalHeader(entry, written)) < 0 || !WriteContent(file, entry, written))
            return false;
        const qint64 end = file.pos();
        if (!file.seek(written.Offset) || file.write(LocalHeader(entry, written)) < 0 ||
            !file.seek(end))
            return false;
        writtens.append(written);
    }
    QByteArray central;
    int records = 0;
    for (int i = 0; i < FEntries.size(); ++i) {
        const TWritten& written = writtens.at(i);
        for (int copy = 0; copy <= FEntries.at(i).AlsoAs.size(); ++copy, ++records) {
            TZipBuilderEntry entry = FEntries.at(i);
            if (copy > 0)
                entry.Name = entry.AlsoAs.at(copy - 1);
            Put32(central, 0x02014b50);
            Put16(central, entry.UnixMode ? (3 << 8) | 20 : 20);
            PutSharedFields(central, entry, written);
            Put16(central, 0);
            Put16(central, 0);
            Put16(central, 0);
            Put32(central, entry.UnixMode << 16 | (entry.Name.endsWith('/') ? 0x10 : 0));
            Put32(central, quint32(written.Offset));
            central += entry.Name;
        }
    }
    const qint64 centralOffset = file.pos();
    QByteArray end;
    Put32(end, 0x06054b50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, quint32(records));
    Put16(end, quint32(records));
    Put32(end, quint32(central.size()));
    Put32(end, quint32(centralOffset));
    Put16(end, 0);
    return file.write(central) == central.size() && file.write(end) == end.size();
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
