#pragma once

#include "model/Fixed4.h"

#include <QtGlobal>

// When the next pass is due. Samples are planned one sampling interval after the previous plan on
// the monotonic tick, so the period does not drift with the cost of each pass; an overrun restarts
// the plan, and so does the start of a step. A step that ended by a stop or a verdict is followed
// at the regular interval, as after any sample.
class PassTiming
{
public:
    static constexpr int OverrunIntervalMs = 10;

    struct Input
    {
        qint64 tickNow = 0; // monotonic ms at the end of the pass
        double secondsAtSample = 0; // seconds since midnight when the sample began
        double secondsNow = 0; // and now
        double samplingMs = 1000; // the sampling interval as the operator sees it now
        Fixed4 stepTimeLeft; // TStop before the countdown
        bool shortStepTimeRule = true; // 10 ms once the pass costs the step time left
    };
    struct Output
    {
        int intervalMs = 0;
        bool countDown = true; // take one sampling interval off the step time
    };

    // The first sample of a run, or of a step, is the start of a new plan.
    void restartPlan(qint64 tick) { m_planned = tick; }
    Output next(const Input &in);

private:
    qint64 m_planned = 0;
};
