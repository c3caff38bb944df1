#pragma once

class QWidget;

// Window layout is reckoned in twips (1440 to the inch): 15 twips to a pixel at 96 DPI, scaled by
// the logical DPI of the screen the widget is on (the primary screen when it has none yet).
namespace Twips {

double pixelsPerTwip(const QWidget *widget = nullptr);
int toPixels(int twips, const QWidget *widget = nullptr);
int fromPixels(int pixels, const QWidget *widget = nullptr);

} // namespace Twips
