#pragma once

#include <QByteArray>
#include <QString>

// Writes Bytes to FileName atomically: a temporary file beside it, flushed, then renamed over
// it, keeping the old file's permissions; a symbolic link is written through to its target. A
// read-only file is refused like a read-only folder (a rename would pass over it). Returns
// false, with the reason in Error, when anything failed; the old file is then untouched and no
// temporary file is left behind.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         QString* error = nullptr);

// Reads a whole file. Returns false, with the reason in Error, when it cannot be read.
bool ReadWholeFile(const QString& fileName, QByteArray& bytes, QString* error = nullptr);
