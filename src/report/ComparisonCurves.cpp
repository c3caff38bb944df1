#include "report/ComparisonCurves.h"

#include "report/RunColours.h"
#include "store/RunComparison.h"

ComparisonCurves::ComparisonCurves(const RunComparison &comparison, OverlayCurve::By by, std::optional<int> alignStep)
{
    for (const RunComparison::Entry &entry : comparison.entries()) {
        m_curves.push_back(OverlayCurve::make(entry.chart, by, alignStep));
        m_labels.append(OverlayPainter::labelOf(entry.run));
    }
}

QList<OverlayPainter::Curve> ComparisonCurves::painted() const
{
    QList<OverlayPainter::Curve> curves;
    for (std::size_t k = 0; k < m_curves.size(); ++k) {
        if (m_curves[k])
            curves.append({&*m_curves[k], RunColours::of(qsizetype(k)), m_labels.at(qsizetype(k))});
    }
    return curves;
}
