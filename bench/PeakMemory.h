#pragma once

#include <QFile>
#include <QString>

// The peak resident memory of this process since it started, in kilobytes (0 when unknown).
// Not getrusage: its peak carries over from the parent through fork and exec.
inline long PeakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}
