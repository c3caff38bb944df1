#pragma once

#include <QString>
#include <optional>

// The load's reply to "MEAS:VC?": voltage and current, "V,I". A reply is a reading only when it is,
// whole,
//     blanks number blanks "," blanks number blanks
// with blanks spaces or tabs (CR and LF too at either end), and a number an optional sign, digits
// with at most one point (".5" and "5." too) and an optional exponent ("1.25E+01"); at most
// MaxChars characters in all; each number finite and within the load's bounds. Anything else (a
// third field, a semicolon, a formula, "nan", a number cut short by the link) is no reading.
struct MeasureReply
{
    static constexpr qsizetype MaxChars = 64;
    // No electronic load on a bench takes more than this at its input, either way round.
    static constexpr double VoltageCeiling = 1200;
    // A reading may overshoot the rated current (a transient, a range's headroom), never double it.
    static constexpr double CurrentHeadroom = 2;
    // Twice the largest rating of the rating table, for a load whose rating is not known.
    static constexpr double UnratedCurrentCeiling = 4000;

    // The largest magnitudes a reading of the load may have.
    struct Bounds
    {
        double volts = VoltageCeiling;
        double amps = UnratedCurrentCeiling;

        // For a load rated `ratedCurrent` amperes, as identification found it ("" when not known).
        static Bounds forRatedCurrent(const QString &ratedCurrent);
    };

    // The numbers in the load's own digits, blanks left out: all of a reading the log shows.
    QString voltage;
    QString current;
    double volts = 0;
    double amps = 0;

    static std::optional<MeasureReply> read(const QString &reply, const Bounds &bounds);
    // Within the bounds of a load whose rating is not known.
    static std::optional<MeasureReply> read(const QString &reply);
};
