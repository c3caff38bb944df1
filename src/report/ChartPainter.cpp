#include "report/ChartPainter.h"

#include "report/AxisScale.h"
#include "report/ChartColours.h"
#include "report/ChartLabels.h"
#include "report/TimeUnit.h"
#include "results/ChartHistory.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

using Range = ChartHistory::Range ChartHistory::Column::*;

const QColor GridColor(0xdd, 0xdd, 0xdd);
const QColor TextColor(0x30, 0x30, 0x30);

struct Extent
{
    double min = 0, max = 1;
};

Extent extentOf(const ChartHistory &history, Range range)
{
    const auto found = history.extent(range, 0, history.lastSeconds());
    return found ? Extent{found->first, found->second} : Extent();
}

class Canvas
{
public:
    Canvas(QPainter &painter, const QRectF &area, const ChartHistory &history)
        : m_painter(painter),
          m_area(area),
          m_history(history),
          m_metrics(painter.font(), painter.device()),
          m_px(painter.device()->logicalDpiY() / 96.0),
          m_unit(TimeUnit::forSpan(history.lastSeconds()))
    { }

    void paint();

private:
    double textWidth(const QString &text) const { return m_metrics.horizontalAdvance(text); }
    double x(double seconds) const
    {
        return m_plot.left() + m_time.fraction(seconds / m_unit.seconds) * m_plot.width();
    }
    double y(const AxisScale &scale, double value) const
    {
        return m_data.bottom() - std::clamp(scale.fraction(value), -0.01, 1.01) * m_data.height();
    }
    void fitScales();
    void placePlot();
    void drawGridAndAxes();
    // Labels and title right-aligned at `right`.
    void drawValueLabels(const AxisScale &scale, double right, const QColor &color, const QString &title);
    void drawSeries(Range range, const AxisScale &scale, const QColor &color);
    // Mark lines go under the readings, their labels over them.
    void drawMarks();
    void drawLabels();
    void drawLegend();

    QPainter &m_painter;
    QRectF m_area;
    const ChartHistory &m_history;
    QFontMetricsF m_metrics;
    double m_px;
    TimeUnit m_unit;
    AxisScale m_time, m_volts, m_amps, m_watts;
    QRectF m_legend, m_plot;
    // The values' span within the frame, a little inside it so that a line at an axis' end or at
    // zero stays clear of the frame.
    QRectF m_data;
    // Step and verdict labels in rows of their own above and below the values, so that no label
    // hides a line.
    std::optional<ChartLabels> m_labels;
    double m_voltWidth = 0, m_ampWidth = 0, m_wattWidth = 0;
};

void Canvas::paint()
{
    m_painter.save();
    m_painter.setClipRect(m_area, Qt::IntersectClip);
    m_painter.setRenderHint(QPainter::Antialiasing);
    fitScales();
    placePlot();
    drawGridAndAxes();
    drawMarks();
    drawSeries(&ChartHistory::Column::watts, m_watts, ChartColours::Watts);
    drawSeries(&ChartHistory::Column::amps, m_amps, ChartColours::Amps);
    drawSeries(&ChartHistory::Column::volts, m_volts, ChartColours::Volts);
    drawLabels();
    drawLegend();
    if (m_history.columns().empty()) {
        m_painter.setPen(TextColor);
        m_painter.drawText(m_plot, Qt::AlignCenter, QStringLiteral("No samples were stored for this run."));
    }
    m_painter.restore();
}

void Canvas::fitScales()
{
    const std::vector<ChartHistory::Column> &columns = m_history.columns();
    const double last = columns.empty() ? 10.0 : m_history.lastSeconds();
    m_time = AxisScale::spanning(0, last / m_unit.seconds, 8);
    // Voltage over the span it moves in, where a discharge shows its shape; current and power from
    // zero, as levels that switch on and off, on the voltage's grid.
    const Extent volts = extentOf(m_history, &ChartHistory::Column::volts);
    m_volts = AxisScale::spanning(volts.min, volts.max, 5);
    const Extent amps = extentOf(m_history, &ChartHistory::Column::amps);
    m_amps = AxisScale::fromZero(amps.min, amps.max, m_volts.divisions());
    const Extent watts = extentOf(m_history, &ChartHistory::Column::watts);
    m_watts = AxisScale::fromZero(watts.min, watts.max, m_volts.divisions());
}

