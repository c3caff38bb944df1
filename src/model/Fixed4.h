#pragma once

#include <QString>
#include <QtGlobal>
#include <compare>
#include <optional>

// A decimal with four fractional digits held as a 64-bit count of ten-thousandths: step times and
// the sampling interval count down and add up exactly, with no binary drift.
class Fixed4
{
public:
    constexpr Fixed4() = default;
    static constexpr Fixed4 fromCount(qint64 tenThousandths) { return Fixed4(tenThousandths); }
    // Rounded to the nearest ten-thousandth, halves to even; nothing for values out of range.
    static std::optional<Fixed4> fromDouble(double value);
    // A value that cannot be held reads as 0, as a lenient reading of its text would give.
    static Fixed4 fromDoubleOrZero(double value);

    constexpr qint64 count() const { return m_count; }
    double toDouble() const { return double(m_count) / 10000.0; }
    // Plain decimal text without trailing zeros: 60, 12.3457, -0.5.
    QString toText() const;

    constexpr Fixed4 operator+(Fixed4 other) const { return Fixed4(m_count + other.m_count); }
    constexpr Fixed4 operator-(Fixed4 other) const { return Fixed4(m_count - other.m_count); }
    constexpr auto operator<=>(const Fixed4 &) const = default;

private:
    constexpr explicit Fixed4(qint64 count) : m_count(count) { }
    qint64 m_count = 0;
};
