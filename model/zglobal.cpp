#include "zglobal.h"

QString appVersion()
{
    return QStringLiteral("2.2.1");
}

QString formatNumber(double value, int maxDecimals)
{
    // QString::number always uses the C locale, so the separator is a point everywhere.
    const QString general = QString::number(value, 'g', 6);
    const int point = general.indexOf(QLatin1Char('.'));
    if (point >= 0) {
        // Every character after the point counts, exponent characters included.
        const int decimals = qMin(general.size() - point - 1, maxDecimals);
        return QString::number(value, 'f', decimals);
    }
    const int exponent = general.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (exponent > 0)
        return QString::number(value, 'g', maxDecimals);
    return general;
}
