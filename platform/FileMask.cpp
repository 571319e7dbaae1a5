#include "FileMask.h"

#include "FolderScan.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

QString Folded(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (QChar c : text)
        result.append(c.toCaseFolded());
    return result;
}

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c < 0xDC00;
}

} // namespace

TFileMask::TFileMask(const QString& mask)
    : FMask(Folded(mask))
{
    FMatchesAll = FMask == QLatin1String("*") || FMask == QLatin1String("*.*");
    if (FMask.endsWith(QLatin1String(".*"))) {
        // "Lang.*" also finds "Lang", and "*.*" every name.
        FDotlessMask = FMask.chopped(2);
        FHasDotlessMask = true;
    } else if (FMask.size() > 1 && FMask.endsWith(QLatin1Char('.'))) {
        // "*." finds names without an extension.
        FDotlessMask = FMask.chopped(1);
        FHasDotlessMask = true;
        FDotlessOnly = true;
    }
}

bool TFileMask::Matches(QStringView fileName) const
{
    if (FMatchesAll)
        return true;
    if (MatchFolded(fileName, FMask))
        return true;
    if (!FHasDotlessMask)
        return false;
    if (FDotlessOnly && fileName.contains(QLatin1Char('.')))
        return false;
    return MatchFolded(fileName, FDotlessMask);
}

// Name is not folded yet, Mask is. Greedy matching with one backtrack point: the last "*".
bool TFileMask::MatchFolded(QStringView name, QStringView mask)
{
    qsizetype n = 0, m = 0;
    qsizetype starMask = -1, starName = 0;
    while (n < name.size()) {
        if (m < mask.size()) {
            const QChar mc = mask[m];
            if (mc == QLatin1Char('*')) {
                starMask = m++;
                starName = n;
                continue;
            }
            if (mc == QLatin1Char('?')) {
                // One character, even when it takes two code units.
                n += (IsHighSurrogate(name[n].unicode()) && n + 1 < name.size()) ? 2 : 1;
                ++m;
                continue;
            }
            if (name[n].toCaseFolded() == mc) {
                ++n;
                ++m;
                continue;
            }
        }
        if (starMask < 0)
            return false;
        m = starMask + 1;
        n = ++starName;
    }
    while (m < mask.size() && mask[m] == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

bool MatchesFileMask(const QString& fileName, const QString& mask)
{
    return TFileMask(mask).Matches(fileName);
}

// Listings are sorted often and names are mostly ASCII: fold those by hand and leave the rest
// to the character tables.
inline char16_t FoldedUnit(char16_t c)
{
    if (c < 128)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return QChar::toCaseFolded(c);
}

bool FileNameLess(const QString& a, const QString& b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t* pa = reinterpret_cast<const char16_t*>(a.constData());
    const char16_t* pb = reinterpret_cast<const char16_t*>(b.constData());
    for (qsizetype i = 0; i < common; ++i) {
        if (pa[i] == pb[i])
            continue;
        const char16_t fa = FoldedUnit(pa[i]);
        const char16_t fb = FoldedUnit(pb[i]);
        if (fa != fb)
            return fa < fb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

namespace {

// The indexes of Count names (Name(i) gives each) in the order of SortFileNames. Each name is
// folded once into one buffer, as bytes when every name is ASCII, else as big-endian code units,
// so that a byte comparison gives the order of the units: less than folding at every
// comparison. Most comparisons end at the first eight bytes after what all names share, held in
// an integer.
template <class F> std::vector<qsizetype> SortedOrder(qsizetype count, F name)
{
    struct TKey
    {
        quint64 Head;
        size_t Start;
        size_t Size;
        qsizetype Index;
    };
    size_t total = 0;
    bool ascii = true;
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView text = name(i);
        total += size_t(text.size());
        ascii = ascii && QtPrivate::isAscii(text);
    }
    const size_t width = ascii ? 1 : 2;
    std::vector<unsigned char> folded(total * width);
    std::vector<TKey> keys;
    keys.reserve(size_t(count));
    unsigned char* out = folded.data();
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView text = name(i);
        keys.push_back({0, size_t(out - folded.data()), size_t(text.size()) * width, i});
        const char16_t* units = text.utf16();
        if (ascii) {
            for (qsizetype k = 0; k < text.size(); ++k) {
                const char16_t c = units[k];
                *out++ = static_cast<unsigned char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
            }
            continue;
        }
        for (qsizetype k = 0; k < text.size(); ++k) {
            const char16_t unit = FoldedUnit(units[k]);
            *out++ = static_cast<unsigned char>(unit >> 8);
            *out++ = static_cast<unsigned char>(unit & 0xFF);
        }
    }
    const unsigned char* base = folded.data();
    // Names hold no zero character, so the zeros that fill a short head sort it first.
    size_t shared = keys.empty() ? 0 : keys.front().Size;
    for (const TKey& key : keys) {
        shared = std::min(shared, key.Size);
        while (shared > 0 && std::memcmp(base + keys.front().Start, base + key.Start, shared) != 0)
            --shared;
    }
    shared -= shared % width;
    for (TKey& key : keys) {
        for (size_t k = shared; k < shared + 8; ++k)
            key.Head = (key.Head << 8) | (k < key.Size ? base[key.Start + k] : 0);
    }
    std::sort(keys.begin(), keys.end(), [&](const TKey& a, const TKey& b) {
        if (a.Head != b.Head)
            return a.Head < b.Head;
        const int order = std::memcmp(base + a.Start + shared, base + b.Start + shared,
                                      std::min(a.Size, b.Size) - shared);
        if (order != 0)
            return order < 0;
        if (a.Size != b.Size)
            return a.Size < b.Size;
        return name(a.Index) < name(b.Index);
    });
    std::vector<qsizetype> order;
    order.reserve(keys.size());
    for (const TKey& key : keys)
        order.push_back(key.Index);
    return order;
}

} // namespace

void SortFolderEntries(QVector<TFolderEntry>& entries)
{
    const std::vector<qsizetype> order = SortedOrder(
        entries.size(), [&entries](qsizetype i) { return QStringView(entries[i].Name); });
    QVector<TFolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const qsizetype index : order)
        sorted.append(std::move(entries[index]));
    entries = std::move(sorted);
}

void SortFolderNames(TFolderNames& names)
{
    const std::vector<qsizetype> order =
        SortedOrder(names.Names.size(), [&names](qsizetype i) { return names.Name(i); });
    QVector<TFolderNames::TName> sorted;
    sorted.reserve(names.Names.size());
    for (const qsizetype index : order)
        sorted.append(names.Names[index]);
    names.Names = std::move(sorted);
}

void SortFileNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), FileNameLess);
}

QStringList ListFolder(const QString& folder, const QString& mask, TListKind kind)
{
    QVector<TFolderEntry> entries;
    QStringList names;
    if (!ScanFolder(folder, entries))
        return names;
    const TFileMask fileMask(mask);
    for (const TFolderEntry& entry : entries) {
        if ((kind == TListKind::lkFiles && entry.IsFolder) ||
            (kind == TListKind::lkFolders && !entry.IsFolder))
            continue;
        if (fileMask.Matches(entry.Name))
            names.append(entry.Name);
    }
    SortFileNames(names);
    return names;
}
