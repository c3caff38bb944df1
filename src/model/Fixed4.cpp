#include "model/Fixed4.h"

#include <cmath>

std::optional<Fixed4> Fixed4::fromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double scaled = std::nearbyint(value * 10000.0);
    // The largest count the type can hold, as the instruments' fixed-point type does.
    if (std::fabs(scaled) >= 9.2e18)
        return std::nullopt;
    return Fixed4(qint64(scaled));
}

Fixed4 Fixed4::fromDoubleOrZero(double value) { return fromDouble(value).value_or(Fixed4()); }

QString Fixed4::toText() const
{
    const bool negative = m_count < 0;
    const quint64 magnitude = negative ? quint64(-(m_count + 1)) + 1 : quint64(m_count);
    QString text = QString::number(magnitude / 10000);
    quint64 fraction = magnitude % 10000;
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.' + digits;
    }
    return negative ? u'-' + text : text;
}
