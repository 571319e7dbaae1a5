#pragma once

#include <QByteArray>
#include <QString>

#include <map>

// Tells a cache whether a file it read may have changed since, more cheaply than asking the
// file system for the file's size and time at every use.
//
// Where the system reports changes to a file (a local file system), the monitor asks to be told
// before the cache reads the file and then only looks at its queue of reports: a change made by
// any process before a check is seen by that check. Elsewhere (network and user-space file
// systems, symbolic links, missing files, no reports available) it compares the file's identity,
// size and times at every check, and distrusts a file modified within the last second, whose
// time could hide a second change. Now and then a watched file is compared that way too, for
// changes that reports miss (a folder above it renamed).
//
// Not thread-safe: the owner serialises calls.

// What a check compares against; taken by Watch before the file is read.
struct TFileVersion
{
    QByteArray NativePath;
    bool Exists = false;
    quint64 Device = 0;
    quint64 Inode = 0;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    qint64 ChangedNs = 0;
    bool Trusted = false; // the times can tell a later change
    int FileWatch = -1;   // reports on the file, when the system gives them
    int FolderWatch = -1; // reports on its folder being moved or removed
    quint64 Epoch = 0;    // reports up to this one came before the version
    qint64 CheckedAtNs = 0;
};

class TFileChangeMonitor final
{
public:
    TFileChangeMonitor();
    ~TFileChangeMonitor();
    TFileChangeMonitor(const TFileChangeMonitor&) = delete;
    TFileChangeMonitor& operator=(const TFileChangeMonitor&) = delete;

    // Starts noticing changes to the file and returns its version now. Call it before reading
    // the file, so that a change during the read makes the version stale.
    TFileVersion Watch(const QString& fileName);
    // True only when the file is certainly unchanged since its version was taken.
    bool IsUnchanged(TFileVersion& version);
    // The version is no longer kept; its reports may stop.
    void Release(const TFileVersion& version);

private:
    void Drain();
    void AddRef(int watch);
    void RemoveRef(int watch);
    bool Changed(int watch, quint64 epoch) const;

    int FQueue = -1;
    quint64 FEpoch = 0;
    quint64 FOverflowEpoch = 0;
    struct TWatchState
    {
        int Refs = 0;
        quint64 ChangedEpoch = 0;
    };
    std::map<int, TWatchState> FWatches;
};
