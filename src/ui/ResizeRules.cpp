#include "ui/ResizeRules.h"

#include <algorithm>

namespace ResizeRules {

namespace {

constexpr int Margin = 400;

void followHeight(MainGeometry &g, int outerWidth, int outerHeight)
{
    g.measureFrame.moveTop(g.listView.top() - 100);
    g.measureFrame.moveLeft(outerWidth - g.measureFrame.width() - Margin);
    g.listView.setHeight(std::max(0, outerHeight - g.listView.top() - 700));
    g.measureFrame.setHeight(g.listView.height());
}

// On a screen narrower than the window was drawn for, the boxes at the top right would be cut
// off; they keep their distance to the right edge instead, as far as the band to their left
// leaves room.
void followRightEdge(MainGeometry &g, int outerWidth)
{
    constexpr int BoxRightMargin = 410;
    constexpr int FirstBoxLeftmost = 13260;
    const int gap = g.stepCountBox.left() - g.stepTimeBox.right();
    const int countLeft = std::max(
        outerWidth - BoxRightMargin - g.stepCountBox.width(), FirstBoxLeftmost + g.stepTimeBox.width() + gap);
    g.stepCountBox.moveLeft(countLeft);
    g.stepTimeBox.moveRight(countLeft - gap);
    g.errorTrail.setRight(std::max(g.errorTrail.left() + 1000, outerWidth - BoxRightMargin - 10));
}

} // namespace

void apply(MainGeometry &g, int outerWidth, int outerHeight)
{
    if (outerWidth - g.stepGrid.left() - Margin > 0) {
        g.stepGrid.setWidth(outerWidth - g.stepGrid.left() - Margin);
        followHeight(g, outerWidth, outerHeight);
        g.listView.setWidth(std::max(0, outerWidth - g.listView.left() - Margin - g.measureFrame.width()));
        g.traceList.moveLeft(g.listView.left() + g.listView.width() - g.traceList.width() - Margin);
        g.traceList.moveTop(g.listView.top() + Margin);
        g.traceList.setHeight(std::max(0, g.listView.height() - Margin));
        followRightEdge(g, outerWidth);
    }
    if (outerHeight - g.listView.top() - 600 > 0)
        followHeight(g, outerWidth, outerHeight);
}

} // namespace ResizeRules
