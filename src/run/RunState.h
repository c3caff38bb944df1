#pragma once

#include "model/Fixed4.h"
#include "model/StepValues.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The sequencer's cursor between its passes: where the run stands in the step table, what the
// running step asked for, what was last measured. Nothing outside the sequencer reads it; the
// run's events carry what others need.
struct RunState
{
    // Why a step is to start at the next pass.
    enum class Pending {
        None,
        // The run's first step, the step after a FOR or LOOP, or after a measured stop or the
        // load's own test ended the one before.
        Next,
        // The capacity stop ended the step before.
        AfterCapacity,
        // The step's time ran out: the next step, or the same one again from scratch.
        AfterTime,
    };

    qint32 StepPointer = 0;
    Pending StepPending = Pending::None;
    QString CurrentFunction;
    qint32 RowCounter = 0;

    double VStop = 0;
    double IStop = 0;
    double AhStop = 0;
    Fixed4 TStop;
    double StableTime = 0;

    // The running step's start, to the whole second, as its rows count their step time.
    QDateTime StepStart;
    qint32 LoopCount = 0;
    qint16 LoopStartRow = 0;

    // The last reading: voltage and current as numbers and in the digits the load sent them, the
    // power made of them, and the running step's totals.
    double MeasuredVoltage = 0;
    double MeasuredCurrent = 0;
    QString VoltageText = QStringLiteral("0");
    QString CurrentText = QStringLiteral("0");
    double MeasuredPower = 0;
    double AhTotal = 0;
    double WhTotal = 0;

    // The running step's cells as stored (32 columns), read by the command builders by column.
    StepValues step;

    QString cell(int column) const { return step.cell(column); }
    bool isPending() const { return StepPending != Pending::None; }
};
