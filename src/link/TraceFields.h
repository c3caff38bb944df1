#pragma once

#include <QString>

// What a line sent during a run carries in its trace line besides the command: the step pointer,
// the step time left and the running function.
struct TraceFields
{
    qint32 step = 0;
    QString timeLeft = QStringLiteral("0");
    QString function;
};
