#include "TCacheManager.h"

#include "FileMask.h"
#include "FolderScan.h"
#include "GamePath.h"
#include "TIniFile.h"
#include "TInstallSummary.h"
#include "TKOVASettings.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

const QString KIndexFile = QStringLiteral("cache.ini");
const QString KIndexSection = QStringLiteral("Cache");

bool SameIgnoringAsciiCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x >= u'A' && x <= u'Z')
            x += 32;
        if (y >= u'A' && y <= u'Z')
            y += 32;
        if (x != y)
            return false;
    }
    return true;
}

// The data files of the Cache folder from one listing, answering as GameFileExists would for
// each of them without listing the folder once per entry.
class TCachePresence final
{
public:
    explicit TCachePresence(const QString& folder)
    {
        QVector<TFolderEntry> entries;
        if (folder.isEmpty() || !ScanFolder(folder, entries))
            return;
        FExact.reserve(entries.size());
        FFolded.reserve(entries.size());
        for (const TFolderEntry& entry : entries) {
            FExact.insert(entry.Name, !entry.IsFolder);
            // Without an exact match the resolver takes the first match in sorted order.
            const QString key = entry.Name.toCaseFolded();
            const auto it = FFolded.find(key);
            if (it == FFolded.end() || FileNameLess(entry.Name, it->first))
                FFolded.insert(key, {entry.Name, !entry.IsFolder});
        }
    }

    bool Has(const TCacheEntry& entry) const { return !NameOf(entry).isEmpty(); }

    // The name the entry's data file has in the folder; empty when it has none.
    QString NameOf(const TCacheEntry& entry) const
    {
        if (!TCacheEntry::IsBareFileName(entry.GUID))
            return QString();
        const QString name = entry.GUID + QStringLiteral(".uxx");
        const auto exact = FExact.constFind(name);
        if (exact != FExact.cend())
            return exact.value() ? name : QString();
        const auto folded = FFolded.constFind(name.toCaseFolded());
        return folded != FFolded.cend() && folded->second ? folded->first : QString();
    }

private:
    QHash<QString, bool> FExact;
    QHash<QString, std::pair<QString, bool>> FFolded;
};

// The game stores its data files as plain files; a link would install what it points to.
bool IsPlainFile(const QString& path)
{
    const QFileInfo info(ResolveGamePath(path));
    return info.isFile() && !info.isSymLink();
}

TError NoSettings()
{
    return TError{TErrorCode::ecNotFound,
                  QStringLiteral("There are no settings to find the game's cache by."),
                  {}};
}

TCacheExtractOutcome OutcomeOf(TFileOpOutcome outcome)
{
    switch (outcome) {
    case TFileOpOutcome::fooDone:
        return TCacheExtractOutcome::ceoExtracted;
    case TFileOpOutcome::fooSkipped:
        return TCacheExtractOutcome::ceoSkipped;
    case TFileOpOutcome::fooFailed:
        return TCacheExtractOutcome::ceoFailed;
    case TFileOpOutcome::fooCancelled:
        break;
    }
    return TCacheExtractOutcome::ceoCancelled;
}

} // namespace

bool TCacheExtractResult::AnyFailed() const
{
    return IndexError.has_value() ||
           std::any_of(Items.begin(), Items.end(), [](const TCacheExtractItem& item) {
               return item.Outcome == TCacheExtractOutcome::ceoFailed ||
                      item.Outcome == TCacheExtractOutcome::ceoIndexNotWritten;
           });
}

QStringList TCacheExtractResult::InstalledTargets() const
{
    QStringList targets;
    for (const TCacheExtractItem& item : Items) {
        if (item.Outcome == TCacheExtractOutcome::ceoExtracted ||
            item.Outcome == TCacheExtractOutcome::ceoIndexNotWritten)
            targets.append(item.Target);
    }
    return targets;
}

bool TCacheExtractResult::Succeeded() const
{
    TInstallTally tally;
    for (const TCacheExtractItem& item : Items) {
        switch (item.Outcome) {
        case TCacheExtractOutcome::ceoExtracted:
            tally.Add(TInstallOutcome::ioInstalled);
            break;
        case TCacheExtractOutcome::ceoSkipped:
            tally.Add(TInstallOutcome::ioKept);
            break;
        case TCacheExtractOutcome::ceoNoInstall:
            tally.Add(TInstallOutcome::ioNoInstall);
            break;
        case TCacheExtractOutcome::ceoNoFile:
        case TCacheExtractOutcome::ceoBadName:
        case TCacheExtractOutcome::ceoNotPlainFile:
            tally.Add(TInstallOutcome::ioRefused);
            break;
        case TCacheExtractOutcome::ceoFailed:
        case TCacheExtractOutcome::ceoCancelled:
        case TCacheExtractOutcome::ceoIndexNotWritten:
            tally.Add(TInstallOutcome::ioFailed);
            break;
        }
    }
    if (Aborted || IndexError)
        tally.SetCancelled();
    return tally.Succeeded(true);
}

