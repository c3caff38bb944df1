#include "results/RunText.h"

namespace RunText {

namespace {

QString twoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// The texts of a time change once a second, and at 10 ms sampling a hundred rows share each
// second: a text is made once for its second and handed out again for the same second.
class SecondText
{
public:
    explicit SecondText(QString format) : m_format(std::move(format)) { }

    const QString &of(const QDateTime &when)
    {
        if (!when.isValid()) {
            m_second = -1;
            return m_text = when.toString(m_format);
        }
        const QDate day = when.date();
        const int second = when.time().msecsSinceStartOfDay() / 1000;
        if (day != m_day || second != m_second) {
            m_day = day;
            m_second = second;
            m_text = when.toString(m_format);
        }
        return m_text;
    }

private:
    QString m_format;
    QDate m_day;
    int m_second = -1;
    QString m_text;
};

} // namespace

QString totalTimeText(const QDateTime &when)
{
    static thread_local SecondText text(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    return text.of(when);
}

QString FormatElapsed(const QDateTime &start, const QDateTime &end)
{
    const qint64 seconds = start.isValid() && end.isValid() ? start.secsTo(end) : 0;
    const QString sign = seconds < 0 ? QStringLiteral("-") : QString();
    const qint64 s = std::abs(seconds);
    return sign + twoDigits(s / 3600) + u':' + twoDigits((s / 60) % 60) + u':' + twoDigits(s % 60);
}

QString stepTimeText(const QDateTime &stepStart, const QDateTime &made)
{
    // The text keeps whole seconds only, so it changes only with the second of `made` or the start.
    static thread_local QDateTime lastStart;
    static thread_local QDate lastDay;
    static thread_local int lastSecond = -1;
    static thread_local QString lastText;
    const QDate day = made.date();
    const int second = made.time().msecsSinceStartOfDay() / 1000;
    if (!made.isValid() || stepStart != lastStart || day != lastDay || second != lastSecond) {
        lastStart = stepStart;
        lastDay = day;
        lastSecond = made.isValid() ? second : -1;
        lastText = FormatElapsed(stepStart, made.addMSecs(-made.time().msec()));
    }
    return lastText;
}

} // namespace RunText
