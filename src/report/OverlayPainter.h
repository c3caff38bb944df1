#pragma once

#include "results/OverlayCurve.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>
#include <optional>

class QPainter;
struct StoredRun;

// Several runs' curves laid over each other with a QPainter onto any device (a widget, an image, a
// PDF page): one reading (V, I or W) against the time or the Ah since each run's start or its
// aligned step, one colour per run, and a legend naming each run. Sizes follow the painter's font
// and the device's resolution.
class OverlayPainter
{
public:
    enum class Quantity { Volts, Amps, Watts };

    struct Curve
    {
        const OverlayCurve *curve = nullptr;
        QColor colour;
        QString label;
    };
    struct View
    {
        OverlayCurve::By by = OverlayCurve::By::Seconds;
        Quantity quantity = Quantity::Volts;
        // The step the curves are aligned at, for the x axis' title.
        std::optional<int> alignStep;
        // The x span shown; the whole of every curve when `to` is not above `from`.
        double from = 0, to = 0;
        bool legend = true;
        // Antialiased curves for pictures and pages; a screen redrawn as the mouse moves wants speed.
        bool smooth = true;
    };

    OverlayPainter(QList<Curve> curves, View view);

    // Paints into `area` and returns where the plot went, with the x span it shows: a view that
    // maps the mouse to x needs both.
    struct Placed
    {
        QRectF plot;
        double from = 0, to = 1;
    };
    Placed paint(QPainter &painter, const QRectF &area) const;

    // The span that shows every curve whole, rounded out to the axis' ticks.
    std::pair<double, double> wholeSpan() const;
    // "Bench 1 · cell.TSF · 2026-05-01 09:00 · PASS"
    static QString labelOf(const StoredRun &run);
    static OverlayCurve::Range rangeOf(Quantity quantity);

private:
    QList<Curve> m_curves;
    View m_view;
};
