#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <pugixml.hpp>

// An XML file opened to read it and to change a few element texts in place. A save writes
// back every byte that was not changed as it was (declaration, encoding and byte-order mark,
// comments, white space, attribute quotes, entity references), since these files are also
// edited by hand and a save must not rewrite what the user wrote.
//
// The parsed document is read-only; changes are recorded against it and applied to the bytes
// when they are written. An element is given either a new text or new children, not both.
class TXMLTextFile final
{
public:
    // Reads and parses FileName in the encoding its byte-order mark or declaration names
    // (UTF-8 without either). Raises EXMLFileError when the file cannot be read, its encoding
    // is unknown or it is not well-formed.
    explicit TXMLTextFile(const QString& fileName);
    TXMLTextFile(const TXMLTextFile&) = delete;
    TXMLTextFile& operator=(const TXMLTextFile&) = delete;

    const QString& FileName() const { return FFileName; }
    const pugi::xml_document& Document() const { return FDocument; }
    // The root element; a null node when the document has none.
    pugi::xml_node Root() const { return FDocument.document_element(); }

    // Replaces everything inside Element (an element of this file) by Text. Raises
    // EXMLFileError when Text holds a character XML cannot store.
    void SetText(pugi::xml_node element, const QString& text);
    // Adds an element Name holding Text as the last child of Parent (an element of this file),
    // on a line of its own when the children before it are laid out that way. Raises
    // EXMLFileError when Text holds a character XML cannot store.
    void AppendChild(pugi::xml_node parent, const QString& name, const QString& text);

    bool Modified() const { return !FEdits.isEmpty() || !FAppends.isEmpty(); }

    // The file's bytes with the changes applied.
    QByteArray Bytes() const;
    // Writes Bytes to FileName atomically. Raises EXMLFileError when the write fails; the old
    // file is then untouched.
    void Save() const;

private:
    struct TEdit
    {
        qsizetype Start = 0;
        qsizetype End = 0; // exclusive
        QByteArray Text;
    };
    struct TAppend
    {
        pugi::xml_node Parent;
        QList<QByteArray> Elements; // the new children, in order
    };

    QByteArray EscapedUtf8(const QString& text) const;
    qsizetype TagStart(pugi::xml_node element) const;
    QList<TEdit> AppendEdits() const;

    QString FFileName;
    QByteArray FBuffer;        // the bytes as parsed: the file's own when UTF-8, else re-encoded
    QByteArray FEncodingName;  // empty for UTF-8
    QByteArray FByteOrderMark; // of a file that is not UTF-8, written back in front
    pugi::xml_document FDocument;
    QList<TEdit> FEdits;
    QList<TAppend> FAppends;
};
