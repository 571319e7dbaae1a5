#include "uKOVA_MapCache.h"

#include "AtomicFile.h"
#include "GamePath.h"
#include "uKOVA_XML.h"

#include <QFileInfo>
#include <QStringEncoder>

#include <algorithm>

namespace {

const char* const KRootName = "kovacache";

constexpr unsigned KParseFlags = pugi::parse_default | pugi::parse_declaration |
                                 pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

QString Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

void AppendReference(QString& out, char16_t c)
{
    out += QLatin1String("&#x") + QString::number(static_cast<uint>(c), 16).toUpper() + u';';
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Characters that XML 1.1 allows only as references (the restricted ones), that a parser
// would change (carriage return, U+0085 and U+2028 are line ends), or that are markup.
bool NeedsReference(char16_t c, bool attribute)
{
    if (c < 0x20)
        return attribute || (c != u'\n' && c != u'\t');
    return (c >= 0x7F && c <= 0x9F) || c == 0x2028;
}

void AppendEscaped(QString& out, QStringView text, bool attribute)
{
    // A text of blanks alone would be dropped as layout by the reader.
    const bool allBlank = !text.isEmpty() &&
                          std::all_of(text.begin(), text.end(), [](QChar c) { return IsBlank(c); });
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'&')
            out += QLatin1String("&amp;");
        else if (u == u'<')
            out += QLatin1String("&lt;");
        else if (u == u'>')
            out += QLatin1String("&gt;");
        else if (u == u'"' && attribute)
            out += QLatin1String("&quot;");
        else if (allBlank || NeedsReference(u, attribute))
            AppendReference(out, u);
        else
            out += c;
    }
}

bool IsText(pugi::xml_node node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

void AppendIndent(QString& out, int depth)
{
    out += QString(depth * 2, u' ');
}

void AppendNode(QString& out, pugi::xml_node node, int depth, bool inlined);

void AppendElement(QString& out, pugi::xml_node node, int depth, bool inlined)
{
    out += u'<';
    out += Text(node.name());
    for (pugi::xml_attribute attribute : node.attributes()) {
        out += u' ';
        out += Text(attribute.name());
        out += QLatin1String("=\"");
        AppendEscaped(out, Text(attribute.value()), true);
        out += u'"';
    }
    if (!node.first_child()) {
        out += QLatin1String(" />");
        return;
    }
    out += u'>';
    bool hasText = false;
    bool hasOther = false;
    for (pugi::xml_node child : node.children())
        (IsText(child) ? hasText : hasOther) = true;
    // Mixed content is written without layout, which would otherwise become part of the text.
    const bool childrenInlined = inlined || hasText;
    for (pugi::xml_node child : node.children()) {
        if (!childrenInlined) {
            out += u'\n';
            AppendIndent(out, depth + 1);
        }
        AppendNode(out, child, depth + 1, childrenInlined);
    }
    if (!childrenInlined && hasOther) {
        out += u'\n';
        AppendIndent(out, depth);
    }
    out += QLatin1String("</");
    out += Text(node.name());
    out += u'>';
}

void AppendNode(QString& out, pugi::xml_node node, int depth, bool inlined)
{
    switch (node.type()) {
    case pugi::node_element:
        AppendElement(out, node, depth, inlined);
        break;
    case pugi::node_pcdata:
    case pugi::node_cdata:
        AppendEscaped(out, Text(node.value()), false);
        break;
    case pugi::node_comment:
        out += QLatin1String("<!--") + Text(node.value()) + QLatin1String("-->");
        break;
    case pugi::node_pi:
        out += QLatin1String("<?") + Text(node.name()) + u' ' + Text(node.value()) +
               QLatin1String("?>");
        break;
    case pugi::node_doctype:
        out += QLatin1String("<!DOCTYPE ") + Text(node.value()) + u'>';
        break;
    default: // the declaration is written anew
        break;
    }
}

// The whole document as XML 1.1 text with the given encoding name in its declaration.
QString DocumentText(const pugi::xml_document& doc, const QString& encodingName)
{
    QString out = QStringLiteral("<?xml version=\"1.1\" encoding=\"%1\"?>").arg(encodingName);
    for (pugi::xml_node node : doc.children()) {
        if (node.type() == pugi::node_declaration)
            continue;
        out += u'\n';
        AppendNode(out, node, 0, false);
    }
    out += u'\n';
    return out;
}

TResult<void> WriteDocument(const QString& fileName, const pugi::xml_document& doc,
                            const QByteArray& encodingName, const QByteArray& byteOrderMark)
{
    QByteArray bytes;
    const bool unicode = encodingName.startsWith("UTF-16") || encodingName.startsWith("UTF-32");
    if (unicode) {
        QStringEncoder encoder(encodingName.constData(), QStringConverter::Flag::Stateless);
        bytes = byteOrderMark + QByteArray(encoder(DocumentText(doc, Text(encodingName))));
    } else {
        // A UTF-8 file keeps its byte-order mark; one in a code page that cannot hold every
        // text becomes UTF-8.
        bytes = byteOrderMark + DocumentText(doc, QStringLiteral("UTF-8")).toUtf8();
    }
    QString error;
    if (!WriteFileAtomically(fileName, bytes, &error))
        return TError{TErrorCode::ecFailed, error, fileName};
    return {};
}

void WriteItem(pugi::xml_node element, const TMapCacheItem& item)
{
    WriteXMLNodeText(element, QStringLiteral("filename"), item.FileName);
    WriteXMLNodeText(element, QStringLiteral("author"), item.Author);
    WriteXMLNodeText(element, QStringLiteral("title"), item.Title);
    WriteXMLNodeText(element, QStringLiteral("description"), item.Description);
}

bool SameCachedFile(const QString& a, const QString& b)
{
    return LocalPathFromWindows(a).compare(LocalPathFromWindows(b), Qt::CaseInsensitive) == 0;
}

} // namespace

