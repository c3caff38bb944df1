#include "commands/CommandError.h"

#include <array>

namespace {

// The step table's header texts, to name the column at fault the way the operator sees it.
constexpr std::array<const char16_t *, 32> ColumnHeaders = {
    u"StepNo.",
    u"Function",
    u"Mode",
    u"SinkValue",
    u"VStop",
    u"TStop",
    u"AhStop",
    u"Times",
    u"Start",
    u"Step",
    u"Stop",
    u"Vth",
    u"Limit High",
    u"Limit Low",
    u"High",
    u"Low",
    u"T-High",
    u"T-Low",
    u"Rise",
    u"Fall",
    u"Load Off V",
    u"CV Add",
    u"Cycle Count",
    u"Ramp CC",
    u"Ramp Time",
    u"Total Step",
    u"I_DC",
    u"I_AC",
    u"Frequence",
    u"Duty",
    u"IStop",
    u"StableTime",
};

} // namespace

QString CommandError::text() const
{
    QString where;
    if (column == NoColumn)
        where = QStringLiteral("rated current");
    else if (column >= 0 && column < int(ColumnHeaders.size()))
        where = QStringLiteral("column %1 \"%2\"").arg(column).arg(QString::fromUtf16(ColumnHeaders[column]));
    else
        where = QStringLiteral("column %1").arg(column);
    return QStringLiteral("Step %1, %2: %3").arg(step).arg(where, problem);
}
