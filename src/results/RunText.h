#pragma once

#include <QDateTime>
#include <QString>

// The time texts of a row: when it was made, how long its step had run.
namespace RunText {

// "YYYY/MM/DD hh:mm:ss": the "TotalTime" column of a result row.
QString totalTimeText(const QDateTime &when);

// The whole seconds from start to end as hh:mm:ss; the hours are not wrapped at 24 and take as
// many digits as they need. A time that is not valid gives 00:00:00.
QString FormatElapsed(const QDateTime &start, const QDateTime &end);

// The "StepTime" column: FormatElapsed from a step's start (to the whole second) to a row's
// time, made once for each second of a step.
QString stepTimeText(const QDateTime &stepStart, const QDateTime &made);

} // namespace RunText
