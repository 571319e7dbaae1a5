#include "KOVAVersion.h"

#include "KOVABuildInfo.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

TFileVersion KOVAFileVersion()
{
    return ParseFileVersion(KOVAVersion());
}

TFileVersion ParseFileVersion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    quint16 values[4] = {};
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
        bool ok = false;
        const uint value = parts.at(i).toUInt(&ok);
        values[i] = ok && value <= 0xFFFF ? static_cast<quint16>(value) : 0;
    }
    return {values[0], values[1], values[2], values[3]};
}

QString GetFileVersionText(const TFileVersion& version)
{
    QString text =
        QStringLiteral("%1.%2.%3").arg(version.Major).arg(version.Minor).arg(version.Release);
    if (version.Build != 0)
        text += QStringLiteral(".%1").arg(version.Build);
    return text;
}

int GetVersionNumber(const TFileVersion& version)
{
    QString digits = GetFileVersionText(version).remove(QLatin1Char('.'));
    if (digits.size() == 3)
        digits += QLatin1Char('0');
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok ? number : 0;
}

QString BuildTimeText(qint64 utcSeconds)
{
    const QDateTime time = QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC);
    return QLocale::c().toString(time, QStringLiteral("'Compiled on' MMM dd yyyy 'at' hh:mm AP"));
}
