#pragma once

#include <functional>

#include <QString>
#include <QStringList>
#include <QVector>

// The shell's copy, move, rename and delete of a list of files, done by us.
//
// Copy and move: each file is copied to a temporary name beside its target and renamed into
// place, so a target is either whole or untouched, and a symbolic link at the target is
// replaced, never written through; a move is a rename, or a copy and a delete
// of the source across file systems. A folder is copied or moved with everything in it.
// Copying or moving a file onto itself is refused (the file stays whole). Missing target
// folders are created. Delete goes to the freedesktop trash, or for good when asked; when the
// trash refuses, the file stays and the failure is reported; there is no silent fallback to a
// permanent delete.

enum class TFileOpKind
{
    fokCopy,
    fokMove,
    fokRename,
    fokDelete
};

enum class TReplaceAnswer
{
    raYes,
    raNo,
    raCancel,
    raYesToAll
};

enum class TFileOpOutcome
{
    fooDone,      // copied, moved, renamed, deleted
    fooSkipped,   // the user declined (replace answered No, delete not confirmed)
    fooFailed,    // the platform refused; Error says why
    fooCancelled, // not done because the run was cancelled or aborted before or at this file
};

struct TFileOpItem
{
    QString Source;
    QString Target; // empty for delete
    TFileOpOutcome Outcome = TFileOpOutcome::fooCancelled;
    QString Error;
};

struct TFileOpResult
{
    QVector<TFileOpItem> Items; // one per source, in order
    bool Aborted = false;       // the user cancelled a question or aborted through progress
    bool AllDone() const;
    bool AnyFailed() const;
};

// What a run may ask of the user. Unset callbacks take the answer in brackets.
struct TFileOpCallbacks
{
    // Target exists: replace it? [raNo]
    std::function<TReplaceAnswer(const QString& source, const QString& target)> AskReplace;
    // Confirm a delete of these paths (to the trash when ToTrash). [true]
    std::function<bool(const QStringList& paths, bool toTrash)> ConfirmDelete;
    // Bytes done of the total (files, for a delete); return false to abort. [true]
    std::function<bool(qint64 done, qint64 total)> Progress;
    // An item failed; shown to the user unless the run is silent about errors. [nothing]
    std::function<void(const TFileOpItem& item)> ReportError;
};

struct TFileOpRequest
{
    TFileOpKind Kind = TFileOpKind::fokCopy;
    QStringList Sources;
    // Empty: every source goes into TargetFolder under its own name (copy, move). Otherwise one
    // entry per source giving its exact target path, except that an entry naming an existing
    // folder means "into that folder". For rename, Targets holds the new paths.
    QStringList Targets;
    QString TargetFolder;
    bool ReplaceWithoutAsking = false; // replace existing targets without AskReplace
    bool ConfirmDelete = false;        // ask ConfirmDelete before deleting
    bool ToTrash = true;               // delete to the trash, else for good
};

TFileOpResult RunFileOperation(const TFileOpRequest& request, const TFileOpCallbacks& callbacks);

// For tests: while On, every move renames as if across file systems (the rename fails, and a
// copy and the delete of the source serve instead).
void SimulateCrossDeviceMoves(bool on);

// Whether A and B name the same file or folder: links followed, or another spelling of the name
// on a case-insensitive mount. False when either is missing.
bool SameFile(const QString& a, const QString& b);

// Moves one file or folder to the freedesktop trash. False, with the reason, when the trash
// refused; the file is then untouched.
bool MoveToTrash(const QString& path, QString* error = nullptr);
