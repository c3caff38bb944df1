#include "ui/RunChart.h"

#include "report/ChartColours.h"
#include "run/RunRecorder.h"

#include <QGraphicsLayout>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

QLineSeries *addSeries(QChart *chart, const QString &name, const QColor &color)
{
    auto *series = new QLineSeries(chart);
    series->setName(name);
    QPen pen(color);
    pen.setWidthF(1.5);
    series->setPen(pen);
    chart->addSeries(series);
    return series;
}

QValueAxis *addAxis(QChart *chart, const QString &title, const QColor &color, Qt::Alignment side)
{
    auto *axis = new QValueAxis(chart);
    axis->setTitleText(title);
    axis->setLinePenColor(color);
    axis->setLabelsColor(color);
    axis->setTitleBrush(color);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    chart->addAxis(axis, side);
    return axis;
}

// The smallest of 1, 2 or 5 times a power of ten that divides `span` into at most `ticks` steps.
double roundStep(double span, int ticks)
{
    const double raw = span / std::max(1, ticks);
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= raw * (1 - 1e-9))
            return factor * power;
    return 10 * power;
}

// The axis over [min, max] with ticks at round values, labelled with as many decimals as the
// step needs and no more, so that neighbouring labels never read the same and never need
// eliding. A range that grows takes its wider step first: for a moment the old step over a range
// a thousand times wider would lay out a thousand times the ticks.
void setRangeAndTicks(QValueAxis *axis, double min, double max, int ticks)
{
    const double step = roundStep(max - min, ticks);
    if (step > axis->tickInterval()) {
        axis->setTickInterval(step);
        axis->setRange(min, max);
    } else {
        axis->setRange(min, max);
        axis->setTickInterval(step);
    }
    const int decimals = std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + u'f');
}

// Where a line sits on its axis: the least reading at `low`, the greatest at `high` (fractions of
// the axis from its bottom). Current and power are levels that switch on and off, so their
// floor is zero; voltage is shown over the span it moves in, where a discharge shows its shape.
struct Placement
{
    double low, high;
    bool fromZero;
};
constexpr Placement VoltPlacement{0.22, 0.92, false};
constexpr Placement AmpPlacement{0.08, 0.84, true};
constexpr Placement WattPlacement{0.02, 0.66, true};

void place(QValueAxis *axis, std::optional<std::pair<double, double>> extent, const Placement &placement, int ticks)
{
    double low = extent ? extent->first : 0, high = extent ? extent->second : 1;
    if (placement.fromZero) {
        low = std::min(low, 0.0);
        high = std::max(high, 0.0);
        if (high - low < 1e-9)
            high = low + 1;
    } else {
        // A steady reading is shown over 2% of its value, so that noise does not fill the chart.
        const double least = std::max(std::abs(high), 1.0) * 0.02;
        if (high - low < least) {
            const double middle = (low + high) / 2;
            low = middle - least / 2;
            high = middle + least / 2;
        }
    }
    const double span = (high - low) / (placement.high - placement.low);
    const double bottom = low - placement.low * span;
    setRangeAndTicks(axis, bottom, bottom + span, ticks);
}

// A mark's label starts just right of its line, or ends just left of it where the plot's right
// edge would cut it.
double labelLeft(double x, double width, const QRectF &plot)
{
    if (x + 3 + width <= plot.right())
        return x + 3;
    return std::max(plot.left(), x - 3 - width);
}

} // namespace

RunChart::RunChart(QWidget *parent) : QChartView(parent)
{
    setObjectName(QStringLiteral("RunChart"));
    auto *chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignTop);
    setChart(chart);
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::HorizontalRubberBand);

    m_volts = addSeries(chart, QStringLiteral("Voltage (V)"), ChartColours::Volts);
    m_amps = addSeries(chart, QStringLiteral("Current (A)"), ChartColours::Amps);
    m_watts = addSeries(chart, QStringLiteral("Power (W)"), ChartColours::Watts);
    m_time = new QValueAxis(chart);
    m_time->setTitleText(QStringLiteral("Elapsed (s)"));
    m_time->setTickType(QValueAxis::TicksDynamic);
    m_time->setTickAnchor(0);
    chart->addAxis(m_time, Qt::AlignBottom);
    m_axes = {addAxis(chart, QStringLiteral("V"), m_volts->pen().color(), Qt::AlignLeft),
        addAxis(chart, QStringLiteral("A"), m_amps->pen().color(), Qt::AlignRight),
        addAxis(chart, QStringLiteral("W"), m_watts->pen().color(), Qt::AlignRight)};
    for (auto [series, axis] : {std::pair{m_volts, m_axes[0]}, {m_amps, m_axes[1]}, {m_watts, m_axes[2]}}) {
        series->attachAxis(m_time);
        series->attachAxis(axis);
    }
    fitAxes();

    m_redraw.setInterval(RedrawIntervalMs);
    connect(&m_redraw, &QTimer::timeout, this, [this] {
        if (std::exchange(m_dirty, false))
            refresh();
        else
            m_redraw.stop();
    });
}

