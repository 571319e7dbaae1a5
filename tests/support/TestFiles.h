#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
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

// Runs a program of the system (found on PATH, or by its path) to its end in Folder: its
// standard output, or nothing when it is missing, did not end within a minute or failed.
std::optional<QByteArray> RunTool(const QString& program, const QStringList& arguments,
                                  const QString& folder = {});
// The entry names of a zip archive as "unzip -Z1" lists them; empty when it cannot.
QStringList UnzipNames(const QString& archive);
