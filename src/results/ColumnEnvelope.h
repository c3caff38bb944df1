#pragma once

#include <QList>
#include <QPointF>
#include <algorithm>
#include <cmath>
#include <limits>

// Columns in order along x gathered into `displayColumns` display columns over [from, to], two
// points each (x, its minimum) and (x, its maximum): a steady reading draws as a line, a noisy one
// as the band it spans, and no extreme of any column is lost at any zoom. One column on either side
// of the view keeps the line running to its edges. `xOf(column)` places a column, `rangeOf(column)`
// gives its min and max.
template <typename Columns, typename XOf, typename RangeOf>
QList<QPointF> columnEnvelope(
    const Columns &columns, XOf xOf, RangeOf rangeOf, double from, double to, int displayColumns)
{
    QList<QPointF> points;
    points.reserve(qsizetype(displayColumns) * 2 + 4);
    const double width = std::max(to - from, 1e-9) / displayColumns;
    qint64 current = std::numeric_limits<qint64>::min();
    double low = 0, high = 0, x = 0;
    const auto flush = [&] {
        if (current == std::numeric_limits<qint64>::min())
            return;
        points.append({x, low});
        if (high != low)
            points.append({x, high});
    };
    for (const auto &column : columns) {
        const double at = xOf(column);
        const double index = std::floor((at - from) / width);
        if (index < -1 || index > displayColumns)
            continue;
        const auto &values = rangeOf(column);
        if (qint64(index) != current) {
            flush();
            current = qint64(index);
            low = values.min;
            high = values.max;
            x = at;
        } else {
            low = std::min(low, values.min);
            high = std::max(high, values.max);
        }
    }
    flush();
    return points;
}
