#pragma once

#include "model/Fixed4.h"

#include <QString>
#include <array>

// What a run takes from the settings when it starts and keeps for its whole length.
struct RunOptions
{
    // The test step file the program came from, as the run's record names it.
    QString programFile;
    bool afgEnabled = false;
    // The sampling interval in ms at Run: the integration step of Ah and Wh.
    Fixed4 measureTime = Fixed4::fromCount(10000000);
    // Voltage, Current, Power, Ah, Wh: which columns the result rows fill.
    std::array<bool, 5> measure{true, true, true, true, true};
};
