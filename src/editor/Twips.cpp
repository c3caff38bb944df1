#include "editor/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace Twips {

double pixelsPerTwip(const QWidget *widget)
{
    const QScreen *screen = widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return dpi / 1440.0;
}

int toPixels(int twips, const QWidget *widget) { return int(std::lround(twips * pixelsPerTwip(widget))); }

int fromPixels(int pixels, const QWidget *widget) { return int(std::lround(pixels / pixelsPerTwip(widget))); }

} // namespace Twips
