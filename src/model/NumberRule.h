#pragma once

#include "model/LoadRatings.h"

#include <QString>
#include <optional>

// What one number field of a step takes. Every number is a finite decimal ("." as its point) and,
// unless the rule says more, not negative (no field of a step means anything below 0) and at most
// `Largest`. A value in amperes, volts or watts is also held to the load's rating of that unit.
struct NumberRule
{
    // What the run counts a step time in (four-decimal fixed point, a 64-bit count of
    // ten-thousandths), and below the 1E+15 from which a number is written in exponent form.
    static constexpr double Largest = 9e14;
    // What a millisecond timer holds: the host's waits and the load's millisecond counts.
    static constexpr double LongestMs = 2147483647;

    double minimum = 0;
    // The value must lie above `minimum`, not at it.
    bool aboveMinimum = false;
    double maximum = Largest;
    bool whole = false;
    // A stop condition: left blank it is no stop, as 0 is, where the blank is read as 0.
    bool blankIsNone = false;

    static NumberRule positive();
    static NumberRule milliseconds();
    static NumberRule count(double minimum, double maximum);
    // The stop conditions of the shared frame, in the unit each one takes.
    static NumberRule stop(const QString &unit);

    // The value of `text`, or nothing with `why` saying what is wrong with it (a sentence that
    // names the value and the unit). `blankReadsZero`: a blank is read as 0 where this rule lets it.
    std::optional<double> judge(
        const QString &text, const QString &unit, const LoadRatings &ratings, bool blankReadsZero, QString *why) const;
};
