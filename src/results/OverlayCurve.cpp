#include "results/OverlayCurve.h"

#include "results/ColumnEnvelope.h"

#include <algorithm>

std::optional<OverlayCurve> OverlayCurve::make(const ChartHistory &history, By by, std::optional<int> alignStep)
{
    const std::vector<ChartHistory::Column> &columns = history.columns();
    auto first = columns.begin();
    double seconds = 0, ampHours = 0;
    if (alignStep) {
        const std::optional<ChartHistory::StepOpening> opening = history.opening(*alignStep);
        if (!opening)
            return std::nullopt;
        first = history.columnAt(*opening);
        seconds = opening->seconds;
        ampHours = opening->ampHoursBefore;
    }
    OverlayCurve curve;
    curve.m_points.reserve(std::size_t(columns.end() - first));
    for (auto column = first; column != columns.end(); ++column) {
        // A column's middle: by capacity, a rest's columns share one x and draw the recovery upright.
        const double x = by == By::Seconds ? (column->firstSeconds + column->lastSeconds) / 2 - seconds
                                           : (column->ampHours.min + column->ampHours.max) / 2 - ampHours;
        curve.m_points.push_back({x, column->volts, column->amps, column->watts});
    }
    return curve;
}

QList<QPointF> OverlayCurve::envelope(Range range, double from, double to, int displayColumns) const
{
    return columnEnvelope(
        m_points, [](const Point &point) { return point.x; },
        [range](const Point &point) -> const ChartHistory::Range & { return point.*range; }, from, to, displayColumns);
}

std::optional<std::pair<double, double>> OverlayCurve::extent(Range range, double from, double to) const
{
    const auto begin = std::lower_bound(
        m_points.begin(), m_points.end(), from, [](const Point &point, double x) { return point.x < x; });
    std::optional<std::pair<double, double>> found;
    for (auto point = begin; point != m_points.end() && point->x <= to; ++point) {
        const ChartHistory::Range &values = (*point).*range;
        if (!found)
            found.emplace(values.min, values.max);
        found->first = std::min(found->first, values.min);
        found->second = std::max(found->second, values.max);
    }
    return found;
}
