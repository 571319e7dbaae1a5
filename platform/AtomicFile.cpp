#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace {

const QLatin1String KTemporaryMark(".kova-");
constexpr qsizetype KRandomLength = 6;
// Room for the mark and the random part within the 255 bytes most file systems allow a name.
constexpr qsizetype KMaxNameBytes = 200;

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString TemporaryNamePrefix(const QString& targetName)
{
    QString name = targetName;
    while (!name.isEmpty() && QFile::encodeName(name).size() > KMaxNameBytes)
        name.chop(name.size() >= 2 && name.back().isLowSurrogate() ? 2 : 1);
    return QLatin1Char('.') + name + KTemporaryMark;
}

} // namespace

QString TemporaryNameFor(const QString& targetName)
{
    static const char KDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    quint64 random = QRandomGenerator::global()->generate64();
    const TWriterId writer = CurrentWriter();
    QString name = TemporaryNamePrefix(targetName) +
                   QStringLiteral("%1-%2-").arg(writer.Pid).arg(writer.Start);
    for (qsizetype i = 0; i < KRandomLength; ++i) {
        name += QLatin1Char(KDigits[random % 62]);
        random /= 62;
    }
    return name;
}

bool IsTemporaryFor(const QString& name, const QString& targetName)
{
    const QString prefix = TemporaryNamePrefix(targetName);
    return name.startsWith(prefix) &&
           name.lastIndexOf(KTemporaryMark) == prefix.size() - KTemporaryMark.size() &&
           IsTemporaryName(name);
}

bool IsTemporaryName(const QString& name, TWriterId* writer)
{
    // "." + name + ".kova-" + [pid "-" start "-"] + six letters or digits: the mark is the last
    // one in the name, since nothing after it holds a dot.
    const qsizetype mark = name.lastIndexOf(KTemporaryMark);
    if (mark < 1 || !name.startsWith(QLatin1Char('.')))
        return false;
    const QStringView tail = QStringView(name).mid(mark + KTemporaryMark.size());
    if (tail.size() < KRandomLength)
        return false;
    for (const QChar c : tail.right(KRandomLength)) {
        const char16_t u = c.unicode();
        if (!((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')))
            return false;
    }
    TWriterId id;
    const QStringView ids = tail.chopped(KRandomLength);
    if (!ids.isEmpty()) {
        const QList<QStringView> parts = ids.split(QLatin1Char('-'));
        if (parts.size() != 3 || !parts.at(2).isEmpty())
            return false;
        for (const QStringView part : parts.first(2)) {
            if (part.isEmpty() || part.size() > 20 ||
                !std::all_of(part.begin(), part.end(),
                             [](QChar c) { return c >= u'0' && c <= u'9'; }))
                return false;
        }
        id.Pid = parts.at(0).toLongLong();
        id.Start = parts.at(1).toULongLong();
        if (id.Pid <= 0)
            return false;
    }
    if (writer)
        *writer = id;
    return true;
}

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error)
{
    // The rename would succeed over a read-only file in a writable folder; the file's own
    // protection must hold, as it did where these files come from.
    const QFileInfo info(fileName);
    if (info.exists()) {
        if (info.isDir()) {
            SetError(error, QStringLiteral("it is a folder"));
            return false;
        }
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            SetError(error, probe.errorString());
            return false;
        }
    }
    TAtomicWriter writer(fileName, TLinkAtTarget::latFollow);
    return writer.Open(error) && writer.Write(bytes, error) && writer.Commit(error);
}

bool ReadWholeFile(const QString& fileName, QByteArray& bytes, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        SetError(error, file.errorString());
        bytes.clear();
        return false;
    }
    return true;
}