void RunChart::listenTo(const RunRecorder &recorder)
{
    connect(&recorder, &RunRecorder::runStarted, this, [this] {
        m_history.clear();
        setFollowing(true);
        changed();
    });
    connect(&recorder, &RunRecorder::sampleAdded, this, [this](const Sample &sample) {
        m_history.add(sample);
        changed();
    });
    connect(&recorder, &RunRecorder::stepStarted, this,
        [this](const StepRecord &step) { m_history.stepStarted(step.row, step.function); });
    connect(&recorder, &RunRecorder::verdictAdded, this, [this](const StepRecord &step) {
        m_history.verdict(step.row, *step.verdict);
        changed();
    });
    connect(&recorder, &RunRecorder::runEnded, this, [this] { refresh(); });
}

void RunChart::changed()
{
    m_dirty = true;
    if (!m_redraw.isActive())
        m_redraw.start();
}

void RunChart::refresh()
{
    QElapsedTimer timer;
    timer.start();
    fitAxes();
    const double from = m_time->min(), to = m_time->max();
    const int displayColumns = std::max(100, int(chart()->plotArea().width() / 2));
    m_volts->replace(m_history.envelope(&ChartHistory::Column::volts, from, to, displayColumns));
    m_amps->replace(m_history.envelope(&ChartHistory::Column::amps, from, to, displayColumns));
    m_watts->replace(m_history.envelope(&ChartHistory::Column::watts, from, to, displayColumns));
    viewport()->update();
    m_lastRefreshUs = timer.nsecsElapsed() / 1000;
}

void RunChart::fitAxes()
{
    // Following, the run's end a little inside the right edge, never a jump to the next round
    // number.
    const int timeTicks = std::max(2, int(chart()->plotArea().width() / 60));
    if (m_following)
        setRangeAndTicks(m_time, 0, std::max(10.0, m_history.lastSeconds() * 1.02), timeTicks);
    else
        setRangeAndTicks(m_time, m_time->min(), m_time->max(), timeTicks);
    const double from = m_time->min(), to = m_time->max();
    const QRectF plot = chart()->plotArea();
    const int ticks = std::max(2, int(plot.height() / 32));
    const std::array<ChartHistory::Range ChartHistory::Column::*, 3> ranges{
        &ChartHistory::Column::volts, &ChartHistory::Column::amps, &ChartHistory::Column::watts};
    const std::array<Placement, 3> placements{VoltPlacement, AmpPlacement, WattPlacement};
    for (int i = 0; i < 3; ++i) {
        place(m_axes[i], m_history.extent(ranges[i], from, to, m_tripPeaks[i]), placements[i], ticks);
    }
}

void RunChart::fitAxis(Axis axis)
{
    m_tripPeaks[int(axis)] = true;
    refresh();
}

void RunChart::fitAllAxes()
{
    m_tripPeaks.fill(true);
    refresh();
}

void RunChart::leaveOutTripPeaks()
{
    m_tripPeaks.fill(false);
    refresh();
}

QMenu *RunChart::makeFitMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->addAction(QStringLiteral("Fit all axes to the readings in view"), this, &RunChart::fitAllAxes);
    menu->addAction(QStringLiteral("Fit the voltage axis"), this, [this] { fitAxis(Axis::Volts); });
    menu->addAction(QStringLiteral("Fit the current axis"), this, [this] { fitAxis(Axis::Amps); });
    menu->addAction(QStringLiteral("Fit the power axis"), this, [this] { fitAxis(Axis::Watts); });
    menu->addSeparator();
    menu->addAction(
        QStringLiteral("Leave out the peaks of finished OCP, OPP and short tests"), this, &RunChart::leaveOutTripPeaks);
    return menu;
}

void RunChart::follow()
{
    setFollowing(true);
    refresh();
}

void RunChart::setFollowing(bool following)
{
    if (m_following == following)
        return;
    m_following = following;
    Q_EMIT followingChanged(following);
}

double RunChart::xAt(double seconds) const { return chart()->mapToPosition(QPointF(seconds, 0), m_volts).x(); }