TCacheManager::TCacheManager(TSettingsRef settingsRef)
    : FSettingsRef(std::move(settingsRef))
{
    Load();
}

TKOVASettings* TCacheManager::GetSettings() const
{
    return FSettingsRef.Get();
}

QString TCacheManager::GetCacheDir() const
{
    const TKOVASettings* settings = GetSettings();
    return settings ? settings->GetPath(TMapPaths::mpCache) : QString();
}

QString TCacheManager::GetIndexFileName() const
{
    const QString folder = GetCacheDir();
    return folder.isEmpty() ? QString() : ResolveGamePath(JoinPath(folder, KIndexFile));
}

void TCacheManager::Load()
{
    if (!GetSettings())
        return;
    FItems.clear();
    // One parse for all values; a key cannot hold "=", so the first one ends it.
    const QStringList lines = TIniFile(GetIndexFileName()).ReadSectionValues(KIndexSection);
    FItems.reserve(size_t(lines.size()));
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        FItems.push_back(std::make_unique<TCacheEntry>(this, line.mid(eq + 1), line.left(eq)));
    }
}

TCacheEntry* TCacheManager::GetItem(int index) const
{
    return index >= 0 && size_t(index) < FItems.size() ? FItems[size_t(index)].get() : nullptr;
}

int TCacheManager::GetCount() const
{
    return int(FItems.size());
}

int TCacheManager::IndexOf(const QString& s) const
{
    const QString path = QString(s).replace(u'\\', u'/');
    for (size_t i = 0; i < FItems.size(); ++i) {
        const TCacheEntry& entry = *FItems[i];
        if (SameIgnoringAsciiCase(entry.FileName, s) || SameIgnoringAsciiCase(entry.GUID, s) ||
            SameIgnoringAsciiCase(entry.GetCachePath(), path))
            return int(i);
    }
    return -1;
}

TResult<TCacheExtractResult> TCacheManager::Extract(int index, bool move, TWindowHandle wnd)
{
    if (!GetItem(index))
        return TError{
            TErrorCode::ecNotFound, QStringLiteral("There is no cache entry %1.").arg(index), {}};
    return ExtractEntries({index}, move, wnd);
}

TResult<TCacheExtractResult> TCacheManager::Extract(std::vector<int> indexes, bool move,
                                                    TWindowHandle wnd)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (const int index : indexes) {
        if (!GetItem(index))
            return TError{TErrorCode::ecNotFound,
                          QStringLiteral("There is no cache entry %1.").arg(index),
                          {}};
    }
    return ExtractEntries(indexes, move, wnd);
}

TResult<TCacheExtractResult> TCacheManager::ExtractAll(bool move, TWindowHandle wnd)
{
    std::vector<int> indexes(FItems.size());
    for (size_t i = 0; i < indexes.size(); ++i)
        indexes[i] = int(i);
    return ExtractEntries(indexes, move, wnd);
}

