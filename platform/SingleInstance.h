#pragma once

#include <QString>

// One running copy per user and name: an exclusive lock on a file in $XDG_RUNTIME_DIR (else the
// temp folder), which the system drops when the process dies, however it dies.
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

private:
    int FFd = -1;
    TState FState = siFailed;
};
