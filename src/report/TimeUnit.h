#pragma once

// A long span reads better in minutes or hours than in thousands of seconds.
struct TimeUnit
{
    double seconds = 1;
    const char *name = "s";

    static TimeUnit forSpan(double seconds)
    {
        if (seconds > 5 * 3600)
            return {3600, "h"};
        if (seconds > 600)
            return {60, "min"};
        return {1, "s"};
    }
};
