#include "report/OverlayImage.h"

#include "model/WholeFile.h"
#include "report/ReportStyle.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace {

// The picture is as if printed 6.25 inches high at the height given (144 dpi at 900 pixels): the
// painter's sizes, which follow the resolution, then grow with the picture.
constexpr double PrintedInches = 6.25;
constexpr double FontPoints = 8;
constexpr double InchesPerMetre = 1 / 0.0254;

} // namespace

QByteArray OverlayImage::formatOf(const QString &path)
{
    const QString suffix = path == u"-" ? QString() : QFileInfo(path).suffix().toLower();
    const QByteArray format = suffix.isEmpty() ? QByteArray("png") : suffix.toLatin1();
    return QImageWriter::supportedImageFormats().contains(format) ? format : QByteArray();
}

QString OverlayImage::write(
    const QList<OverlayPainter::Curve> &curves, const OverlayPainter::View &view, const QString &path, QSize size)
{
    const QByteArray format = formatOf(path);
    if (format.isEmpty())
        return QStringLiteral("%1: no picture format is named .%2").arg(path, QFileInfo(path).suffix());

    QImage image(size, QImage::Format_RGB32);
    const int dotsPerMetre = qRound(size.height() / PrintedInches * InchesPerMetre);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(ReportStyle::font(FontPoints));
    const double margin = size.height() / 60.0;
    OverlayPainter(curves, view)
        .paint(painter, QRectF(QPointF(0, 0), QSizeF(size)).adjusted(margin, margin, -margin, -margin));
    painter.end();

    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    if (!image.save(&bytes, format.constData()))
        return QStringLiteral("%1: the picture cannot be made as %2").arg(path, QString::fromLatin1(format));
    if (const std::optional<QString> failed = WholeFile::replace(path, bytes.data(), OutputFile::Dash::StandardOutput))
        return QStringLiteral("%1: %2").arg(path, *failed);
    return QString();
}