void RunChart::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    const QRectF plot = chart()->plotArea();
    painter->save();
    painter->setClipRect(plot);
    QFont font = painter->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    // Step labels take the first of three rows where they do not overlap the label before them;
    // where all three are taken, the line stays without its label.
    constexpr int LabelRows = 3;
    double labelEnd[LabelRows] = {-1e9, -1e9, -1e9};
    double verdictEnd[LabelRows] = {-1e9, -1e9, -1e9};
    for (const ChartHistory::Mark &mark : m_history.marks()) {
        const double x = xAt(mark.seconds);
        if (x < plot.left() || x > plot.right())
            continue;
        if (mark.kind == ChartHistory::Mark::Kind::Step) {
            painter->setPen(QPen(ChartColours::StepMark, 1, Qt::DashLine));
            painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            const QString label = QStringLiteral("%1 %2").arg(mark.step).arg(mark.function);
            const double left = labelLeft(x, metrics.horizontalAdvance(label), plot);
            for (int row = 0; row < LabelRows; ++row) {
                if (left <= labelEnd[row])
                    continue;
                painter->setPen(QColor(0x40, 0x40, 0x40));
                painter->drawText(QPointF(left, plot.top() + metrics.ascent() + 2 + row * metrics.height()), label);
                labelEnd[row] = left + metrics.horizontalAdvance(label) + 6;
                break;
            }
        } else {
            const bool pass = mark.kind == ChartHistory::Mark::Kind::Pass;
            const QColor color = pass ? ChartColours::Pass : ChartColours::Fail;
            painter->setPen(QPen(color, 2));
            painter->drawLine(QPointF(x, plot.bottom() - 24), QPointF(x, plot.bottom()));
            const QString label
                = QStringLiteral("%1 %2").arg(pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"), mark.value);
            const double left = labelLeft(x, metrics.horizontalAdvance(label), plot);
            for (int row = 0; row < LabelRows; ++row) {
                if (left <= verdictEnd[row])
                    continue;
                painter->drawText(QPointF(left, plot.bottom() - 6 - row * metrics.height()), label);
                verdictEnd[row] = left + metrics.horizontalAdvance(label) + 6;
                break;
            }
        }
    }
    painter->restore();
}

void RunChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        m_panning = true;
        m_panFrom = m_pressedAt = event->position();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void RunChart::mouseMoveEvent(QMouseEvent *event)
{
    if (m_panning) {
        const QPointF delta = event->position() - m_panFrom;
        m_panFrom = event->position();
        setFollowing(false);
        // Time only: the value axes keep fitting what comes into view.
        chart()->scroll(-delta.x(), 0);
        changed();
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void RunChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        m_panning = false;
        event->accept();
        // A right click that did not drag asks how to scale the axes.
        if ((event->position() - m_pressedAt).manhattanLength() < 4) {
            QMenu *menu = makeFitMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(event->globalPosition().toPoint());
        }
        return;
    }
    const qreal before = m_time->max() - m_time->min();
    QChartView::mouseReleaseEvent(event);
    if (m_time->max() - m_time->min() != before) {
        setFollowing(false);
        changed();
    }
}

void RunChart::mouseDoubleClickEvent(QMouseEvent *event)
{
    follow();
    event->accept();
}

void RunChart::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    // Zoom the time axis about the point under the cursor.
    const QRectF plot = chart()->plotArea();
    const double at = std::clamp((event->position().x() - plot.left()) / plot.width(), 0.0, 1.0);
    const double low = m_time->min(), high = m_time->max();
    const double pivot = low + (high - low) * at;
    const double factor = std::pow(0.8, steps);
    setFollowing(false);
    m_time->setRange(pivot - (pivot - low) * factor, pivot + (high - pivot) * factor);
    changed();
    event->accept();
}

QString RunChart::saveImage(const QString &path, QSize size)
{
    // A chart of its own at the picture's size, showing what this one shows: a grab of the window
    // would be as small as the chart is on screen.
    RunChart copy;
    copy.setAttribute(Qt::WA_DontShowOnScreen);
    copy.m_history = m_history;
    copy.m_following = m_following;
    copy.m_tripPeaks = m_tripPeaks;
    copy.resize(size);
    copy.show();
    copy.chart()->resize(size);
    copy.chart()->layout()->activate();
    copy.m_time->setRange(m_time->min(), m_time->max());
    copy.refresh();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    copy.render(&painter);
    painter.end();
    if (!image.save(path))
        return QStringLiteral("The chart could not be saved to %1.").arg(path);
    return QString();
}
