#pragma once

#include "report/OverlayPainter.h"

#include <QList>
#include <QSize>
#include <QString>

// Several runs' overlaid curves as a picture to put in a document or a mail: drawn on white at a
// size fit for print, its text and lines sized for that size rather than for a screen.
class OverlayImage
{
public:
    // Written to `path` as OutputFile writes it ("-": standard output, as PNG), in the format its
    // suffix names (PNG without one). An empty text on success, else the path and the reason.
    static QString write(const QList<OverlayPainter::Curve> &curves, const OverlayPainter::View &view,
        const QString &path, QSize size = {1600, 900});
    // The format `path` is written in: the one its suffix names, PNG without a suffix or for "-";
    // empty when no format has its suffix's name.
    static QByteArray formatOf(const QString &path);
};