void Canvas::placePlot()
{
    const auto widest = [this](const AxisScale &scale, const QString &title) {
        double width = textWidth(title);
        for (int k = 0; k <= scale.divisions(); ++k)
            width = std::max(width, textWidth(scale.label(scale.low + k * scale.step)));
        return width + 6 * m_px;
    };
    m_voltWidth = widest(m_volts, QStringLiteral("V"));
    m_ampWidth = widest(m_amps, QStringLiteral("A"));
    m_wattWidth = widest(m_watts, QStringLiteral("W"));
    const double line = m_metrics.height();
    m_legend = QRectF(m_area.left(), m_area.top(), m_area.width(), line * 1.4);
    // One line for the axes' titles above the plot, two below it for the time labels and title.
    const double top = m_legend.bottom() + line * 1.2;
    const double bottom = m_area.bottom() - line * 2.4;
    // The last time label is centred on the plot's right edge and must not reach past the area.
    const double timeOverhang = textWidth(m_time.label(m_time.high)) / 2;
    const double left = m_area.left() + std::max(m_voltWidth, timeOverhang);
    const double right = m_area.right() - std::max(m_ampWidth + m_wattWidth, timeOverhang);
    m_plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    m_labels.emplace(
        m_history.marks(), [this](double seconds) { return x(seconds); }, m_plot.right(), m_plot.width(), m_metrics,
        2 * m_px);
    const double inset = m_plot.height() * 0.03;
    m_data = m_plot.adjusted(0, inset + m_labels->stepRows() * line, 0, -inset - m_labels->verdictRows() * line);
}

void Canvas::drawGridAndAxes()
{
    m_painter.setPen(QPen(GridColor, 0.6 * m_px));
    for (int k = 0; k <= m_volts.divisions(); ++k) {
        const double at = m_data.bottom() - double(k) / m_volts.divisions() * m_data.height();
        m_painter.drawLine(QPointF(m_plot.left(), at), QPointF(m_plot.right(), at));
    }
    const double line = m_metrics.height();
    for (int k = 0; k <= m_time.divisions(); ++k) {
        const double value = m_time.low + k * m_time.step;
        const double at = m_plot.left() + m_time.fraction(value) * m_plot.width();
        m_painter.setPen(QPen(GridColor, 0.6 * m_px));
        m_painter.drawLine(QPointF(at, m_plot.top()), QPointF(at, m_plot.bottom()));
        m_painter.setPen(TextColor);
        const QString label = m_time.label(value);
        m_painter.drawText(QPointF(at - textWidth(label) / 2, m_plot.bottom() + 3 * m_px + m_metrics.ascent()), label);
    }
    const QString title = QStringLiteral("Elapsed (%1)").arg(QLatin1String(m_unit.name));
    m_painter.drawText(
        QPointF(m_plot.center().x() - textWidth(title) / 2, m_plot.bottom() + 3 * m_px + line + m_metrics.ascent()),
        title);
    m_painter.setPen(QPen(TextColor, 0.8 * m_px));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(m_plot);

    drawValueLabels(m_volts, m_plot.left() - 4 * m_px, ChartColours::Volts, QStringLiteral("V"));
    drawValueLabels(m_amps, m_plot.right() + m_ampWidth - 2 * m_px, ChartColours::Amps, QStringLiteral("A"));
    drawValueLabels(
        m_watts, m_plot.right() + m_ampWidth + m_wattWidth - 2 * m_px, ChartColours::Watts, QStringLiteral("W"));
}

void Canvas::drawValueLabels(const AxisScale &scale, double right, const QColor &color, const QString &title)
{
    m_painter.setPen(color);
    const double middle = m_metrics.ascent() / 2 - m_metrics.descent() / 2;
    for (int k = 0; k <= scale.divisions(); ++k) {
        const double value = scale.low + k * scale.step;
        const QString label = scale.label(value);
        const double at = m_data.bottom() - double(k) / scale.divisions() * m_data.height();
        m_painter.drawText(QPointF(right - textWidth(label), at + middle), label);
    }
    QFont bold = m_painter.font();
    bold.setBold(true);
    m_painter.save();
    m_painter.setFont(bold);
    const QFontMetricsF boldMetrics(bold, m_painter.device());
    m_painter.drawText(
        QPointF(right - boldMetrics.horizontalAdvance(title), m_plot.top() - 4 * m_px - m_metrics.descent()), title);
    m_painter.restore();
}

void Canvas::drawSeries(Range range, const AxisScale &scale, const QColor &color)
{
    // About one point per pixel and a half across.
    const int columns = std::max(1, int(m_plot.width() / (1.5 * m_px)));
    const double from = m_time.low * m_unit.seconds, to = m_time.high * m_unit.seconds;
    QPolygonF points;
    for (const QPointF &point : m_history.envelope(range, from, to, columns))
        points.append({x(point.x()), y(scale, point.y())});
    m_painter.save();
    m_painter.setClipRect(m_plot.adjusted(-m_px, -m_px, m_px, m_px), Qt::IntersectClip);
    QPen pen(color, 1.2 * m_px);
    pen.setJoinStyle(Qt::RoundJoin);
    m_painter.setPen(pen);
    m_painter.drawPolyline(points);
    m_painter.restore();
}

