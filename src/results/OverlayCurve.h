#pragma once

#include "results/ChartHistory.h"

#include <QList>
#include <QPointF>
#include <optional>
#include <utility>
#include <vector>

// One run's curve where several are laid over each other: its chart history's columns from the
// run's start, or from where a chosen step first sampled, placed by the time since then or by the
// Ah drawn since then (a discharge curve by capacity). The columns keep their minimum and maximum,
// so no extreme is lost at any zoom.
class OverlayCurve
{
public:
    enum class By { Seconds, AmpHours };
    struct Point
    {
        double x = 0;
        ChartHistory::Range volts, amps, watts;
    };
    using Range = ChartHistory::Range Point::*;

    // The curve of `history`. Nothing when `alignStep` is given and the run
    // never sampled in that step.
    static std::optional<OverlayCurve> make(const ChartHistory &history, By by, std::optional<int> alignStep);

    const std::vector<Point> &points() const { return m_points; }
    // The x of the last column; 0 for a run without samples.
    double lastX() const { return m_points.empty() ? 0.0 : m_points.back().x; }
    // Two points (x, value) per display column of [from, to], its minimum and its maximum.
    QList<QPointF> envelope(Range range, double from, double to, int displayColumns) const;
    // The least and greatest of `range` over the columns whose x is in [from, to].
    std::optional<std::pair<double, double>> extent(Range range, double from, double to) const;

private:
    std::vector<Point> m_points;
};
