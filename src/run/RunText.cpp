#include "run/RunText.h"

namespace RunText {

namespace {

const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QString twoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

} // namespace

QString dateTimeText(const QDateTime &when) { return when.toString(DateTimeFormat); }

QString totalTimeText(const QDateTime &when) { return when.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")); }

QString FormatElapsed(const QString &start, const QString &end)
{
    const QDateTime from = QDateTime::fromString(start, DateTimeFormat);
    const QDateTime to = QDateTime::fromString(end, DateTimeFormat);
    const qint64 seconds = from.isValid() && to.isValid() ? from.secsTo(to) : 0;
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    const qint64 s = std::abs(seconds);
    return sign + twoDigits(s / 3600) + u':' + twoDigits((s / 60) % 60) + u':' + twoDigits(s % 60);
}

} // namespace RunText
