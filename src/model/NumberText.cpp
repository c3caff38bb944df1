#include "model/NumberText.h"

#include <QLocale>
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
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        digits.append(char(text[i].unicode()));
        ++i;
    }
    bool mantissaDigits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 128) {
            digits.append(char(c.unicode()));
            mantissaDigits = true;
        } else if (c == u'.' && !point) {
            digits.append('.');
            point = true;
        } else if (!isBlank(c)) {
            break;
        }
    }
    if (!mantissaDigits)
        return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exponent.append(char(text[j++].unicode()));
        bool exponentDigits = false;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            exponent.append(char(text[j++].unicode()));
            exponentDigits = true;
        }
        if (exponentDigits)
            digits.append(exponent);
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
    // below 1E-04 and from 1E+15.
    return QString::number(value, 'g', 15).toUpper();
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

double roundToEightDecimals(double value) { return QString::number(value, 'f', 8).toDouble(); }

} // namespace NumberText
