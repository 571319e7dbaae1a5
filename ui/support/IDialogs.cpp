#include "IDialogs.h"

#include "TQtDialogs.h"

#include <QRegularExpression>

namespace {

IDialogs* GDialogs = nullptr;

QString& Title()
{
    static QString title;
    return title;
}

} // namespace

IDialogs& Dialogs()
{
    static TQtDialogs qtDialogs;
    return GDialogs ? *GDialogs : qtDialogs;
}

void SetDialogs(IDialogs* dialogs)
{
    GDialogs = dialogs;
}

void SetApplicationTitle(const QString& title)
{
    Title() = title;
}

QString ApplicationTitle()
{
    return Title();
}

QString QtFilterFromFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts.at(i + 1);
        masks.replace(QLatin1Char(';'), QLatin1Char(' '));
        // On Linux "*.*" would miss names without a dot.
        masks.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        QString text = parts.at(i);
        // The text usually repeats its masks in brackets; Qt reads the masks from the last ones.
        text.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
        filters << QStringLiteral("%1 (%2)").arg(text, masks.simplified());
    }
    return filters.join(QStringLiteral(";;"));
}
