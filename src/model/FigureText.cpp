#include "model/FigureText.h"

#include <cmath>

namespace FigureText {

QString clock(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString words(double seconds)
{
    if (std::isnan(seconds))
        return QStringLiteral("–");
    const qint64 whole = std::llround(seconds);
    if (whole < 60)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    if (whole < 3600)
        return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min %3 s")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString withUnit(double value, int decimals, const char *unit)
{
    if (std::isnan(value))
        return QStringLiteral("–");
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0;
    return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(unit));
}

} // namespace FigureText
