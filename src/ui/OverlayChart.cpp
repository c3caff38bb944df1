#include "ui/OverlayChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace {

// A drag shorter than this is a click, not a span to zoom to.
constexpr double LeastSpanPixels = 6;
// One notch of the wheel shows this share of the span.
constexpr double WheelZoom = 0.8;

} // namespace

OverlayChart::OverlayChart(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(380, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_view.smooth = false;
}

void OverlayChart::setCurves(std::vector<OverlayCurve> curves, QList<QColor> colours, QStringList labels)
{
    m_curves = std::move(curves);
    m_colours = std::move(colours);
    m_labels = std::move(labels);
    update();
}

void OverlayChart::setView(OverlayCurve::By by, OverlayPainter::Quantity quantity, std::optional<int> alignStep)
{
    const bool newX = by != m_view.by || alignStep != m_view.alignStep;
    m_view.by = by;
    m_view.quantity = quantity;
    m_view.alignStep = alignStep;
    if (newX)
        showWhole();
    update();
}

QList<OverlayPainter::Curve> OverlayChart::painterCurves() const
{
    QList<OverlayPainter::Curve> curves;
    for (std::size_t k = 0; k < m_curves.size(); ++k)
        curves.append({&m_curves[k], m_colours.value(qsizetype(k)), m_labels.value(qsizetype(k))});
    return curves;
}

std::pair<double, double> OverlayChart::span() const
{
    if (m_view.to > m_view.from)
        return {m_view.from, m_view.to};
    return OverlayPainter(painterCurves(), m_view).wholeSpan();
}

void OverlayChart::showWhole()
{
    m_view.from = m_view.to = 0;
    update();
    Q_EMIT spanChanged();
}

void OverlayChart::zoomTo(double from, double to)
{
    if (!(to > from) || !std::isfinite(from) || !std::isfinite(to))
        return;
    m_view.from = from;
    m_view.to = to;
    update();
    Q_EMIT spanChanged();
}

double OverlayChart::xAt(double pixel) const
{
    // The plot where it was last painted, over the span shown now: a zoom not yet painted counts.
    const QRectF &plot = m_placed.plot;
    const auto [from, to] = span();
    if (plot.width() <= 0)
        return from;
    return from + (pixel - plot.left()) / plot.width() * (to - from);
}

void OverlayChart::paintEvent(QPaintEvent *)
{
    QElapsedTimer timer;
    timer.start();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    m_placed = OverlayPainter(painterCurves(), m_view).paint(painter, QRectF(rect()).adjusted(6, 4, -6, -4));
    if (m_spanning) {
        const QRectF band(QPointF(std::min(m_pressedAt.x(), m_dragAt.x()), m_placed.plot.top()),
            QPointF(std::max(m_pressedAt.x(), m_dragAt.x()), m_placed.plot.bottom()));
        painter.fillRect(band, QColor(0x1f, 0x6f, 0xd0, 40));
        painter.setPen(QColor(0x1f, 0x6f, 0xd0));
        painter.drawRect(band);
    }
    m_lastPaintUs = timer.nsecsElapsed() / 1000;
}

void OverlayChart::mousePressEvent(QMouseEvent *event)
{
    m_pressedAt = m_dragAt = event->position();
    m_panning = event->button() == Qt::RightButton;
    m_spanning = event->button() == Qt::LeftButton;
}

void OverlayChart::mouseMoveEvent(QMouseEvent *event)
{
    if (m_panning) {
        const double moved = xAt(m_dragAt.x()) - xAt(event->position().x());
        m_dragAt = event->position();
        const auto [from, to] = span();
        zoomTo(from + moved, to + moved);
    } else if (m_spanning) {
        m_dragAt = event->position();
        update();
    }
}

void OverlayChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_spanning && std::abs(event->position().x() - m_pressedAt.x()) >= LeastSpanPixels) {
        const double a = xAt(m_pressedAt.x()), b = xAt(event->position().x());
        zoomTo(std::min(a, b), std::max(a, b));
    }
    m_panning = m_spanning = false;
    update();
}

void OverlayChart::mouseDoubleClickEvent(QMouseEvent *) { showWhole(); }

void OverlayChart::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    const double at = xAt(event->position().x());
    const double share = std::pow(WheelZoom, notches);
    const auto [from, to] = span();
    zoomTo(at - (at - from) * share, at + (to - at) * share);
}
