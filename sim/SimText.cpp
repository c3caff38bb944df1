#include "SimText.h"

#include <cctype>
#include <cmath>

namespace SimText {

std::optional<double> number(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    // Only what an instrument's parser takes: sign, digits, point, exponent.
    for (char c : t) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> numberWithUnit(const QByteArray &text, const QByteArray &unit)
{
    QByteArray t = text.trimmed();
    if (t.toUpper().endsWith(unit))
        t.chop(unit.size());
    return number(t);
}

std::optional<int> count(const QByteArray &text)
{
    const std::optional<double> value = number(text);
    if (!value || *value < 0 || *value > 1e9 || std::floor(*value) != *value)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<bool> onOff(const QByteArray &text)
{
    const QByteArray t = text.trimmed().toUpper();
    if (t == "ON" || t == "1")
        return true;
    if (t == "OFF" || t == "0")
        return false;
    return std::nullopt;
}

std::optional<LoadMode> mode(const QByteArray &text)
{
    const QByteArray t = text.trimmed().toUpper();
    if (t == "CC")
        return LoadMode::CC;
    if (t == "CR")
        return LoadMode::CR;
    if (t == "CV")
        return LoadMode::CV;
    if (t == "CP")
        return LoadMode::CP;
    return std::nullopt;
}

QByteArray fixed(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    if (std::round(value * scale) == 0)
        value = 0;
    return QByteArray::number(value, 'f', decimals);
}

} // namespace SimText
