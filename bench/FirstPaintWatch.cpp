#include "FirstPaintWatch.h"

#include <QEvent>
#include <QTimer>

FirstPaintWatch::FirstPaintWatch(QObject *widget, std::function<void()> painted) : m_painted(std::move(painted))
{
    widget->installEventFilter(this);
}

bool FirstPaintWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_seen) {
        m_seen = true;
        QTimer::singleShot(0, this, [this] { m_painted(); });
    }
    return QObject::eventFilter(watched, event);
}
