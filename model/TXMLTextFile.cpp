#include "TXMLTextFile.h"

#include "AtomicFile.h"
#include "uKOVA_XML.h"

#include <QStringEncoder>

#include <algorithm>
#include <optional>

namespace {

// Whitespace-only text is kept: values are read unchanged, blanks included.
constexpr unsigned KReadFlags = pugi::parse_default | pugi::parse_declaration |
                                pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype |
                                pugi::parse_ws_pcdata;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The buffer has been parsed as well-formed XML, so a plain scan finds tag boundaries: only
// quoted attribute values can hold a ">".
qsizetype TagEnd(const QByteArray& buffer, qsizetype pos)
{
    char quote = 0;
    for (; pos < buffer.size(); ++pos) {
        const char c = buffer[pos];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return pos + 1;
        }
    }
    return -1;
}

bool IsSelfClosing(const QByteArray& buffer, qsizetype tagEnd)
{
    return tagEnd >= 2 && buffer[tagEnd - 2] == '/';
}

// Where "/>" begins, blanks before it included.
qsizetype SelfClosingStart(const QByteArray& buffer, qsizetype tagEnd)
{
    qsizetype pos = tagEnd - 2;
    while (pos > 0 && IsBlank(buffer[pos - 1]))
        --pos;
    return pos;
}

// The "</" of the end tag that closes the element whose content starts at Pos.
qsizetype EndTagStart(const QByteArray& buffer, qsizetype pos)
{
    int depth = 0;
    while ((pos = buffer.indexOf('<', pos)) >= 0) {
        const QByteArrayView rest = QByteArrayView(buffer).sliced(pos);
        qsizetype next = -1;
        if (rest.startsWith("<!--")) {
            next = buffer.indexOf("-->", pos + 4);
            next = next < 0 ? -1 : next + 3;
        } else if (rest.startsWith("<![CDATA[")) {
            next = buffer.indexOf("]]>", pos + 9);
            next = next < 0 ? -1 : next + 3;
        } else if (rest.startsWith("<?")) {
            next = buffer.indexOf("?>", pos + 2);
            next = next < 0 ? -1 : next + 2;
        } else if (rest.startsWith("</")) {
            if (depth == 0)
                return pos;
            --depth;
            next = TagEnd(buffer, pos);
        } else {
            next = TagEnd(buffer, pos);
            if (next >= 0 && !IsSelfClosing(buffer, next))
                ++depth;
        }
        if (next < 0)
            return -1;
        pos = next;
    }
    return -1;
}

// The blanks between the start of Pos's line and Pos, or nothing when other text comes first
// or the line starts before Limit.
std::optional<QByteArray> LineIndent(const QByteArray& buffer, qsizetype pos, qsizetype limit)
{
    const qsizetype lineStart = buffer.lastIndexOf('\n', pos - 1) + 1;
    if (lineStart == 0 || lineStart < limit)
        return std::nullopt;
    for (qsizetype i = lineStart; i < pos; ++i) {
        if (buffer[i] != ' ' && buffer[i] != '\t')
            return std::nullopt;
    }
    return buffer.mid(lineStart, pos - lineStart);
}

bool IsUnicodeEncoding(const QByteArray& name)
{
    return name.startsWith("UTF-") || name.startsWith("utf-");
}

} // namespace

TXMLTextFile::TXMLTextFile(const QString& fileName)
    : FFileName(fileName)
{
    TXMLFileBytes bytes = ReadXMLFileBytes(fileName);
    FBuffer = std::move(bytes.Utf8);
    FEncodingName = std::move(bytes.EncodingName);
    FByteOrderMark = std::move(bytes.ByteOrderMark);
    ParseXMLBytes(fileName, FBuffer, KReadFlags, FDocument);
}

QByteArray TXMLTextFile::EscapedUtf8(const QString& text) const
{
    // A file in a single-byte encoding gets character references for what it cannot hold.
    const bool asciiOnly = !FEncodingName.isEmpty() && !IsUnicodeEncoding(FEncodingName);
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF)
            throw EXMLFileError(FFileName,
                                QStringLiteral("the text holds a character XML cannot store"));
        if (u == '&')
            escaped += QLatin1String("&amp;");
        else if (u == '<')
            escaped += QLatin1String("&lt;");
        else if (u == '>')
            escaped += QLatin1String("&gt;");
        else if (u == '\r')
            escaped += QLatin1String("&#13;");
        else if (asciiOnly && u >= 0x80) {
            char32_t code = u;
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                code = QChar::surrogateToUcs4(c, text[++i]);
            escaped += QStringLiteral("&#%1;").arg(static_cast<uint>(code));
        } else
            escaped += c;
    }
    return escaped.toUtf8();
}