TResult<TCacheExtractResult> TCacheManager::ExtractEntries(const std::vector<int>& indexes,
                                                           bool move, TWindowHandle wnd)
{
    const TKOVASettings* settings = GetSettings();
    if (!settings)
        return NoSettings();
    TCacheExtractResult result;
    std::unique_ptr<TCachePresence> presence;
    if (indexes.size() > 1)
        presence = std::make_unique<TCachePresence>(GetCacheDir());

    QStringList sources;
    QStringList targets;
    std::vector<int> tried; // position in Result.Items of each source
    for (const int index : indexes) {
        const TCacheEntry& entry = *FItems[size_t(index)];
        // Failed until the copy or move says otherwise.
        TCacheExtractItem item{entry.GUID, entry.FileName, {}, TCacheExtractOutcome::ceoFailed, {}};
        if (!(presence ? presence->Has(entry) : entry.CacheFileExists())) {
            item.Outcome = TCacheExtractOutcome::ceoNoFile;
        } else if (!entry.HasInstallableName()) {
            item.Outcome = TCacheExtractOutcome::ceoBadName;
        } else if (!IsPlainFile(entry.GetCachePath())) {
            item.Outcome = TCacheExtractOutcome::ceoNotPlainFile;
            item.Error = QStringLiteral("The cached file is a link or not a plain file, so it is "
                                        "not one the game stored; it was not installed.");
        } else {
            const QString folder = settings->GetDestination(entry.FileName);
            if (folder.isEmpty() || folder == KNoInstall) {
                item.Outcome = TCacheExtractOutcome::ceoNoInstall;
            } else {
                item.Target = ResolveGamePath(JoinPath(folder, entry.FileName));
                // A folder of that name would take the file in under its GUID name.
                if (QFileInfo(item.Target).isDir()) {
                    item.Outcome = TCacheExtractOutcome::ceoFailed;
                    item.Error = QStringLiteral("A folder of that name is in the way.");
                } else {
                    sources.append(entry.GetCachePath());
                    targets.append(item.Target);
                    tried.push_back(int(result.Items.size()));
                }
            }
        }
        result.Items.append(item);
    }
    if (sources.isEmpty())
        return result;

    TFileOpResult op;
    ShellFileOperation(wnd, move ? FO_MOVE : FO_COPY, sources, &targets, FOF_ALLOWUNDO, &op);
    result.Aborted = op.Aborted;
    std::vector<int> done; // list indexes
    for (size_t k = 0; k < tried.size(); ++k) {
        TCacheExtractItem& item = result.Items[tried[k]];
        if (qsizetype(k) >= op.Items.size()) {
            item.Outcome = TCacheExtractOutcome::ceoCancelled;
            continue;
        }
        const TFileOpItem& file = op.Items[qsizetype(k)];
        item.Outcome = OutcomeOf(file.Outcome);
        item.Error = file.Error;
        if (item.Outcome != TCacheExtractOutcome::ceoExtracted)
            continue;
        // The key goes only when the file is really where it belongs.
        const QString target = file.Target.isEmpty() ? item.Target : file.Target;
        if (!QFileInfo(target).isFile() || (move && QFileInfo::exists(file.Source))) {
            item.Outcome = TCacheExtractOutcome::ceoFailed;
            item.Error = QStringLiteral("The file did not arrive at its folder.");
            continue;
        }
        item.Target = target;
        done.push_back(indexes[size_t(tried[k])]);
    }

    if (TResult<void> removed = RemoveEntries(done); !removed) {
        result.IndexError = removed.Error();
        for (TCacheExtractItem& item : result.Items) {
            if (item.Outcome == TCacheExtractOutcome::ceoExtracted)
                item.Outcome = TCacheExtractOutcome::ceoIndexNotWritten;
        }
    }
    return result;
}

TResult<void> TCacheManager::RemoveEntries(const std::vector<int>& indexes)
{
    if (indexes.empty())
        return {};
    const QString indexFile = GetIndexFileName();
    if (!indexFile.isEmpty() && GameFileExists(indexFile)) {
        QStringList guids;
        guids.reserve(qsizetype(indexes.size()));
        for (const int index : indexes)
            guids.append(FItems[size_t(index)]->GUID);
        try {
            TIniFile(indexFile).DeleteKeys(KIndexSection, guids);
        } catch (const EIniFileException& error) {
            return ErrorFrom(error, indexFile);
        }
    }
    // One pass over the list: erasing one at a time would move the tail once per entry.
    size_t next = 0; // position in Indexes
    size_t kept = 0;
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (next < indexes.size() && size_t(indexes[next]) == i) {
            ++next;
            continue;
        }
        FItems[kept++] = std::move(FItems[i]);
    }
    FItems.resize(kept);
    return {};
}

TResult<void> TCacheManager::RemoveIniEntry(int index)
{
    const TCacheEntry* entry = GetItem(index);
    if (!entry)
        return TError{
            TErrorCode::ecNotFound, QStringLiteral("There is no cache entry %1.").arg(index), {}};
    if (!GetSettings())
        return NoSettings();
    const QString indexFile = GetIndexFileName();
    if (!GameFileExists(indexFile))
        return {};
    try {
        TIniFile(indexFile).DeleteKey(KIndexSection, entry->GUID);
    } catch (const EIniFileException& error) {
        return ErrorFrom(error, indexFile);
    }
    return {};
}

void TCacheManager::Delete(int index)
{
    if (GetItem(index))
        FItems.erase(FItems.begin() + index);
}

QVector<qint64> TCacheManager::GetCacheFileSizes() const
{
    const QString folder = GetCacheDir();
    const TCachePresence presence(folder);
    QVector<qint64> sizes;
    sizes.reserve(qsizetype(FItems.size()));
    for (const std::unique_ptr<TCacheEntry>& entry : FItems) {
        const QString name = presence.NameOf(*entry);
        sizes.append(name.isEmpty() ? -1 : QFileInfo(JoinPath(folder, name)).size());
    }
    return sizes;
}

TResult<int> TCacheManager::PurgeMissing()
{
    const TCachePresence presence(GetCacheDir());
    std::vector<int> dead;
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (!presence.Has(*FItems[i]))
            dead.push_back(int(i));
    }
    if (const TResult<void> removed = RemoveEntries(dead); !removed)
        return removed.Error();
    return int(dead.size());
}
