#pragma once

#include "TCacheEntry.h"
#include "TResult.h"
#include "TSettingsRef.h"
#include "uKOVA_Misc.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>
#include <vector>

// What became of one cache entry that was to be extracted.
enum class TCacheExtractOutcome
{
    ceoExtracted,      // copied or moved to Target; its index key and its entry are gone
    ceoNoFile,         // its data file is missing
    ceoBadName,        // its recorded name is no bare file name; nothing was installed
    ceoNotPlainFile,   // its data file is a link or no plain file; nothing was installed
    ceoNoInstall,      // the settings give no folder for its file type
    ceoSkipped,        // the user declined to replace the file at Target
    ceoFailed,         // the copy or move failed (Error says why)
    ceoCancelled,      // the user cancelled the run before or at this file
    ceoIndexNotWritten // copied or moved, but its key could not be removed (see IndexError)
};

struct TCacheExtractItem
{
    QString GUID;
    QString FileName;
    QString Target; // where it was to go; empty when it was not tried
    TCacheExtractOutcome Outcome = TCacheExtractOutcome::ceoFailed;
    QString Error;
};

// What happened to each entry of one extraction run.
struct TCacheExtractResult
{
    QVector<TCacheExtractItem> Items; // one per entry considered, in list order
    bool Aborted = false;             // the user cancelled
    std::optional<TError> IndexError; // why the index could not be rewritten; none when it was
    // True when an entry that was to go to its folder did not get there or kept its key: a copy
    // or move failed, or the index could not be rewritten. What the user declined or cancelled,
    // and entries without a file, a folder, a sound name or a plain data file, are no failures.
    bool AnyFailed() const;
    // Whether the run did all it was given, by the rule of the installation road
    // (TInstallTally): an entry without its data file, of a name that may not be installed or
    // whose data file is no plain file counts as refused. A run over no entry had nothing to do.
    bool Succeeded() const;
    // Where the files that reached their folders went (their keys may have stayed), in list
    // order.
    QStringList InstalledTargets() const;
};

// The game's download cache: the entries of section "Cache" of "cache.ini" in the game's Cache
// folder ("GUID=file name"), each standing for the data file "<GUID>.uxx" beside it. Copies or
// moves cached files to the folders their types install to, under their recorded names, and
// drops entries whose data file is gone. An entry leaves the index (and the list) only when its
// file really reached its folder, so a file's real name is never lost. GUI thread only.
class TCacheManager final
{
public:
    // Stores the reference and loads the index.
    explicit TCacheManager(TSettingsRef settingsRef);
    TCacheManager(const TCacheManager&) = delete;
    TCacheManager& operator=(const TCacheManager&) = delete;

    // Reads the index again (one parse), keys in file order. Without settings nothing happens;
    // a missing file or section gives an empty list. Never raises.
    void Load();

    TCacheEntry* GetItem(int index) const; // nullptr when Index is out of range
    int GetCount() const;
    // The first entry whose FileName, GUID or GetCachePath equals S, ASCII letter case ignored
    // ("\" read as "/"); -1 when none does.
    int IndexOf(const QString& s) const;

    // Copies (Move false) or moves one entry's data file to its folder under its recorded name,
    // asking before a file there is replaced; on success removes its index key and the entry.
    // The value says what happened to the entry; a failed rewrite of the index is reported in
    // its IndexError, with the entry kept. Fails with ecNotFound for an index out of range or
    // without settings.
    TResult<TCacheExtractResult> Extract(int index, bool move, TWindowHandle wnd = nullptr);
    // Extract for these entries (list indexes, each once, in any order) as one shell operation,
    // so "Yes to All" and Cancel hold for all of them, and one rewrite of the index; the items
    // of the value follow the entries in list order. Fails with ecNotFound for an index out of
    // range or without settings.
    TResult<TCacheExtractResult> Extract(std::vector<int> indexes, bool move,
                                         TWindowHandle wnd = nullptr);
    // Extract for every entry, in list order, as one shell operation (so "Yes to All" and
    // Cancel hold for the whole run) and one rewrite of the index. Entries whose file is
    // missing or has no folder stay as they are. Fails with ecNotFound without settings.
    TResult<TCacheExtractResult> ExtractAll(bool move, TWindowHandle wnd = nullptr);

    // Deletes the entry's key from the index file; the list is not changed. Nothing happens
    // without an index file. Fails with ecNotFound for an index out of range or without
    // settings, and when the index cannot be rewritten.
    TResult<void> RemoveIniEntry(int index);
    // Removes the entry from the list only; its key and file stay (it is back at the next load).
    void Delete(int index);
    // Drops every entry whose data file is missing, from the index (one rewrite) and from the
    // list; gives how many. Fails, with index and list unchanged, when the index cannot be
    // rewritten.
    TResult<int> PurgeMissing();

    // The size of each entry's data file, in list order; -1 where CacheFileExists would say
    // it is missing. One listing of the Cache folder serves every entry.
    QVector<qint64> GetCacheFileSizes() const;

    // The settings through the reference; nullptr when there are none.
    TKOVASettings* GetSettings() const;
    // The game's Cache folder without a trailing "/"; empty without settings.
    QString GetCacheDir() const;
    // "cache.ini" in the Cache folder (found without regard to letter case); empty without
    // settings.
    QString GetIndexFileName() const;

private:
    TResult<TCacheExtractResult> ExtractEntries(const std::vector<int>& indexes, bool move,
                                                TWindowHandle wnd);
    // Removes the keys of these entries with one rewrite, then the entries (Indexes ascending).
    // Fails, with index and list unchanged, when the index cannot be rewritten.
    TResult<void> RemoveEntries(const std::vector<int>& indexes);

    TSettingsRef FSettingsRef;
    std::vector<std::unique_ptr<TCacheEntry>> FItems;
};
