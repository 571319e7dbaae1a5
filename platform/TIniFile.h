#pragma once

#include <optional>
#include <stdexcept>

#include <QString>
#include <QStringList>

// One value of an INI file, to be written.
struct TIniValue
{
    QString Section;
    QString Ident;
    QString Value;
};

// A failed INI write or section erase. The message names the file.
class EIniFileException : public std::runtime_error
{
public:
    EIniFileException(const QString& fileName, const QString& reason);
    // The refusal to write a file whose text encoding cannot be told.
    static EIniFileException UnknownEncoding(const QString& fileName);
    const QString& FileName() const { return FFileName; }

private:
    QString FFileName;
};

// One line of a key in its section: the name as written, the value as it stands in the file
// (blanks around it removed, quotes kept), and which line of that name in the section it is,
// counted from 0 in file order.
struct TIniKeyLine
{
    QString Name;
    QString Value;
    int Occurrence = 0;
};

// One INI file, read and written one value at a time, the way the game's own platform does:
// every call reads the file afresh (an unchanged file is not parsed again: parses are cached by
// path and checked against the file's changes, see FileChangeMonitor.h), and every write
// rewrites the file at once.
//
// Reading: section and key names match without regard to letter case; the first occurrence of
// a section or of a key in its section wins; a value is the rest of the line after the first
// "=", with blanks around it removed and then one pair of surrounding double quotes. Lines that
// begin with ";" are comments. A section header is "[" name "]" at the start of a line (blanks
// before it allowed); the first "]" ends the name, blanks around the name are dropped and text
// after the "]" is ignored. A "[" line without "]" is no header, so the keys below it stay in
// the section above. Lines above the first header, lines without "=" and lines with an empty
// key name are no keys. Texts are decoded in the file's form (see DetectTextForm: Windows-1252,
// or UTF-16 of either byte order, with or without a byte-order mark); lines end as SplitLines
// says (CR LF, LF, or CR alone in a file without LF). Blanks are space, tab, CR, VT and FF; control
// bytes such as the game's ESC colour codes are text.
//
// Writing changes only the line it writes: it replaces the value of the first matching key
// (everything up to and including its "=" stays), or adds "Key=Value" after the last non-blank
// line of the first matching section, or adds the section at the end of the file after a blank
// line. Every other byte stays as it was: comments, repeated keys, blank lines, the line
// endings, a missing last line ending, the encoding. Added lines take the file's first line
// ending; a new file, and a file with no line ending yet, use CR LF. Characters that
// Windows-1252 lacks are written as "?". The file is written to a temporary file beside it and
// renamed over the old one (through a symbolic link to its target, keeping the permissions), so
// a failed write leaves the old file whole; it raises EIniFileException, as does a read-only
// file, and a name or value that would not read back (an empty section or key name, a "]" in a
// section name, a "=" in a key name or one starting with "[" or ";", a line break anywhere),
// and a file whose encoding cannot be told (it stays as it is).
// DeleteKey and EraseSection leave the file untouched when there is nothing to remove.
//
// Reading a missing or unreadable file gives no sections (it never raises). Every member may be
// called from any thread.
class TIniFile final
{
public:
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FFileName; }

    // Section names in file order, each once (first spelling).
    QStringList ReadSections() const;
    // Key names of the first matching section in file order; a repeated key appears each time.
    QStringList ReadSection(const QString& section) const;
    // "Key=Value" texts of the section, in file order (values as read).
    QStringList ReadSectionValues(const QString& section) const;
    // A section exists when it holds at least one key.
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& ident) const;

    // The value, or nothing when the section or key is missing.
    std::optional<QString> ReadValue(const QString& section, const QString& ident) const;
    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    // An integer in decimal, or "0x"/"$" hexadecimal; Def when missing or not a number.
    int ReadInteger(const QString& section, const QString& ident, int def) const;
    // "0" is false, any other integer is true; Def when missing or not a number.
    bool ReadBool(const QString& section, const QString& ident, bool def) const;

    // Raise EIniFileException when the file cannot be written.
    void WriteString(const QString& section, const QString& ident, const QString& value);
    // Each value as WriteString would write it, in order, with one write of the file: all of
    // them are written or none.
    void WriteStrings(const QList<TIniValue>& values);
    void WriteInteger(const QString& section, const QString& ident, int value);
    void WriteBool(const QString& section, const QString& ident, bool value); // "1" or "0"
    // Removes the first matching key line of the section; nothing when there is none.
    void DeleteKey(const QString& section, const QString& ident);
    // For each name of Idents in turn, removes the first key line of that name still in the
    // first matching section, and writes the file once: the result is the file that one
    // DeleteKey per name would leave. Returns the number of lines removed (0: file untouched).
    int DeleteKeys(const QString& section, const QStringList& idents);
    // Removes every line of the first matching section, its header included.
    void EraseSection(const QString& section);
    // Replaces the first line that is exactly "[OldName]" (letter case ignored; a header with
    // blanks or text around the brackets is another line) by "[NewName]", when no line is
    // exactly "[NewName]"; every other byte stays. False, with the file untouched, when the
    // file is empty, OldName is missing or NewName exists. Raises EIniFileException for a
    // missing file and for a NewName that cannot stand in a header.
    bool RenameSection(const QString& oldName, const QString& newName);

    // Repeated keys ("ServerPackages=", "Paths=") line by line: Occurrence counts the lines of
    // a key name in the first matching section from 0, in file order. Values are as they stand
    // in the file: blanks around them removed, quotes kept.
    //
    // Every key line of the first matching section, in file order.
    QList<TIniKeyLine> ReadKeyLines(const QString& section) const;
    // That line's value, or nothing when the section has no such line.
    std::optional<QString> ReadValueAt(const QString& section, const QString& ident,
                                       int occurrence) const;
    // Replaces that line's value and nothing else (the blanks around it stay); without such a
    // line, adds the key as WriteString does. Raises as WriteString does.
    void WriteValueAt(const QString& section, const QString& ident, int occurrence,
                      const QString& value);
    // Adds a line "Ident=Value" after the section's last non-blank line, also when the key is
    // there already (a new section at the end when it is missing). Raises as WriteString does.
    void AddKeyLine(const QString& section, const QString& ident, const QString& value);
    // Removes that line; false (file untouched) when there is none. Raises EIniFileException
    // when the file cannot be written.
    bool DeleteKeyAt(const QString& section, const QString& ident, int occurrence);

private:
    QString FFileName;
};
