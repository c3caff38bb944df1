#include "ui/RunChart.h"

#include "run/RunRecorder.h"

#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

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
    axis->setLabelFormat(QStringLiteral("%.3g"));
    axis->setLinePenColor(color);
    axis->setLabelsColor(color);
    axis->setTitleBrush(color);
    chart->addAxis(axis, side);
    return axis;
}

// `fromZero`: the axis starts at zero (or below, for negative readings) rather than at the
// smallest reading.
void fitRange(QValueAxis *axis, const std::vector<ChartHistory::Column> &columns,
    ChartHistory::Range ChartHistory::Column::*range, bool fromZero)
{
    double low = fromZero ? 0.0 : std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (const ChartHistory::Column &column : columns) {
        low = std::min(low, (column.*range).min);
        high = std::max(high, (column.*range).max);
    }
    if (columns.empty()) {
        low = 0;
        high = 1;
    }
    const double margin = std::max((high - low) * 0.05, std::max(std::abs(high), 1.0) * 0.01);
    // A reading that never goes below zero keeps zero as its floor.
    axis->setRange(low >= 0 ? std::max(0.0, low - margin) : low - margin, high + margin);
    // Enough decimals that neighbouring ticks read differently, however narrow the span.
    const double step = (axis->max() - axis->min()) / std::max(1, axis->tickCount() - 1);
    const int decimals = std::clamp(int(std::ceil(-std::log10(step))) + 1, 0, 6);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + u'f');
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

    m_volts = addSeries(chart, QStringLiteral("Voltage (V)"), QColor(0x1f, 0x6f, 0xd0));
    m_amps = addSeries(chart, QStringLiteral("Current (A)"), QColor(0xd0, 0x4a, 0x1f));
    m_watts = addSeries(chart, QStringLiteral("Power (W)"), QColor(0x2a, 0x9d, 0x3f));
    m_time = new QValueAxis(chart);
    m_time->setTitleText(QStringLiteral("Elapsed (s)"));
    m_time->setLabelFormat(QStringLiteral("%.4g"));
    chart->addAxis(m_time, Qt::AlignBottom);
    m_voltAxis = addAxis(chart, QStringLiteral("V"), m_volts->pen().color(), Qt::AlignLeft);
    m_ampAxis = addAxis(chart, QStringLiteral("A"), m_amps->pen().color(), Qt::AlignRight);
    m_wattAxis = addAxis(chart, QStringLiteral("W"), m_watts->pen().color(), Qt::AlignRight);
    for (auto [series, axis] : {std::pair{m_volts, m_voltAxis}, {m_amps, m_ampAxis}, {m_watts, m_wattAxis}}) {
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
    if (m_following)
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
    const std::vector<ChartHistory::Column> &columns = m_history.columns();
    m_time->setRange(0, std::max(10.0, m_history.lastSeconds() * 1.02));
    m_time->applyNiceNumbers();
    // Voltage is shown over the span it moves in, where a discharge curve shows its shape; current
    // and power from zero, as levels that switch on and off. (Scaled alike, P would also hide V
    // under it whenever I is constant.)
    fitRange(m_voltAxis, columns, &ChartHistory::Column::volts, false);
    fitRange(m_ampAxis, columns, &ChartHistory::Column::amps, true);
    fitRange(m_wattAxis, columns, &ChartHistory::Column::watts, true);
}

void RunChart::follow()
{
    setFollowing(true);
    chart()->zoomReset();
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
            painter->setPen(QPen(QColor(0x70, 0x70, 0x70), 1, Qt::DashLine));
            painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            const QString label = QStringLiteral("%1 %2").arg(mark.step).arg(mark.function);
            for (int row = 0; row < LabelRows; ++row) {
                if (x + 3 <= labelEnd[row])
                    continue;
                painter->setPen(QColor(0x40, 0x40, 0x40));
                painter->drawText(QPointF(x + 3, plot.top() + metrics.ascent() + 2 + row * metrics.height()), label);
                labelEnd[row] = x + 3 + metrics.horizontalAdvance(label) + 6;
                break;
            }
        } else {
            const bool pass = mark.kind == ChartHistory::Mark::Kind::Pass;
            const QColor color = pass ? QColor(0x1e, 0x8e, 0x3e) : QColor(0xc6, 0x28, 0x28);
            painter->setPen(QPen(color, 2));
            painter->drawLine(QPointF(x, plot.bottom() - 24), QPointF(x, plot.bottom()));
            const QString label
                = QStringLiteral("%1 %2").arg(pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"), mark.value);
            for (int row = 0; row < LabelRows; ++row) {
                if (x + 3 <= verdictEnd[row])
                    continue;
                painter->drawText(QPointF(x + 3, plot.bottom() - 6 - row * metrics.height()), label);
                verdictEnd[row] = x + 3 + metrics.horizontalAdvance(label) + 6;
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
        m_panFrom = event->position();
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
        chart()->scroll(-delta.x(), delta.y());
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

QString RunChart::saveImage(const QString &path)
{
    const QPixmap image = grab();
    if (image.isNull() || !image.save(path))
        return QStringLiteral("The chart could not be saved to %1.").arg(path);
    return QString();
}
