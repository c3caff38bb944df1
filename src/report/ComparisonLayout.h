#pragma once

#include "report/OverlayPainter.h"

#include <QList>

class ReportPages;
class RunComparison;

// What the comparison's PDF shows, laid out down its pages: the title and what is compared, the
// runs' curves over each other, the table of their figures, then which run is which.
class ComparisonLayout
{
public:
    ComparisonLayout(ReportPages &pages, const RunComparison &comparison, const QList<OverlayPainter::Curve> &curves,
        const OverlayPainter::View &view)
        : m_pages(pages), m_comparison(comparison), m_curves(curves), m_view(view)
    { }

    void draw();

    // "3 runs by Ah drawn, aligned at step 2, nominal capacity 2.5 Ah, healthy from 80 %"
    static QString whatIsCompared(const RunComparison &comparison, const OverlayPainter::View &view);

private:
    void drawTitle();
    void drawOverlay();
    void drawFigures();
    void drawRuns();
    QList<QColor> swatches() const;

    ReportPages &m_pages;
    const RunComparison &m_comparison;
    const QList<OverlayPainter::Curve> &m_curves;
    const OverlayPainter::View &m_view;
};
