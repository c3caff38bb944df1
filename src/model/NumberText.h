#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

// Numbers travel between the step table, the settings file and the instruments as text.
// These are the only conversions the program uses, so every part reads and writes numbers alike.
namespace NumberText {

// The leading decimal number of a text: blanks skipped, optional sign, digits with at most one
// point, optional exponent. Text that starts with no number reads as 0 ("3V" -> 3, "abc" -> 0).
double lenient(QStringView text);
// The same leading number, or nothing when the text starts with no number: a reply that tells
// nothing is told apart from one that says 0.
std::optional<double> leading(QStringView text);

// The whole text as a number ("." as point, blanks around it allowed); nothing on any other text,
// the empty text included.
std::optional<double> strict(QStringView text);

// Shortest text of a value: "." as point, at most 15 significant digits, no trailing zeros,
// exponent form below 0.0001 and from 1E+15 (1E-05, 1.5E+15).
QString shortest(double value);

// Rounding to the nearest integer, halves to even; nothing when the result does not fit.
std::optional<qint16> toInt16(double value);
std::optional<qint32> toInt32(double value);

// The "0.0000" format: at least one integer digit, exactly four decimals.
QString fixedFourDecimals(double value);

// The value rounded to eight decimal places, as the "######.00000000" format does.
double roundToEightDecimals(double value);

} // namespace NumberText
