#include "ui/WindowSize.h"

#include <QScreen>
#include <QWidget>

void WindowSize::resizeWithin(QWidget *window, QSize wanted)
{
    if (const QScreen *screen = window->screen())
        wanted = wanted.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    window->resize(wanted);
}
