#include "report/OverlayPainter.h"

#include "report/AxisScale.h"
#include "report/TimeUnit.h"
#include "store/StoredRun.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace {

const QColor GridColor(0xdd, 0xdd, 0xdd);
const QColor TextColor(0x30, 0x30, 0x30);
constexpr int TimeDivisions = 8;
constexpr int ValueDivisions = 6;

struct QuantityText
{
    const char *title;
    const char *unit;
};

QuantityText textOf(OverlayPainter::Quantity quantity)
{
    switch (quantity) {
    case OverlayPainter::Quantity::Amps:
        return {"Current", "A"};
    case OverlayPainter::Quantity::Watts:
        return {"Power", "W"};
    case OverlayPainter::Quantity::Volts:
        break;
    }
    return {"Voltage", "V"};
}

} // namespace

OverlayPainter::OverlayPainter(QList<Curve> curves, View view) : m_curves(std::move(curves)), m_view(view) { }

OverlayCurve::Range OverlayPainter::rangeOf(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Amps:
        return &OverlayCurve::Point::amps;
    case Quantity::Watts:
        return &OverlayCurve::Point::watts;
    case Quantity::Volts:
        break;
    }
    return &OverlayCurve::Point::volts;
}

QString OverlayPainter::labelOf(const StoredRun &run)
{
    QStringList parts;
    if (!run.station.isEmpty())
        parts.append(run.station);
    if (!run.programName.isEmpty())
        parts.append(QFileInfo(run.programName).fileName());
    if (run.started.isValid())
        parts.append(run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    parts.append(run.resultText());
    return parts.join(QStringLiteral(" · "));
}

std::pair<double, double> OverlayPainter::wholeSpan() const
{
    double last = 0;
    for (const Curve &curve : m_curves)
        last = std::max(last, curve.curve->lastX());
    if (last <= 0)
        return {0, m_view.by == OverlayCurve::By::Seconds ? 10.0 : 1.0};
    if (m_view.by == OverlayCurve::By::AmpHours)
        return {0, AxisScale::spanning(0, last, TimeDivisions).high};
    const TimeUnit unit = TimeUnit::forSpan(last);
    return {0, AxisScale::spanning(0, last / unit.seconds, TimeDivisions).high * unit.seconds};
}

OverlayPainter::Placed OverlayPainter::paint(QPainter &painter, const QRectF &area) const
{
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double px = painter.device()->logicalDpiY() / 96.0;
    const double line = metrics.height();
    const auto width = [&metrics](const QString &text) { return metrics.horizontalAdvance(text); };

    Placed placed;
    std::tie(placed.from, placed.to) = m_view.to > m_view.from ? std::pair(m_view.from, m_view.to) : wholeSpan();
    const OverlayCurve::Range range = rangeOf(m_view.quantity);

    // The values in view set the value axis: voltage over its span, current and power from zero.
    std::optional<std::pair<double, double>> values;
    for (const Curve &curve : m_curves) {
        if (const auto found = curve.curve->extent(range, placed.from, placed.to)) {
            values = values ? std::pair(std::min(values->first, found->first), std::max(values->second, found->second))
                            : *found;
        }
    }
    const std::pair<double, double> span = values.value_or(std::pair(0.0, 1.0));
    const AxisScale scale = m_view.quantity == Quantity::Volts
        ? AxisScale::spanning(span.first, span.second, ValueDivisions)
        : AxisScale::fromZero(span.first, span.second, ValueDivisions);

    // The legend in as many columns as the width holds, below everything else.
    const double sample = 18 * px, gap = 14 * px;
    double labelWidth = 0;
    for (const Curve &curve : m_curves)
        labelWidth = std::max(labelWidth, width(curve.label));
    const double columnWidth = sample + 5 * px + labelWidth + gap;
    const int legendColumns = std::max(1, int(area.width() / columnWidth));
    const int legendRows = m_view.legend ? int((m_curves.size() + legendColumns - 1) / legendColumns) : 0;
    const double legendHeight = legendRows * line * 1.2;

    double valueWidth = 0;
    for (int k = 0; k <= scale.divisions(); ++k)
        valueWidth = std::max(valueWidth, width(scale.label(scale.low + k * scale.step)));
    const TimeUnit unit
        = m_view.by == OverlayCurve::By::Seconds ? TimeUnit::forSpan(placed.to - placed.from) : TimeUnit{1, "Ah"};
    const AxisScale ticks = AxisScale::spanning(placed.from / unit.seconds, placed.to / unit.seconds, TimeDivisions);
    const double overhang = width(ticks.label(ticks.high)) / 2;
    QRectF plot(QPointF(area.left() + valueWidth + 8 * px, area.top() + line * 1.4),
        QPointF(area.right() - std::max(overhang, 8 * px), area.bottom() - line * 2.6 - legendHeight));
    placed.plot = plot;
    const auto xAt
        = [&](double x) { return plot.left() + (x - placed.from) / (placed.to - placed.from) * plot.width(); };
    const auto yAt
        = [&](double value) { return plot.bottom() - std::clamp(scale.fraction(value), -0.01, 1.01) * plot.height(); };

    // Grid, ticks and titles.
    painter.setPen(QPen(GridColor, 0.6 * px));
    for (int k = 0; k <= scale.divisions(); ++k) {
        const double at = yAt(scale.low + k * scale.step);
        painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
    }
    const double firstTick = std::ceil(placed.from / unit.seconds / ticks.step - 1e-9) * ticks.step;
    for (double tick = firstTick; tick <= placed.to / unit.seconds * (1 + 1e-12) + 1e-12; tick += ticks.step) {
        const double at = xAt(tick * unit.seconds);
        painter.setPen(QPen(GridColor, 0.6 * px));
        painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
        painter.setPen(TextColor);
        const QString label = ticks.label(tick);
        painter.drawText(QPointF(at - width(label) / 2, plot.bottom() + 3 * px + metrics.ascent()), label);
    }
    const QuantityText quantity = textOf(m_view.quantity);
    const QString since = m_view.alignStep ? QStringLiteral(" since step %1").arg(*m_view.alignStep) : QString();
    const QString xTitle = m_view.by == OverlayCurve::By::Seconds
        ? (m_view.alignStep ? QStringLiteral("Time%1 (%2)").arg(since, QLatin1String(unit.name))
                            : QStringLiteral("Elapsed (%1)").arg(QLatin1String(unit.name)))
        : QStringLiteral("Ah drawn%1").arg(since);
    painter.drawText(
        QPointF(plot.center().x() - width(xTitle) / 2, plot.bottom() + 3 * px + line + metrics.ascent()), xTitle);
    const double middle = metrics.ascent() / 2 - metrics.descent() / 2;
    for (int k = 0; k <= scale.divisions(); ++k) {
        const double value = scale.low + k * scale.step;
        const QString label = scale.label(value);
        painter.drawText(QPointF(plot.left() - 4 * px - width(label), yAt(value) + middle), label);
    }
    const QString yTitle = QStringLiteral("%1 (%2)").arg(QLatin1String(quantity.title), QLatin1String(quantity.unit));
    painter.drawText(QPointF(area.left(), plot.top() - 4 * px - metrics.descent()), yTitle);
    painter.setPen(QPen(TextColor, 0.8 * px));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    // The curves, about one display column per pixel and a half, the first run drawn last (on top).
    const int displayColumns = std::max(1, int(plot.width() / (1.5 * px)));
    painter.save();
    painter.setClipRect(plot.adjusted(-px, -px, px, px), Qt::IntersectClip);
    for (auto curve = m_curves.crbegin(); curve != m_curves.crend(); ++curve) {
        QPolygonF points;
        for (const QPointF &point : curve->curve->envelope(range, placed.from, placed.to, displayColumns))
            points.append({xAt(point.x()), yAt(point.y())});
        // On screen a hair line: drawn straight along its pixels, twenty curves redraw within a
        // frame. Pictures and pages are drawn once, smoothly.
        QPen pen(curve->colour, m_view.smooth ? 1.3 * px : 0);
        if (m_view.smooth)
            pen.setJoinStyle(Qt::RoundJoin);
        painter.setRenderHint(QPainter::Antialiasing, m_view.smooth);
        painter.setPen(pen);
        painter.drawPolyline(points);
    }
    painter.restore();
    if (!values) {
        painter.setPen(TextColor);
        painter.drawText(plot, Qt::AlignCenter,
            m_curves.isEmpty() ? QStringLiteral("No run to compare.") : QStringLiteral("No samples in view."));
    }

    // The legend, in reading order along its rows.
    const double legendTop = area.bottom() - legendHeight;
    for (qsizetype k = 0; m_view.legend && k < m_curves.size(); ++k) {
        const double left = area.left() + double(k % legendColumns) * columnWidth;
        const double centre = legendTop + (double(k / legendColumns) + 0.5) * line * 1.2;
        painter.setPen(QPen(m_curves.at(k).colour, 2.2 * px));
        painter.drawLine(QPointF(left, centre), QPointF(left + sample, centre));
        painter.setPen(TextColor);
        painter.drawText(QPointF(left + sample + 5 * px, centre + middle), m_curves.at(k).label);
    }
    painter.restore();
    return placed;
}
