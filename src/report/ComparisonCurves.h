#pragma once

#include "report/OverlayPainter.h"
#include "results/OverlayCurve.h"

#include <QColor>
#include <QList>
#include <QStringList>
#include <optional>
#include <vector>

class RunComparison;

// The curves of a comparison's runs as the overlay draws them: each run in the colour of its place
// in the comparison (the table's swatches match), named as the legend names it.
class ComparisonCurves
{
public:
    ComparisonCurves(const RunComparison &comparison, OverlayCurve::By by, std::optional<int> alignStep);

    // The runs that have a curve (a run that never sampled in the aligned step has none); they
    // point into this object, so it outlives them.
    QList<OverlayPainter::Curve> painted() const;

private:
    std::vector<std::optional<OverlayCurve>> m_curves;
    QStringList m_labels;
};
