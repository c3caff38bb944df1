#pragma once

#include <QRectF>

class ChartHistory;
class QPainter;

// Draws a run's chart with a QPainter onto any device (a PDF page, an image, a widget): elapsed
// time below, V on the left over its span, I and W on the right from zero, step starts and
// verdicts marked, and a legend. Sizes follow the painter's font and the device's resolution.
class ChartPainter
{
public:
    explicit ChartPainter(const ChartHistory &history);

    // The whole run fitted into `area`; nothing outside it is touched.
    void paint(QPainter &painter, const QRectF &area) const;

private:
    const ChartHistory &m_history;
};
