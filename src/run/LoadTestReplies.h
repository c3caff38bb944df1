#pragma once

#include "run/Verdict.h"

#include <QString>
#include <optional>

// The load's replies while it runs a test of its own, read: "TESTING?", "NG?", the trip value of
// OCP and OPP, the capacity a battery discharge drew and the voltage a RAMP or Cycle Life test ended
// at.
class LoadTestReplies
{
public:
    struct Judged
    {
        Verdict verdict;
        // False for a reply that is no value at all: the trace says so.
        bool readable = true;
    };

    // "TESTING?": the state of the load's test (0 when it has ended), or nothing for a reply that
    // tells nothing, the missing reply included.
    static std::optional<double> testingState(const QString &reply);
    // "NG?": 0 or 1 lets the verdict through; anything else is asked again.
    static bool verdictReady(const QString &reply);
    // "OCP?" or "OPP?": read by its leading number ("5.2A" is 5.2), which must lie within the limits.
    static bool tripWithin(const QString &reply, double low, double high);
    // "BATT:RAH?" or "BATT:RWH?": the whole reply a number below the capacity stop.
    static Judged discharge(const QString &reply, double stop, Verdict::Quantity quantity);
    // "BATT:RVOLT?": a battery that held out ends above its load-off voltage. A failure code before
    // the number (three characters) makes the reply a failing one, and the number is shown alone.
    static Judged profile(const QString &reply, std::optional<double> loadOff);
};
