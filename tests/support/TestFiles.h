#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Qt texts in GoogleTest's failure messages (found by argument-dependent lookup).
void PrintTo(const QString& text, std::ostream* out);

// The whole file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
