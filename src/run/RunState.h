#pragma once

#include "model/Fixed4.h"
#include "model/StepValues.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What a run keeps between the sequencer's passes: where it stands in the step table, what the
// running step asked for, what was last measured.
struct RunState
{
    qint32 StepPointer = 0;
    qint16 StepPending = 0;
    QString CurrentFunction;
    qint32 RowCounter = 0;

    double VStop = 0;
    double IStop = 0;
    double AhStop = 0;
    Fixed4 TStop;
    double StableTime = 0;

    QString StepStartText;
    QString SampleTimeText;
    qint32 LoopCount = 0;
    qint16 LoopStartRow = 0;
    float TickStartTime = 0;

    QString MeasuredVoltage = QStringLiteral("0");
    QString MeasuredCurrent = QStringLiteral("0");
    QString MeasuredPower = QStringLiteral("0");
    double AhTotal = 0;
    double WhTotal = 0;

    // The running step's cells as stored (32 columns), read by the command builders by column.
    StepValues step;

    QString cell(int column) const { return step.cell(column); }
};
