#include "model/NumberText.h"

#include <QLocale>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace NumberText {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

template <typename Int> std::optional<Int> roundedToInt(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // default rounding mode: halves to even
    if (rounded < double(std::numeric_limits<Int>::min()) || rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return Int(rounded);
}

} // namespace

double lenient(QStringView text) { return leading(text).value_or(0.0); }

std::optional<double> leading(QStringView text)
{
    QByteArray digits;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && isBlank(text[i]))
            ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        digits.append(char(text[i].unicode()));
        ++i;
    }
    // The digits are also gathered as an integer and a power of ten, for the fast path below.
    quint64 mantissa = 0;
    int significant = 0;
    int power = 0;
    bool mantissaDigits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits.append(char(c.unicode()));
            mantissaDigits = true;
            if (mantissa > 0 || c != u'0') {
                mantissa = mantissa * 10 + (c.unicode() - u'0');
                ++significant;
            }
            if (point)
                --power;
        } else if (c == u'.' && !point) {
            digits.append('.');
            point = true;
        } else if (!isBlank(c)) {
            break;
        }
    }
    if (!mantissaDigits)
        return std::nullopt;
    int exponentValue = 0;
    int exponentLength = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        bool exponentNegative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            exponentNegative = text[j] == u'-';
            exponent.append(char(text[j++].unicode()));
        }
        bool exponentDigits = false;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            if (++exponentLength <= 4)
                exponentValue = exponentValue * 10 + (text[j].unicode() - u'0');
            exponent.append(char(text[j++].unicode()));
            exponentDigits = true;
        }
        if (exponentDigits)
            digits.append(exponent);
        if (exponentNegative)
            exponentValue = -exponentValue;
    }
    // A mantissa of up to 15 digits and a power of ten up to 22 are both exact doubles, so one
    // multiplication or division rounds correctly: the very value the full conversion gives, at a
    // fraction of its cost. Zero keeps to the full conversion, which knows the sign of a zero.
    power += exponentValue;
    if (mantissa > 0 && significant <= 15 && exponentLength <= 4 && power >= -22 && power <= 22) {
        static constexpr double tens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13,
            1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double whole = double(mantissa);
        const double value = power >= 0 ? whole * tens[power] : whole / tens[-power];
        return negative ? -value : value;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(QString::fromLatin1(digits), &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> strict(QStringView text)
{
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString shortest(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    // %g with 15 digits switches to the exponent form exactly where the program's format does:
    // below 1E-04 and from 1E+15. Made in a buffer: a run makes several of these a sample.
    char text[32];
    const std::to_chars_result made = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    for (char *c = text; c != made.ptr; ++c)
        *c = char(std::toupper(static_cast<unsigned char>(*c)));
    return QString::fromLatin1(text, made.ptr - text);
}

std::optional<qint16> toInt16(double value) { return roundedToInt<qint16>(value); }

std::optional<qint32> toInt32(double value) { return roundedToInt<qint32>(value); }

QString fixedFourDecimals(double value)
{
    QString text = QString::number(value, 'f', 4);
    if (text == u"-0.0000")
        text.remove(0, 1);
    return text;
}

double roundToEightDecimals(double value)
{
    // The text form rounds the exact value to eight decimals and reads that back. Where the scaled
    // value lies clearly off a half, its nearest integer is that same rounding (the product's
    // error is far below the margin), and dividing the two exact integers gives the double nearest
    // the decimal, as reading it back does. Halves, zero and huge values keep to the text form.
    const double scaled = value * 1e8;
    if (scaled != 0 && std::fabs(scaled) < 0x1p52) {
        const double whole = std::nearbyint(scaled);
        const double margin = std::ldexp(std::fabs(scaled), -48) + 0x1p-60;
        if (std::fabs(std::fabs(scaled - whole) - 0.5) > margin)
            return whole / 1e8;
    }
    return QString::number(value, 'f', 8).toDouble();
}

} // namespace NumberText
