#pragma once

#include <QString>

// The range and tick step of one chart axis, in steps of 1, 2, 2.5 or 5 times a power of ten, so
// that its labels read as round numbers.
struct AxisScale
{
    double low = 0, high = 1, step = 1;

    // Over the span of the readings, about `divisions` steps. A span too small to show (a steady
    // reading) is widened to 2% of the reading, so that noise does not fill the chart.
    static AxisScale spanning(double min, double max, int divisions);
    // From zero (or below, for negative readings) to the largest reading in exactly `divisions`
    // steps, so that its ticks fall on the grid another axis drew.
    static AxisScale fromZero(double min, double max, int divisions);

    int divisions() const;
    // 0 at `low`, 1 at `high`.
    double fraction(double value) const { return (value - low) / (high - low); }
    // With as many decimals as the step needs.
    QString label(double value) const;
};
