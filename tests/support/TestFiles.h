#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

// Qt texts in GoogleTest's failure messages (found by argument-dependent lookup).
void PrintTo(const QString& text, std::ostream* out);

// Writes the whole file, making its folder; false when it cannot.
bool WriteBytes(const QString& path, const QByteArray& bytes);
// The whole file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);

// Every file and folder below Root, hidden ones too, sorted: "Maps/" for a folder,
// "Maps/DM-Foo.ut2 1024" for a file with its size, "link.u -> target" for a link.
QStringList FileTree(const QString& root);
