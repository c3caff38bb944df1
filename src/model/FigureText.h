#pragma once

#include <QString>

// How figures read wherever a table shows them (the Runs list, the comparison, the lab view, the
// report), so that one duration or reading looks the same in each.
namespace FigureText {

// "1:02:05" for whole seconds.
QString clock(qint64 seconds);
// "45.2 s" under a minute, then "3 min 05 s", "1 h 02 min 05 s".
QString words(double seconds);
// "3.700 V" with `decimals` decimals, "0" rather than "-0"; "–" for NaN.
QString withUnit(double value, int decimals, const char *unit);

} // namespace FigureText
