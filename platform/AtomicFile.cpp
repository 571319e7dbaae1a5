#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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
    QString name = TemporaryNamePrefix(targetName);
    for (qsizetype i = 0; i < KRandomLength; ++i) {
        name += QLatin1Char(KDigits[random % 62]);
        random /= 62;
    }
    return name;
}

bool IsTemporaryFor(const QString& name, const QString& targetName)
{
    const QString prefix = TemporaryNamePrefix(targetName);
    return name.size() == prefix.size() + KRandomLength && name.startsWith(prefix) &&
           IsTemporaryName(name);
}

bool IsTemporaryName(const QString& name)
{
    const qsizetype mark = name.size() - KRandomLength - KTemporaryMark.size();
    if (mark < 1 || !name.startsWith(QLatin1Char('.')) ||
        QStringView(name).mid(mark, KTemporaryMark.size()) != KTemporaryMark)
        return false;
    for (qsizetype i = name.size() - KRandomLength; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')))
            return false;
    }
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
