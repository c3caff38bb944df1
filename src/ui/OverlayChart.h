#pragma once

#include "report/OverlayPainter.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QWidget>
#include <vector>

// Runs' curves laid over each other, zoomed and panned as the live chart is: drag a span to zoom to
// it, the wheel zooms about the pointer, a right-drag pans, a double-click shows every curve whole.
// Drawn from each run's bounded columns, so a redraw costs the same for a minute and for a day.
class OverlayChart : public QWidget
{
    Q_OBJECT

public:
    explicit OverlayChart(QWidget *parent = nullptr);

    // The runs' curves in the order given, each with its colour and legend text.
    void setCurves(std::vector<OverlayCurve> curves, QList<QColor> colours, QStringList labels);
    // How the curves are placed and what they show; a change of `by` or of the aligned step shows
    // them whole again, since the old span means nothing in the new x.
    void setView(OverlayCurve::By by, OverlayPainter::Quantity quantity, std::optional<int> alignStep);
    const OverlayPainter::View &view() const { return m_view; }
    // The x span shown.
    std::pair<double, double> span() const;
    void showWhole();
    void zoomTo(double from, double to);
    // The curves as OverlayPainter draws them anywhere else.
    QList<OverlayPainter::Curve> painterCurves() const;
    // How long the last paint took, in microseconds.
    qint64 lastPaintMicroseconds() const { return m_lastPaintUs; }

Q_SIGNALS:
    void spanChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    double xAt(double pixel) const;

    std::vector<OverlayCurve> m_curves;
    QList<QColor> m_colours;
    QStringList m_labels;
    OverlayPainter::View m_view;
    OverlayPainter::Placed m_placed;
    bool m_panning = false, m_spanning = false;
    QPointF m_pressedAt, m_dragAt;
    qint64 m_lastPaintUs = 0;
};
