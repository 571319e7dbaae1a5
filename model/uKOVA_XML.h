#pragma once

#include <stdexcept>

#include <QString>
#include <QStringList>

#include <pugixml.hpp>

// The XML routines the settings file and the map cache share. Nodes are pugixml handles; an
// absent node is a null handle (pugi::xml_node()), which every routine accepts.
//
// Values are the text content of an element: the texts of everything inside it, joined, as
// written (not trimmed). Children are found by exact element name, the first one of that name.

// A failed read, parse or write of an XML file. The message names the file.
class EXMLFileError : public std::runtime_error
{
public:
    EXMLFileError(const QString& fileName, const QString& reason);
    // A document that is not well-formed: the parser's Reason at Line and Column (from 1).
    EXMLFileError(const QString& fileName, const QString& reason, qsizetype line, qsizetype column);
    const QString& FileName() const { return FFileName; }
    const QString& Reason() const { return FReason; }
    // 0 unless the document is not well-formed.
    qsizetype Line() const { return FLine; }
    qsizetype Column() const { return FColumn; }

private:
    QString FFileName;
    QString FReason;
    qsizetype FLine = 0;
    qsizetype FColumn = 0;
};

// The first child element of Node named exactly Name; a null node when there is none.
pugi::xml_node FindXMLChild(pugi::xml_node node, const QString& name);

// The text content of an element; empty for a null node.
QString XMLNodeText(pugi::xml_node node);

// The text of Node's child Name; Default when Node is null or has no such child.
QString ReadXMLNodeText(pugi::xml_node node, const QString& name, const QString& def);
// The child's text as a decimal integer (an optional sign and digits, nothing else); Default
// when the child is missing or its text is not such an integer.
int ReadXMLNodeInt(pugi::xml_node node, const QString& name, int def);
// The child's text as a Boolean: "True" or "False" in any letter case, or an integer (0 is
// false, any other value true); Default for anything else.
bool ReadXMLNodeBool(pugi::xml_node node, const QString& name, bool def);
// The position in MemberNames of the name that equals the child's text without regard to
// letter case; Default when the child is missing or its text is empty; -1 when the text names
// no member.
int ReadXMLNodeEnum(pugi::xml_node node, const QString& name, const QStringList& memberNames,
                    int def);

// Sets the text of Node's child Name to Value, first appending the child when Node has none;
// does nothing for a null Node. Markup characters are escaped when the document is saved.
void WriteXMLNodeText(pugi::xml_node node, const QString& name, const QString& value);
// WriteXMLNodeText with "True" or "False".
void WriteXMLNodeBool(pugi::xml_node node, const QString& name, bool value);

// Writes FileName (created when missing, overwritten when present) as a UTF-8 document whose
// root element Root holds one empty element per entry of Children, in order. The write is
// atomic. Raises EXMLFileError when the file cannot be written.
void CreateXMLFile(const QString& fileName, const QString& root, const QStringList& children);

// Reads and parses a whole XML file into Doc, comments and declaration included, in the
// encoding its byte-order mark or declaration names (UTF-8 without either). Raises
// EXMLFileError when the file cannot be read, its encoding is unknown or it is not well-formed.
void LoadXMLDocument(const QString& fileName, pugi::xml_document& doc);
// Writes Doc to FileName atomically as indented UTF-8. Raises EXMLFileError when the file
// cannot be written.
void SaveXMLDocument(const pugi::xml_document& doc, const QString& fileName);

// The bytes of an XML file made ready for the parser: UTF-8, with a UTF-8 byte-order mark kept
// as it was. EncodingName is empty for a UTF-8 file, else the file's encoding, whose bytes
// were converted; ByteOrderMark then holds the mark the file began with (may be empty).
struct TXMLFileBytes
{
    QByteArray Utf8;
    QByteArray EncodingName;
    QByteArray ByteOrderMark;
};
// Raises EXMLFileError when the file cannot be read or its encoding is unknown or broken.
TXMLFileBytes ReadXMLFileBytes(const QString& fileName);
// Parses Utf8 (read from FileName) into Doc with the pugixml Flags. Raises EXMLFileError,
// naming the line and column, when it is not a well-formed document with a root element.
void ParseXMLBytes(const QString& fileName, const QByteArray& utf8, unsigned flags,
                   pugi::xml_document& doc);