qsizetype TXMLTextFile::TagStart(pugi::xml_node element) const
{
    const qsizetype nameOffset = static_cast<qsizetype>(element.offset_debug());
    if (element.type() != pugi::node_element || nameOffset < 1 || nameOffset > FBuffer.size() ||
        FBuffer[nameOffset - 1] != '<')
        throw EXMLFileError(FFileName, QStringLiteral("an element to change was not found"));
    return nameOffset - 1;
}

void TXMLTextFile::SetText(pugi::xml_node element, const QString& text)
{
    const qsizetype start = TagStart(element);
    const qsizetype tagEnd = TagEnd(FBuffer, start);
    const QByteArray escaped = EscapedUtf8(text);
    TEdit edit;
    if (IsSelfClosing(FBuffer, tagEnd)) {
        edit.Start = SelfClosingStart(FBuffer, tagEnd);
        edit.End = tagEnd;
        edit.Text = '>' + escaped + "</" + QByteArray(element.name()) + '>';
    } else {
        edit.Start = tagEnd;
        edit.End = EndTagStart(FBuffer, tagEnd);
        if (edit.End < 0)
            throw EXMLFileError(FFileName, QStringLiteral("an element to change was not found"));
        edit.Text = escaped;
    }
    FEdits.removeIf([&](const TEdit& old) { return old.Start == edit.Start; });
    FEdits.append(edit);
}

void TXMLTextFile::AppendChild(pugi::xml_node parent, const QString& name, const QString& text)
{
    TagStart(parent); // checks that it is an element of this file
    const QByteArray element =
        '<' + name.toUtf8() + '>' + EscapedUtf8(text) + "</" + name.toUtf8() + '>';
    for (TAppend& append : FAppends) {
        if (append.Parent == parent) {
            append.Elements.append(element);
            return;
        }
    }
    FAppends.append({parent, {element}});
}

QList<TXMLTextFile::TEdit> TXMLTextFile::AppendEdits() const
{
    QList<TEdit> edits;
    for (const TAppend& append : FAppends) {
        const qsizetype start = TagStart(append.Parent);
        const qsizetype tagEnd = TagEnd(FBuffer, start);
        TEdit edit;
        if (IsSelfClosing(FBuffer, tagEnd)) {
            edit.Start = SelfClosingStart(FBuffer, tagEnd);
            edit.End = tagEnd;
            edit.Text =
                '>' + append.Elements.join() + QByteArray("</") + append.Parent.name() + '>';
            edits.append(edit);
            continue;
        }
        const qsizetype endTag = EndTagStart(FBuffer, tagEnd);
        if (endTag < 0)
            throw EXMLFileError(FFileName, QStringLiteral("an element to change was not found"));
        // With the end tag on a line of its own, each new child gets a line of its own, indented
        // like the last child element (or one step deeper than the end tag).
        const std::optional<QByteArray> closingIndent = LineIndent(FBuffer, endTag, tagEnd);
        if (!closingIndent) {
            edit.Start = edit.End = endTag;
            edit.Text = append.Elements.join();
            edits.append(edit);
            continue;
        }
        const qsizetype lineStart = endTag - closingIndent->size();
        const QByteArray lineEnd = lineStart >= 2 && FBuffer[lineStart - 2] == '\r' ? "\r\n" : "\n";
        std::optional<QByteArray> indent;
        for (pugi::xml_node child = append.Parent.last_child(); child && !indent;
             child = child.previous_sibling()) {
            if (child.type() == pugi::node_element)
                indent = LineIndent(FBuffer, TagStart(child), tagEnd);
        }
        if (!indent)
            indent = *closingIndent + (closingIndent->contains('\t') ? "\t" : "  ");
        edit.Start = edit.End = lineStart;
        for (const QByteArray& element : append.Elements)
            edit.Text += *indent + element + lineEnd;
        edits.append(edit);
    }
    return edits;
}

QByteArray TXMLTextFile::Bytes() const
{
    QList<TEdit> edits = FEdits + AppendEdits();
    std::stable_sort(edits.begin(), edits.end(),
                     [](const TEdit& a, const TEdit& b) { return a.Start > b.Start; });
    QByteArray result = FBuffer;
    for (const TEdit& edit : edits)
        result.replace(edit.Start, edit.End - edit.Start, edit.Text);
    if (FEncodingName.isEmpty())
        return result;
    QStringEncoder encoder(FEncodingName.constData(), QStringConverter::Flag::Stateless);
    const QByteArray encoded = encoder.encode(QString::fromUtf8(result));
    if (encoder.hasError())
        throw EXMLFileError(FFileName, QStringLiteral("the text cannot be stored in %1")
                                           .arg(QString::fromLatin1(FEncodingName)));
    return FByteOrderMark + encoded;
}

void TXMLTextFile::Save() const
{
    QString error;
    if (!WriteFileAtomically(FFileName, Bytes(), &error))
        throw EXMLFileError(FFileName, error);
}
