#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Writes zip archives byte by byte, so that tests can make the damaged and hostile archives no
// zip tool makes: any stored name, a wrong checksum, a size that lies, a link entry, records that
// share one entry's data, a second directory for readers that take another end record.
struct TZipBuilderEntry
{
    QByteArray Name{};   // stored as it stands
    QByteArray Data{};   // the content, unless Zeros is set
    qint64 Zeros = 0;    // the content is that many zero bytes (streamed, for large entries)
    bool Deflate = true; // else stored
    std::optional<quint32> Crc{};         // written instead of the right checksum
    std::optional<qint64> DeclaredSize{}; // written instead of the right size (Zip64 above 32 bits)
    quint32 UnixMode = 0; // when set, the Unix mode in the external attributes (0120777: a link)
    QList<QByteArray> AlsoAs{}; // more directory records, under these names, for the same data
    // More directory records under these names, each at a local header of its own that lacks its
    // signature and whose name and extra lengths lead to this entry's data.
    QList<QByteArray> Headless{};
    bool Decoy = false; // listed by the decoy directory alone (TZipEnd), else by none
    // When set, the name in UTF-8 beside the stored one in a code page, as tools of Windows
    // write it (the Unicode path field, with the stored name's checksum).
    QByteArray UnicodeName{};
};

// How the archive ends: the end record names the main directory, or the records name two.
enum class TZipEnd
{
    zeOne,
    // A Zip64 end record and its locator name the main directory; the classic end record after
    // them names the decoy directory.
    zeZip64Disagrees,
    // A sound end record names the main directory; a last one, whose entries-on-this-disk count
    // differs from its total, names the decoy directory.
    zeTwoEnds,
};

class TZipBuilder final
{
public:
    TZipBuilder& Add(const TZipBuilderEntry& entry);
    TZipBuilder& Add(const QByteArray& name, const QByteArray& data, bool deflate = true);
    TZipBuilder& AddFolder(const QByteArray& name);
    // A symbolic link entry Name pointing at Target, as zip tools of Unix store one.
    TZipBuilder& AddLink(const QByteArray& name, const QByteArray& target);
    TZipBuilder& SetEnd(TZipEnd end);
    // The archive comment, after the last end record.
    TZipBuilder& SetComment(const QByteArray& comment);
    // Writes the archive; false when the file cannot be written.
    bool Write(const QString& fileName) const;

private:
    QList<TZipBuilderEntry> FEntries;
    TZipEnd FEnd = TZipEnd::zeOne;
    QByteArray FComment;
};

// Records directory records, "Big.u", "Big1.u"..., over one entry of Zeros zero bytes: a small
// file whose every record inflates the same data. Readers that take another directory than
// libzip's do not see it: End hides the records behind a second end record or a Zip64 one, else
// (zeOne) the records after the first lie at local headers without their signature. Noise random
// bytes that libzip's directory does not list keep the compressed sizes within the file.
TZipBuilder SharedDataArchive(TZipEnd end, int records, qint64 zeros, qint64 noise = 0);

// An archive comment that holds a whole end record, naming a directory of 101 entries.
QByteArray EndRecordComment();

// The bytes of Size deterministic pseudo-random printable characters that compress well, as text
// does (Seed varies them).
QByteArray SampleText(qint64 size, int seed = 0);
// Size bytes that do not compress.
QByteArray RandomBytes(qint64 size, int seed = 0);
