#pragma once

// One reading of the run: where it fell in the run's time and step, what the load measured and
// what the running step has drawn so far.
struct Sample
{
    double elapsedSeconds = 0;
    double volts = 0, amps = 0, watts = 0;
    // The running step's totals, each addend rounded to eight decimals as the log has kept them.
    double ampHours = 0, wattHours = 0;
    // The step's row in the program.
    int step = 0;
};
