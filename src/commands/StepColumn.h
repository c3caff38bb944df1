#pragma once

// The step table's columns that the builders read, named after their header texts.
namespace StepColumn {
enum : int {
    Mode = 2,
    SinkValue = 3,
    VStop = 4,
    TStop = 5,
    AhStop = 6,
    Times = 7,
    Start = 8,
    // Holds the OCP/OPP end value although its header reads "Step".
    Step = 9,
    // Holds the OCP/OPP increment although its header reads "Stop".
    Stop = 10,
    Vth = 11,
    LimitHigh = 12,
    LimitLow = 13,
    High = 14,
    Low = 15,
    THigh = 16,
    TLow = 17,
    Rise = 18,
    Fall = 19,
    LoadOffV = 20,
    CvAdd = 21,
    CycleCount = 22,
    RampCc = 23,
    RampTime = 24,
    TotalStep = 25,
    IDc = 26,
    IAc = 27,
    Frequence = 28,
    Duty = 29,
};
} // namespace StepColumn
