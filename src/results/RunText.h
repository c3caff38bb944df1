#pragma once

#include <QDateTime>
#include <QString>

// The time texts of a run: when a step started, when a row was made, how long a step has run.
namespace RunText {

// "YYYY-MM-DD hh:mm:ss".
QString dateTimeText(const QDateTime &when);
// "YYYY/MM/DD hh:mm:ss": the "TotalTime" column of a result row.
QString totalTimeText(const QDateTime &when);

// The whole seconds from start to end as hh:mm:ss; the hours are not wrapped at 24 and take as
// many digits as they need. Texts that are not date-and-time texts give 00:00:00.
QString FormatElapsed(const QString &start, const QString &end);

// The "StepTime" column: FormatElapsed from a step's start (to the whole second) to a row's time.
QString stepTimeText(const QDateTime &stepStart, const QDateTime &made);

} // namespace RunText
