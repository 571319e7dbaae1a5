#pragma once

#include <QString>

// One running copy per user and name: an exclusive lock on a file in a folder only this user can
// write ($XDG_RUNTIME_DIR when it is such a folder, else "KOVA" in the user's cache folder, made
// private), which the system drops when the process dies, however it dies. Nothing there is
// followed through a symbolic link, so no other user can take the lock's place.
class TSingleInstance final
{
public:
    explicit TSingleInstance(const QString& name);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    enum TState
    {
        siAcquired,
        siAlreadyRunning,
        siFailed
    };
    TState State() const { return FState; }
    // Why the lock could not be taken (siFailed), naming the file or folder; empty otherwise.
    const QString& ErrorString() const { return FError; }

private:
    int FFd = -1;
    TState FState = siFailed;
    QString FError;
};
