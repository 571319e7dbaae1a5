#pragma once

#include <QString>

// A folder of this user's own under the temporary folder, for files the program writes only to
// hand them to another program (an archive entry opened with its default handler). Where the
// temporary folder is shared between users, the folder's name carries the user's id.
//
// Made with only the user's rights when missing. An existing one is used only when it is a real
// folder (not a link) that belongs to this user; others' rights on it are taken away. Empty,
// with the reason in Error, when it cannot be used or made.
QString PrivateTempFolder(const QString& name, QString* error = nullptr);
