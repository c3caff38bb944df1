#include "commands/CommandError.h"

#include "model/StepColumns.h"

QString CommandError::text() const
{
    QString where;
    if (column == NoColumn)
        where = QStringLiteral("rated current");
    else if (column >= 0 && column < StepColumns::headers().size())
        where = QStringLiteral("column %1 \"%2\"").arg(column).arg(StepColumns::headers().at(column));
    else
        where = QStringLiteral("column %1").arg(column);
    return QStringLiteral("Step %1, %2: %3").arg(step).arg(where, problem);
}
