#include "TemplateFormat.h"

#include <QLocale>

#include <cmath>

namespace {

// Widths and precisions beyond this are taken as this: a language file cannot make us build
// texts of gigabytes.
constexpr int KMaxWidth = 4096;

struct TSpec
{
    bool LeftJustify = false;
    int Width = -1;     // -1: none
    int Precision = -1; // -1: the conversion's default
    char16_t Type = 0;  // lower case
};

bool IsIntegerVariant(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool IsFloatVariant(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

// The argument as an integer, when it is one or reads as one.
bool ToInteger(const QVariant& v, qint64& out)
{
    if (IsIntegerVariant(v)) {
        out = v.typeId() == QMetaType::ULongLong ? qint64(v.toULongLong()) : v.toLongLong();
        return true;
    }
    if (IsFloatVariant(v)) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            return false;
        out = std::llround(d);
        return true;
    }
    bool ok = false;
    out = v.toString().trimmed().toLongLong(&ok);
    return ok;
}

// The argument as a floating value, when it is a number or reads as one.
bool ToFloat(const QVariant& v, double& out)
{
    if (IsIntegerVariant(v) || IsFloatVariant(v)) {
        out = v.toDouble();
        return true;
    }
    bool ok = false;
    out = v.toString().trimmed().toDouble(&ok);
    return ok;
}

// Formats with "." and "," and then puts in the user's separators, so the digits stay ASCII
// whatever the locale's own digits are.
QString LocalizeSeparators(const QString& cText)
{
    const QLocale locale;
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    QString result;
    result.reserve(cText.size());
    for (const QChar c : cText) {
        if (c == u'.')
            result += decimal;
        else if (c == u',')
            result += group;
        else
            result += c;
    }
    return result;
}

QString FixedText(double value, int decimals, bool grouped)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(grouped ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    return LocalizeSeparators(c.toString(value, 'f', decimals));
}

// "-d.dddE+ddd": Precision significant digits, an exponent of at least three digits.
QString ScientificText(double value, int precision)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const QString s = QString::number(value, 'e', qMax(precision, 1) - 1);
    const qsizetype e = s.indexOf(u'e');
    QString mantissa = s.left(e);
    const int exponent = s.mid(e + 1).toInt();
    const QString digits = QString::number(std::abs(exponent)).rightJustified(3, u'0');
    return LocalizeSeparators(mantissa) + u'E' + (exponent < 0 ? u'-' : u'+') + digits;
}

// The shortest of fixed and scientific with Precision significant digits.
QString GeneralText(double value, int precision)
{
    if (!std::isfinite(value))
        return QString::number(value);
    QString s = QString::number(value, 'g', qMax(precision, 1));
    const qsizetype e = s.indexOf(u'e');
    if (e < 0)
        return LocalizeSeparators(s);
    const int exponent = s.mid(e + 1).toInt();
    return LocalizeSeparators(s.left(e)) + u'E' + QString::number(exponent);
}

QString HexText(const QVariant& v, qint64 value)
{
    // Negative values show their bit pattern in the argument's own width.
    quint64 bits = quint64(value);
    if (value < 0 && (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Long ||
                      v.typeId() == QMetaType::Short || v.typeId() == QMetaType::SChar))
        bits &= 0xFFFFFFFFull;
    return QString::number(bits, 16).toUpper();
}

QString UnsignedText(const QVariant& v, qint64 value)
{
    quint64 bits = quint64(value);
    if (value < 0 && (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Long ||
                      v.typeId() == QMetaType::Short || v.typeId() == QMetaType::SChar))
        bits &= 0xFFFFFFFFull;
    return QString::number(bits);
}

// Zero-pads the digits of an integer text to Precision digits, after its sign.
QString WithMinimumDigits(QString text, int precision)
{
    const bool negative = text.startsWith(u'-');
    const qsizetype digits = text.size() - (negative ? 1 : 0);
    if (precision > digits)
        text.insert(negative ? 1 : 0, QString(precision - digits, u'0'));
    return text;
}

QString Convert(const TSpec& spec, const QVariant& arg)
{
    qint64 integer = 0;
    double real = 0;
    switch (spec.Type) {
    case u'd':
        if (ToInteger(arg, integer))
            return WithMinimumDigits(QString::number(integer), spec.Precision);
        break;
    case u'u':
        if (ToInteger(arg, integer))
            return WithMinimumDigits(UnsignedText(arg, integer), spec.Precision);
        break;
    case u'x':
        if (ToInteger(arg, integer))
            return WithMinimumDigits(HexText(arg, integer), spec.Precision);
        break;
    case u'f':
        if (ToFloat(arg, real))
            return FixedText(real, spec.Precision < 0 ? 2 : qMin(spec.Precision, 18), false);
        break;
    case u'n':
        if (ToFloat(arg, real))
            return FixedText(real, spec.Precision < 0 ? 2 : qMin(spec.Precision, 18), true);
        break;
    case u'e':
        if (ToFloat(arg, real))
            return ScientificText(real, spec.Precision < 0 ? 15 : qMin(spec.Precision, 18));
        break;
    case u'g':
        if (ToFloat(arg, real))
            return GeneralText(real, spec.Precision < 0 ? 15 : qMin(spec.Precision, 18));
        break;
    case u's': {
        const QString text = arg.toString();
        return spec.Precision >= 0 ? text.left(spec.Precision) : text;
    }
    }
    // An argument of another kind: its own text is the best we have.
    return arg.toString();
}

// Reads digits at Pos into Value (capped); false when there are none.
bool ReadNumber(const QString& pattern, qsizetype& pos, int& value)
{
    const qsizetype start = pos;
    qint64 n = 0;
    while (pos < pattern.size() && pattern[pos].isDigit() && pattern[pos].unicode() < 0x80) {
        n = qMin<qint64>(n * 10 + (pattern[pos].unicode() - u'0'), KMaxWidth);
        ++pos;
    }
    value = int(n);
    return pos > start;
}

} // namespace

