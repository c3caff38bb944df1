#pragma once

#include <QSize>

class QWidget;

namespace WindowSize {

// Resizes a window of its own to `wanted`, or to what its screen has room for, a frame's width and
// a panel's height left free: a laptop's 1366×768 must show every part of it.
void resizeWithin(QWidget *window, QSize wanted);

} // namespace WindowSize