void Canvas::drawMarks()
{
    m_painter.save();
    m_painter.setClipRect(m_plot, Qt::IntersectClip);
    for (const ChartHistory::Mark &mark : m_history.marks()) {
        const double at = x(mark.seconds);
        if (mark.kind == ChartHistory::Mark::Kind::Step) {
            m_painter.setPen(QPen(
                m_labels->denseSteps() ? GridColor.darker(115) : ChartColours::StepMark, 0.6 * m_px, Qt::DashLine));
            m_painter.drawLine(QPointF(at, m_plot.top()), QPointF(at, m_plot.bottom()));
        } else {
            const bool pass = mark.kind == ChartHistory::Mark::Kind::Pass;
            m_painter.setPen(QPen(pass ? ChartColours::Pass : ChartColours::Fail, 1.6 * m_px));
            m_painter.drawLine(QPointF(at, m_data.bottom() - 1.2 * m_metrics.height()), QPointF(at, m_data.bottom()));
        }
    }
    m_painter.restore();
}

void Canvas::drawLabels()
{
    m_painter.save();
    m_painter.setClipRect(m_plot, Qt::IntersectClip);
    const double line = m_metrics.height();
    const double pad = 2 * m_px;
    for (const ChartLabels::Label &label : m_labels->labels()) {
        const bool step = label.kind == ChartHistory::Mark::Kind::Step;
        const double baseline = step ? m_plot.top() + pad + m_metrics.ascent() + label.row * line
                                     : m_plot.bottom() - pad - m_metrics.descent() - label.row * line;
        // The step lines run through the label rows; the labels are read over them.
        m_painter.fillRect(
            QRectF(label.x - pad / 2, baseline - m_metrics.ascent(), textWidth(label.text) + pad, line), Qt::white);
        m_painter.setPen(step                                  ? TextColor
                : label.kind == ChartHistory::Mark::Kind::Pass ? ChartColours::Pass
                                                               : ChartColours::Fail);
        m_painter.drawText(QPointF(label.x, baseline), label.text);
    }
    m_painter.restore();
}

void Canvas::drawLegend()
{
    struct Entry
    {
        QColor color;
        Qt::PenStyle style;
        QString text;
    };
    QList<Entry> entries{
        {ChartColours::Volts, Qt::SolidLine, QStringLiteral("Voltage (V)")},
        {ChartColours::Amps, Qt::SolidLine, QStringLiteral("Current (A)")},
        {ChartColours::Watts, Qt::SolidLine, QStringLiteral("Power (W)")},
    };
    // Only the marks the chart shows.
    const auto shows = [this](ChartHistory::Mark::Kind kind) {
        return std::any_of(m_history.marks().begin(), m_history.marks().end(),
            [kind](const ChartHistory::Mark &mark) { return mark.kind == kind; });
    };
    if (shows(ChartHistory::Mark::Kind::Step))
        entries.append({ChartColours::StepMark, Qt::DashLine, QStringLiteral("Step start")});
    if (shows(ChartHistory::Mark::Kind::Pass))
        entries.append({ChartColours::Pass, Qt::SolidLine, QStringLiteral("PASS")});
    if (shows(ChartHistory::Mark::Kind::Fail))
        entries.append({ChartColours::Fail, Qt::SolidLine, QStringLiteral("FAIL")});
    const double sample = 18 * m_px;
    const double gap = 12 * m_px;
    double width = 0;
    for (const Entry &entry : entries)
        width += sample + 4 * m_px + textWidth(entry.text) + gap;
    double at = m_legend.center().x() - (width - gap) / 2;
    const double middle = m_legend.center().y();
    for (const Entry &entry : entries) {
        m_painter.setPen(QPen(entry.color, 1.6 * m_px, entry.style));
        m_painter.drawLine(QPointF(at, middle), QPointF(at + sample, middle));
        at += sample + 4 * m_px;
        m_painter.setPen(TextColor);
        m_painter.drawText(QPointF(at, middle + m_metrics.ascent() / 2 - m_metrics.descent() / 2), entry.text);
        at += textWidth(entry.text) + gap;
    }
}

} // namespace

ChartPainter::ChartPainter(const ChartHistory &history) : m_history(history) { }

void ChartPainter::paint(QPainter &painter, const QRectF &area) const
{
    Canvas canvas(painter, area, m_history);
    canvas.paint();
}
