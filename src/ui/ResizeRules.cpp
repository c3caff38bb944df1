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
    }
    if (outerHeight - g.listView.top() - 600 > 0)
        followHeight(g, outerWidth, outerHeight);
}

} // namespace ResizeRules
