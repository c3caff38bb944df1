#include "ui/PopupEscapeWatch.h"

#include <QApplication>
#include <QKeyEvent>

PopupEscapeWatch::PopupEscapeWatch(QObject *parent) : QObject(parent) { qApp->installEventFilter(this); }

PopupEscapeWatch::~PopupEscapeWatch() { qApp->removeEventFilter(this); }

bool PopupEscapeWatch::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride && type != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Escape)
        return QObject::eventFilter(watched, event);
    // The popup closes as it handles the press; what comes of the same press later finds none.
    if (type != QEvent::KeyRelease && QApplication::activePopupWidget())
        m_popupTookIt = true;
    else if (type == QEvent::KeyRelease && !key->isAutoRepeat())
        m_popupTookIt = false;
    return QObject::eventFilter(watched, event);
}
