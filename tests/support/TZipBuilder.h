#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Writes zip archives byte by byte, so that tests can make the damaged and hostile archives no
// zip tool makes: any stored name, a wrong checksum, a size that lies, a link entry.
struct TZipBuilderEntry
{
    QByteArray Name{};   // stored as it stands
    QByteArray Data{};   // the content, unless Zeros is set
    qint64 Zeros = 0;    // the content is that many zero bytes (streamed, for large entries)
    bool Deflate = true; // else stored
    std::optional<quint32> Crc{};         // written instead of the right checksum
    std::optional<qint64> DeclaredSize{}; // written instead of the right size
    quint32 UnixMode = 0; // when set, the Unix mode in the external attributes (0120777: a link)
    QList<QByteArray> AlsoAs{}; // more directory records, under these names, for the same data
};

class TZipBuilder final
{
public:
    TZipBuilder& Add(const TZipBuilderEntry& entry);
    TZipBuilder& Add(const QByteArray& name, const QByteArray& data, bool deflate = true);
    TZipBuilder& AddFolder(const QByteArray& name);
    // A symbolic link entry Name pointing at Target, as zip tools of Unix store one.
    TZipBuilder& AddLink(const QByteArray& name, const QByteArray& target);
    // Writes the archive; false when the file cannot be written.
    bool Write(const QString& fileName) const;

private:
    QList<TZipBuilderEntry> FEntries;
};

// The bytes of Size deterministic pseudo-random printable characters that compress well, as text
// does (Seed varies them).
QByteArray SampleText(qint64 size, int seed = 0);
// Size bytes that do not compress.
QByteArray RandomBytes(qint64 size, int seed = 0);
