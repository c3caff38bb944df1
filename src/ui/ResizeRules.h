#pragma once

#include <QRect>

// Where the window's resizable parts sit, in twips. The step table, the result log, the
// "Measure Item" frame and the trace list follow the window's size; the step time and step count
// boxes keep to its right edge, and the error trail reaches to it; everything else stays put.
struct MainGeometry
{
    QRect stepGrid;
    QRect listView;
    QRect measureFrame;
    QRect traceList;
    QRect stepTimeBox;
    QRect stepCountBox;
    QRect errorTrail;
};

namespace ResizeRules {

// Applies the window's outer width and height (twips). A window too narrow leaves the widths as
// they were; one too low leaves the heights. No height ever goes below zero.
void apply(MainGeometry &geometry, int outerWidth, int outerHeight);

} // namespace ResizeRules
