#include "uKOVA_XML.h"

#include "AtomicFile.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// A document that will be saved indented again drops its old indentation.
constexpr unsigned KRewriteFlags = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

QString FromUtf8(const char* text)
{
    return QString::fromUtf8(text);
}

void AppendText(pugi::xml_node node, QString& result)
{
    for (pugi::xml_node child : node.children()) {
        switch (child.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata:
            result += FromUtf8(child.value());
            break;
        case pugi::node_element:
            AppendText(child, result);
            break;
        default:
            break;
        }
    }
}

// Strict decimal: an optional sign, then digits; no blanks, no other characters.
bool IsIntegerText(const QString& text)
{
    qsizetype i = (text.startsWith(u'-') || text.startsWith(u'+')) ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    return true;
}

bool TryParseInt(const QString& text, int& value)
{
    if (!IsIntegerText(text))
        return false;
    bool ok = false;
    const int result = text.toInt(&ok, 10);
    if (ok)
        value = result;
    return ok;
}

class TByteWriter final : public pugi::xml_writer
{
public:
    void write(const void* data, size_t size) override
    {
        Bytes.append(static_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    QByteArray Bytes;
};

// The value of encoding="..." in the declaration of an ASCII-compatible document.
QByteArray DeclaredEncoding(const QByteArray& bytes)
{
    if (!bytes.startsWith("<?xml"))
        return QByteArray();
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return QByteArray();
    const QByteArray declaration = bytes.left(end);
    qsizetype pos = declaration.indexOf("encoding");
    if (pos < 0)
        return QByteArray();
    pos += 8;
    while (pos < declaration.size() &&
           (declaration[pos] == ' ' || declaration[pos] == '\t' || declaration[pos] == '\r' ||
            declaration[pos] == '\n' || declaration[pos] == '='))
        ++pos;
    if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\''))
        return QByteArray();
    const char quote = declaration[pos];
    const qsizetype close = declaration.indexOf(quote, pos + 1);
    return close < 0 ? QByteArray() : declaration.mid(pos + 1, close - pos - 1).trimmed();
}

} // namespace

EXMLFileError::EXMLFileError(const QString& fileName, const QString& reason)
    : std::runtime_error(QStringLiteral("%1: %2").arg(fileName, reason).toStdString())
    , FFileName(fileName)
    , FReason(reason)
{}

EXMLFileError::EXMLFileError(const QString& fileName, const QString& reason, qsizetype line,
                             qsizetype column)
    : std::runtime_error(QStringLiteral("%1: %2 at line %3, column %4")
                             .arg(fileName, reason)
                             .arg(line)
                             .arg(column)
                             .toStdString())
    , FFileName(fileName)
    , FReason(reason)
    , FLine(line)
    , FColumn(column)
{}

pugi::xml_node FindXMLChild(pugi::xml_node node, const QString& name)
{
    const std::string wanted = Utf8(name);
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element && wanted == child.name())
            return child;
    }
    return pugi::xml_node();
}

QString XMLNodeText(pugi::xml_node node)
{
    QString result;
    AppendText(node, result);
    return result;
}

QString ReadXMLNodeText(pugi::xml_node node, const QString& name, const QString& def)
{
    const pugi::xml_node child = FindXMLChild(node, name);
    return child ? XMLNodeText(child) : def;
}

int ReadXMLNodeInt(pugi::xml_node node, const QString& name, int def)
{
    const pugi::xml_node child = FindXMLChild(node, name);
    int value = def;
    return child && TryParseInt(XMLNodeText(child), value) ? value : def;
}

bool ReadXMLNodeBool(pugi::xml_node node, const QString& name, bool def)
{
    const pugi::xml_node child = FindXMLChild(node, name);
    if (!child)
        return def;
    const QString text = XMLNodeText(child);
    if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (!IsIntegerText(text))
        return def;
    // Any size of number counts; only its being zero matters.
    for (QChar c : text) {
        if (c >= u'1' && c <= u'9')
            return true;
    }
    return false;
}

