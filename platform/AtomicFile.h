#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QString>

#include <optional>

// What becomes of a symbolic link at the target of a write.
enum class TLinkAtTarget
{
    latReplace, // the new file takes the link's place; what it pointed to is never written
    latFollow,  // the file the link points to is the one replaced (an edit of a file kept
                // elsewhere); a dangling link is replaced
};

// Writes a file under Target's name by way of a temporary file beside it that is renamed over
// Target once it is whole, so Target is always either the old file or the whole new one.
//
// Where the file system allows, the data is written to an unnamed file that gets a name only
// just before the rename, so a writer killed during a long write leaves nothing. Elsewhere, and
// for that last moment, temporaries are named "." + the target's name + ".kova-" + the writing
// process's id and start time + six letters or digits. Open first removes the temporaries of
// this user in the target's folder whose writer is no longer running (those whose writer
// cannot be told once they are a minute old). The writer holds a lock (flock) on its temporary
// until the rename, or until it is destroyed after Close, and no temporary whose lock is held
// is removed: a writer in another process namespace has an id that means nothing here. Until
// Commit or Close the temporary is removed when the writer goes. The new file gets the replaced
// file's permissions, or a new file's.
class TAtomicWriter final
{
public:
    explicit TAtomicWriter(const QString& target, TLinkAtTarget links = TLinkAtTarget::latReplace);
    ~TAtomicWriter();
    TAtomicWriter(const TAtomicWriter&) = delete;
    TAtomicWriter& operator=(const TAtomicWriter&) = delete;

    // Makes the temporary. False, with the reason in Error, when it cannot be made (a folder
    // that is missing or read-only, a name too long for the file system).
    bool Open(QString* error = nullptr);
    // False, with the reason in Error, when the bytes could not all be written.
    bool Write(const char* data, qint64 size, QString* error = nullptr);
    bool Write(const QByteArray& bytes, QString* error = nullptr)
    {
        return Write(bytes.constData(), bytes.size(), error);
    }
    // What the new file gets instead of the replaced file's permissions and a new time.
    void SetPermissions(QFileDevice::Permissions permissions) { FPermissions = permissions; }
    void SetModificationTime(const QDateTime& time) { FModified = time; }
    // Whether Open first removes the folder's stale temporaries (the default). A writer of many
    // files sweeps each folder once with RemoveStaleTemporaries instead.
    void SetSweep(bool sweep) { FSweep = sweep; }

    // Puts the temporary on the disk and renames it over the target. False, with the reason in
    // Error, when that failed; the temporary is then gone and the target as it was.
    bool Commit(QString* error = nullptr);
    // Closes the temporary and leaves it for the caller to move into place (or remove) while
    // the writer lives, which keeps it locked; TemporaryPath names it. Unlike Commit it does not
    // wait for the disk: for a new file that can be made again, such as a converted screenshot.
    // False, with the reason in Error, when that failed; the temporary is then gone.
    bool Close(QString* error = nullptr);

    // The file that Commit replaces: the target, or with latFollow what its link points to.
    QString Target() const { return FTarget; }
    // The named temporary; empty until it has a name (after Close at the latest).
    QString TemporaryPath() const { return FTemporary; }

private:
    bool Finish(bool sync, QString* error);
    bool GiveName(QString* error);
    void Discard();
    void ReleaseFiles();

    QString FTarget;
    QString FTemporary;
    int FFd = -1;
    int FLock = -1;        // holds the temporary's lock after FFd is closed, until the rename
    bool FUnnamed = false; // the open file has no name yet
    bool FKept = false;    // committed or closed: the temporary is no longer ours to remove
    bool FSweep = true;
    std::optional<QFileDevice::Permissions> FPermissions;
    QDateTime FModified;
};

// The process that wrote a temporary: its id and its start time as the system counts it, so
// that a process that got the id of a dead writer is not taken for it. Start 0: not known.
struct TWriterId
{
    qint64 Pid = 0;
    quint64 Start = 0;
    bool operator==(const TWriterId&) const = default;
};
// This process.
TWriterId CurrentWriter();

// The names of the temporaries beside a target named TargetName: a new random one of this
// process, and the test whether Name is one of them.
QString TemporaryNameFor(const QString& targetName);
bool IsTemporaryFor(const QString& name, const QString& targetName);
// Whether Name is a temporary of any target; Writer gets who wrote it, when the name says (a
// temporary of an earlier version of the program does not).
bool IsTemporaryName(const QString& name, TWriterId* writer = nullptr);

// Removes the temporaries in Folder that killed writers left, whatever file they were for, as
// TAtomicWriter::Open does: this user's only, never one whose lock is held; those of a writer
// that is no longer running at once, those whose writer cannot be told once untouched for a
// minute.
void RemoveStaleTemporaries(const QString& folder);

// Writes Bytes to FileName atomically through TAtomicWriter, following a symbolic link to the
// file it points to. A read-only file is refused like a read-only folder (a rename would pass
// over it). Returns false, with the reason in Error, when anything failed; the old file is then
// untouched and no temporary file is left behind.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         QString* error = nullptr);

// Reads a whole file. Returns false, with the reason in Error, when it cannot be read.
bool ReadWholeFile(const QString& fileName, QByteArray& bytes, QString* error = nullptr);
