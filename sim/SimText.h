#pragma once

#include "SimTypes.h"

#include <QByteArray>
#include <optional>

// Reading command values and writing replies, as the instruments do: plain decimal numbers with
// "." as point, ON/OFF switches, mode names.
namespace SimText {

// The whole text as a finite decimal number; nothing for anything else (the empty text included).
std::optional<double> number(const QByteArray &text);
// A number followed by an optional unit suffix ("10us" with suffix "US").
std::optional<double> numberWithUnit(const QByteArray &text, const QByteArray &unit);
// A whole number from 0 up.
std::optional<int> count(const QByteArray &text);
std::optional<bool> onOff(const QByteArray &text);
std::optional<LoadMode> mode(const QByteArray &text);
// A fixed number of decimals, never "-0.000".
QByteArray fixed(double value, int decimals);

} // namespace SimText