TMapCacheRead ReadMapCache(const QString& fileName, QList<TMapCacheItem>& items)
{
    if (!QFileInfo(fileName).isFile())
        return TMapCacheRead::mcrMissing;
    pugi::xml_document doc;
    try {
        LoadXMLDocument(fileName, doc);
    } catch (const EXMLFileError&) {
        return TMapCacheRead::mcrDamaged;
    }
    const pugi::xml_node root = doc.document_element();
    if (!root)
        return TMapCacheRead::mcrDamaged;
    if (qstrcmp(root.name(), KRootName) != 0)
        return TMapCacheRead::mcrForeign;
    items.clear();
    for (pugi::xml_node child : root.children()) {
        if (child.type() != pugi::node_element)
            continue;
        items.append({ReadXMLNodeText(child, QStringLiteral("filename"), QString()),
                      ReadXMLNodeText(child, QStringLiteral("author"), QString()),
                      ReadXMLNodeText(child, QStringLiteral("title"), QString()),
                      ReadXMLNodeText(child, QStringLiteral("description"), QString())});
    }
    return TMapCacheRead::mcrLoaded;
}

TResult<void> WriteMapCache(const QString& fileName, const QList<TMapCacheItem>& items)
{
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child(KRootName);
    for (qsizetype i = 0; i < items.size(); ++i)
        WriteItem(root.append_child(QStringLiteral("item%1").arg(i).toUtf8().constData()),
                  items[i]);
    return WriteDocument(fileName, doc, QByteArray(), QByteArray());
}

TResult<void> UpdateMapCacheItem(const QString& fileName, const TMapCacheItem& item)
{
    if (!QFileInfo(fileName).isFile())
        return TError{TErrorCode::ecNotFound,
                      QStringLiteral("%1: the file does not exist").arg(fileName), fileName};
    pugi::xml_document doc;
    TXMLFileBytes bytes;
    try {
        bytes = ReadXMLFileBytes(fileName);
        ParseXMLBytes(fileName, bytes.Utf8, KParseFlags, doc);
    } catch (const EXMLFileError& e) {
        return ErrorFrom(e, fileName);
    }
    pugi::xml_node root = doc.document_element();
    if (qstrcmp(root.name(), KRootName) != 0)
        return TError{TErrorCode::ecInvalid, QStringLiteral("%1: not a map cache").arg(fileName),
                      fileName};
    pugi::xml_node target;
    int count = 0;
    for (pugi::xml_node child : root.children()) {
        if (child.type() != pugi::node_element)
            continue;
        ++count;
        if (!target && SameCachedFile(ReadXMLNodeText(child, QStringLiteral("filename"), QString()),
                                      item.FileName))
            target = child;
    }
    if (!target)
        target = root.append_child(QStringLiteral("item%1").arg(count).toUtf8().constData());
    WriteItem(target, item);
    const QByteArray byteOrderMark =
        bytes.EncodingName.isEmpty() && bytes.Utf8.startsWith("\xEF\xBB\xBF")
            ? QByteArray("\xEF\xBB\xBF")
            : bytes.ByteOrderMark;
    return WriteDocument(fileName, doc, bytes.EncodingName, byteOrderMark);
}
