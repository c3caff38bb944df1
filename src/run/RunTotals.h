#pragma once

// What the whole run drew and how long it went: the figure a capacity test is after, where each
// step's own totals start again from zero.
struct RunTotals
{
    double ampHours = 0, wattHours = 0;
    double seconds = 0;
};