int ReadXMLNodeEnum(pugi::xml_node node, const QString& name, const QStringList& memberNames,
                    int def)
{
    const QString text = ReadXMLNodeText(node, name, QString());
    if (text.isEmpty())
        return def;
    for (qsizetype i = 0; i < memberNames.size(); ++i) {
        if (text.compare(memberNames[i], Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void WriteXMLNodeText(pugi::xml_node node, const QString& name, const QString& value)
{
    if (!node)
        return;
    pugi::xml_node child = FindXMLChild(node, name);
    if (!child)
        child = node.append_child(Utf8(name).c_str());
    while (child.first_child())
        child.remove_child(child.first_child());
    child.append_child(pugi::node_pcdata).set_value(Utf8(value).c_str());
}

void WriteXMLNodeBool(pugi::xml_node node, const QString& name, bool value)
{
    WriteXMLNodeText(node, name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

void CreateXMLFile(const QString& fileName, const QString& root, const QStringList& children)
{
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node rootNode = doc.append_child(Utf8(root).c_str());
    for (const QString& child : children)
        rootNode.append_child(Utf8(child).c_str());
    SaveXMLDocument(doc, fileName);
}

void LoadXMLDocument(const QString& fileName, pugi::xml_document& doc)
{
    ParseXMLBytes(fileName, ReadXMLFileBytes(fileName).Utf8, KRewriteFlags, doc);
}

void SaveXMLDocument(const pugi::xml_document& doc, const QString& fileName)
{
    TByteWriter writer;
    doc.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    QString error;
    if (!WriteFileAtomically(fileName, writer.Bytes, &error))
        throw EXMLFileError(fileName, error);
}

TXMLFileBytes ReadXMLFileBytes(const QString& fileName)
{
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(fileName, bytes, &error))
        throw EXMLFileError(fileName, error);

    TXMLFileBytes result;
    qsizetype bomLength = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        result.Utf8 = bytes; // pugixml skips the mark; keeping it keeps the offsets true
        return result;
    } else if (bytes.startsWith(QByteArray("\xFF\xFE\0\0", 4))) {
        result.EncodingName = "UTF-32LE";
        bomLength = 4;
    } else if (bytes.startsWith(QByteArray("\0\0\xFE\xFF", 4))) {
        result.EncodingName = "UTF-32BE";
        bomLength = 4;
    } else if (bytes.startsWith("\xFF\xFE")) {
        result.EncodingName = "UTF-16LE";
        bomLength = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        result.EncodingName = "UTF-16BE";
        bomLength = 2;
    } else if (bytes.startsWith(QByteArray("<\0?\0", 4))) {
        result.EncodingName = "UTF-16LE";
    } else if (bytes.startsWith(QByteArray("\0<\0?", 4))) {
        result.EncodingName = "UTF-16BE";
    } else {
        const QByteArray declared = DeclaredEncoding(bytes);
        if (declared.isEmpty() || declared.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
            declared.compare("UTF8", Qt::CaseInsensitive) == 0) {
            result.Utf8 = bytes;
            return result;
        }
        result.EncodingName = declared;
    }

    QStringDecoder decoder(result.EncodingName.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        throw EXMLFileError(fileName, QStringLiteral("the encoding \"%1\" is not supported")
                                          .arg(QString::fromLatin1(result.EncodingName)));
    const QString text = decoder.decode(QByteArrayView(bytes).sliced(bomLength));
    if (decoder.hasError())
        throw EXMLFileError(fileName, QStringLiteral("the text is not valid %1")
                                          .arg(QString::fromLatin1(result.EncodingName)));
    result.ByteOrderMark = bytes.left(bomLength);
    result.Utf8 = text.toUtf8();
    return result;
}

void ParseXMLBytes(const QString& fileName, const QByteArray& utf8, unsigned flags,
                   pugi::xml_document& doc)
{
    const pugi::xml_parse_result result = doc.load_buffer(
        utf8.constData(), static_cast<size_t>(utf8.size()), flags, pugi::encoding_utf8);
    if (result)
        return;
    const qsizetype offset =
        std::clamp(static_cast<qsizetype>(result.offset), qsizetype(0), utf8.size());
    const QByteArray before = utf8.left(offset);
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = offset - (before.lastIndexOf('\n') + 1) + 1;
    throw EXMLFileError(fileName, FromUtf8(result.description()), line, column);
}
