#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

#include "FileOperation.h"
#include "TIniFile.h"
#include "TResult.h"

// Free routines shared by the model and the user interface: file and folder tests, the file
// search, sizes and their text, one-value INI access, the shell's file operation, type names
// of file types and the link time of an executable. None keeps state between calls.
//
// Folders given "with a trailing separator" end in "/" (a "\" is accepted too).

// The window that owns the dialogs of a shell operation; the user interface passes its own.
using TWindowHandle = QObject*;

// Shell operations, with the values of the platform they stand for.
constexpr int FO_MOVE = 1;
constexpr int FO_COPY = 2;
constexpr int FO_DELETE = 3;
constexpr int FO_RENAME = 4;

constexpr quint16 FOF_MULTIDESTFILES = 0x0001;
constexpr quint16 FOF_SILENT = 0x0004; // no progress
constexpr quint16 FOF_RENAMEONCOLLISION = 0x0008;
constexpr quint16 FOF_NOCONFIRMATION = 0x0010; // replace and delete without asking
constexpr quint16 FOF_ALLOWUNDO = 0x0040;      // delete to the trash
constexpr quint16 FOF_FILESONLY = 0x0080;
constexpr quint16 FOF_NOCONFIRMMKDIR = 0x0200;
constexpr quint16 FOF_NOERRORUI = 0x0400; // report no errors to the user

// Who answers the questions of a shell operation and shows its progress and errors. The user
// interface sets one at start-up; without one, replace questions are answered No, deletes are
// confirmed, and nothing is shown.
using TShellOperationUi = std::function<TFileOpCallbacks(TWindowHandle owner, quint16 flags)>;
void SetShellOperationUi(TShellOperationUi ui);
// The callbacks the user interface gives an operation of Owner with Flags (the defaults without
// one): a caller that must ask a question of the operation ahead of it asks it here.
TFileOpCallbacks ShellOperationCallbacks(TWindowHandle owner, quint16 flags);

// Dir + name of every file in Dir matching Mask (files of a folder first, sorted by name
// without regard to case), then, when Recursive, of each subfolder searched the same way in
// sorted order. Each folder is entered once, so a link loop ends. Never fails: a missing
// folder gives none. Dir must end with a separator.
QStringList FindFiles(const QString& dir, const QString& mask, bool recursive);

// "%d Byte", "%2n KB", "%2n MB" or "%2n GB"; 1048576 is still "1,024.00 KB".
QString FormatFileSize(qint64 size);
// True for an existing file (not a folder); Size is its size, else 0.
bool TryGetFileSize(const QString& fileName, qint64& size);
qint64 GetFileSizeOf(const QString& fileName);     // 0 when missing or a folder
QString FormatFileSizeOf(const QString& fileName); // "0 Byte" when missing

// One shell operation of the platform's kind (FO_*) and flags (FOF_*). Copy, move and rename
// take a target list: one entry, or one per source (then FOF_MULTIDESTFILES is added and each
// target is the exact path for the source at the same position); a target naming an existing
// folder means "into that folder". Delete takes none (nullptr). Returns 0 when no file failed,
// else a non-zero code; Aborted tells whether the user cancelled. Result, when given, receives
// what happened to each file.
int ShellFileOperationEx(TWindowHandle wnd, int func, const QStringList& fromList,
                         const QStringList* toList, quint16 flags, bool& aborted,
                         TFileOpResult* result = nullptr);
int ShellFileOperation(TWindowHandle wnd, int func, const QStringList& fromList,
                       const QStringList* toList, quint16 flags, TFileOpResult* result = nullptr);
// One source; To empty means no target list.
int ShellFileOperationStr(TWindowHandle wnd, int func, const QString& from, const QString& to,
                          quint16 flags, TFileOpResult* result = nullptr);

// ShellFileOperationStr as a result, for operations on one file: success when the file was
// done; otherwise ecDeclined (the user answered No), ecCancelled, or ecFailed with the reason.
// The error names the file.
TResult<void> ShellFileOperationOne(TWindowHandle wnd, int func, const QString& from,
                                    const QString& to, quint16 flags);

// One value of an INI file through a fresh INI-file object. Reads give an empty text for a
// missing file, section or key; writes raise EIniFileException when the file cannot be written.
QString ReadIniValue(const QString& ident, const QString& section, const QString& fileName);
void WriteIniValue(const QString& value, const QString& ident, const QString& section,
                   const QString& fileName);
QString IniReadString(const QString& fileName, const QString& section, const QString& ident);
void IniWriteString(const QString& fileName, const QString& section, const QString& ident,
                    const QString& value);

// Replaces the header line of section OldName (matched without regard to case) by "[NewName]"
// when no section NewName exists; only that line changes and the write is atomic. False when
// the file is empty, OldName is missing or NewName exists. Raises EIniFileException when the
// file cannot be read or written.
bool RenameIniSection(const TIniFile& iniFile, const QString& oldName, const QString& newName);

// The text before (ValuePart false) or after (true) the first "=" of S; Result is left
// untouched when S holds no "=".
void ExtractNameOrValue(const QString& s, bool valuePart, QString& result);

// Whether Name may be written as a file of a folder, whatever the name came from (an archive,
// the game's cache index, a folder being installed): not empty, not "." or "..", without a
// separator ("/", "\\", ":") and without a character that makes a name show as another or as
// nothing: controls, format characters (Unicode's category Cf: bidirectional controls,
// zero-width characters), line and paragraph separators, and the rest of Unicode's default
// ignorable code points (fillers, variation selectors).
bool SafeFileName(const QString& name);
// Name with every character that SafeFileName refuses for how it shows written as "<U+XXXX>",
// for showing a name that SafeFileName refused.
QString VisibleName(const QString& name);

// False for an empty list, else whether every entry names an existing file.
bool AllFilesExist(const QStringList& list);
// Folder tests; a trailing separator is allowed. Letter case is resolved as for game files.
bool DirExists(const QString& path);
bool DirExistsA(const QString& path);

// Count copies of S (none for Count <= 0).
QStringList CreateRepeatedStringList(const QString& s, int count);

// The desktop's name for files of extension Ext (with its dot), e.g. "ZIP archive"; empty
// when the desktop knows no type for it.
QString GetFileTypeName(const QString& ext);

// The build time of a Windows executable in Unix seconds, read from its PE header (refined from
// the resource directory for linkers that write a fixed stamp); 0 when none was found. Never
// raises.
quint32 GetImageLinkTime(const QString& fileName);

// The tool's progress bars may always run as a marquee here.
bool IsWindowsXPOrLater();