QString FormatTemplate(const QString& pattern, const QVariantList& args)
{
    QString out;
    out.reserve(pattern.size() + 16 * args.size());
    qsizetype argIndex = 0;
    const qsizetype n = pattern.size();
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype percent = pattern.indexOf(u'%', pos);
        if (percent < 0) {
            out += QStringView(pattern).sliced(pos);
            break;
        }
        out += QStringView(pattern).sliced(pos, percent - pos);
        pos = percent + 1;
        if (pos < n && pattern[pos] == u'%') {
            out += u'%';
            ++pos;
            continue;
        }

        // "%" [index ":"] ["-"] [width] ["." precision] type; index, width and precision may
        // be "*", taken from the arguments.
        TSpec spec;
        bool bad = false;
        bool missing = false;
        auto takeStar = [&](int& value) {
            if (argIndex >= args.size()) {
                missing = true;
                return;
            }
            qint64 v = 0;
            if (!ToInteger(args[argIndex++], v))
                bad = true;
            value = int(qBound(qint64(0), v, qint64(KMaxWidth)));
        };
        int number = -1;
        bool haveNumber = false;
        bool star = false;
        if (pos < n && pattern[pos] == u'*') {
            star = true;
            ++pos;
        } else {
            haveNumber = ReadNumber(pattern, pos, number);
        }
        if (pos < n && pattern[pos] == u':') {
            ++pos;
            if (star)
                takeStar(number);
            else if (!haveNumber)
                number = 0;
            argIndex = number;
            star = false;
            haveNumber = false;
        }
        if (!star && !haveNumber) {
            if (pos < n && pattern[pos] == u'-') {
                spec.LeftJustify = true;
                ++pos;
            }
            if (pos < n && pattern[pos] == u'*') {
                star = true;
                ++pos;
            } else {
                haveNumber = ReadNumber(pattern, pos, number);
            }
        }
        if (star)
            takeStar(spec.Width);
        else if (haveNumber)
            spec.Width = number;
        if (pos < n && pattern[pos] == u'.') {
            ++pos;
            if (pos < n && pattern[pos] == u'*') {
                ++pos;
                takeStar(spec.Precision);
            } else if (!ReadNumber(pattern, pos, spec.Precision)) {
                bad = true;
            }
        }
        if (pos < n) {
            spec.Type = QChar::toLower(pattern[pos].unicode());
            ++pos;
        }
        if (spec.Type == 0 || !QStringView(u"duxfnegs").contains(QChar(spec.Type)))
            bad = true;

        if (bad) {
            out += QStringView(pattern).sliced(percent);
            break;
        }
        if (missing || argIndex < 0 || argIndex >= args.size()) {
            out += QStringView(pattern).sliced(percent, pos - percent);
            continue;
        }
        QString text = Convert(spec, args[argIndex++]);
        if (spec.Width > text.size())
            text =
                spec.LeftJustify ? text.leftJustified(spec.Width) : text.rightJustified(spec.Width);
        out += text;
    }
    return out;
}
