#pragma once

#include <QScreen>
#include <QString>
#include <QWidget>

// Why `window` does not fit the room its screen has ("1400x860 on 760x540"); "" when it does.
inline QString beyondItsScreen(const QWidget &window)
{
    const QSize room = window.screen()->availableGeometry().size();
    if (window.width() <= room.width() && window.height() <= room.height())
        return {};
    return QStringLiteral("%1x%2 on %3x%4")
        .arg(window.width())
        .arg(window.height())
        .arg(room.width())
        .arg(room.height());
}
