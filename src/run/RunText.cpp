#include "run/RunText.h"

namespace RunText {

namespace {

const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QString twoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

QString elapsedText(const QDateTime &from, const QDateTime &to)
{
    const qint64 seconds = from.isValid() && to.isValid() ? from.secsTo(to) : 0;
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    const qint64 s = std::abs(seconds);
    return sign + twoDigits(s / 3600) + u':' + twoDigits((s / 60) % 60) + u':' + twoDigits(s % 60);
}

// A step's start text is read once, not at every row of the step.
QDateTime startOf(const QString &start)
{
    static thread_local QString lastText;
    static thread_local QDateTime lastTime;
    if (start != lastText) {
        lastText = start;
        lastTime = QDateTime::fromString(start, DateTimeFormat);
    }
    return lastTime;
}

} // namespace

QString dateTimeText(const QDateTime &when) { return when.toString(DateTimeFormat); }

QString totalTimeText(const QDateTime &when) { return when.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")); }

QString FormatElapsed(const QString &start, const QString &end)
{
    return elapsedText(startOf(start), QDateTime::fromString(end, DateTimeFormat));
}

QString FormatElapsed(const QString &start, const QDateTime &end)
{
    // The text keeps whole seconds only.
    return elapsedText(startOf(start), end.addMSecs(-end.time().msec()));
}

} // namespace RunText
