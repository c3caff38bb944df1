#pragma once

#include <QString>

// How the load's own test (OCP, OPP, Short, a battery test) judged the part, with the value it
// was judged by.
struct Verdict
{
    // The quantity of `value`: the column of the log that shows it.
    // Unknown: a stored verdict of a function that names no quantity.
    enum class Quantity { Volts, Amps, Watts, AmpHours, WattHours, Unknown };

    bool pass = false;
    // As the load gave it, since the log keeps the load's own digits.
    QString value;
    Quantity quantity = Quantity::Amps;

    // "PASS" or "FAIL".
    QString passText() const { return pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"); }
    // "V", "A", "W", "Ah", "Wh"; "" when unknown.
    QString unit() const;
    // The value with its unit: "5.2 A".
    QString valueText() const { return quantity == Quantity::Unknown ? value : value + u' ' + unit(); }
    // The quantity a function's test is judged by: a stored verdict keeps only its value.
    static Quantity quantityFor(const QString &function);
};
