#pragma once

#include <QStringList>

// The 32 columns of a step row, by index, and the header texts of row 0.
// Columns 9 and 10 hold the OCP/OPP end value and increment in that order although their headers
// read "Step" and "Stop": stored files rely on it.
namespace StepColumns {

enum Column {
    StepNo,
    Function,
    Mode,
    SinkValue,
    VStop,
    TStop,
    AhStop,
    Times,
    Start,
    EndValue,
    Increment,
    Vth,
    LimitHigh,
    LimitLow,
    High,
    Low,
    THigh,
    TLow,
    Rise,
    Fall,
    LoadOffV,
    CvAdd,
    CycleCount,
    RampCc,
    RampTime,
    TotalStep,
    IDc,
    IAc,
    Frequence,
    Duty,
    IStop,
    StableTime,
    Count
};

const QStringList &headers();

} // namespace StepColumns
