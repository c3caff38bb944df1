#include "run/PassTiming.h"

#include <cmath>

PassTiming::Output PassTiming::next(const Input &in)
{
    Output out;
    const double elapsed = in.secondsNow - in.secondsAtSample;
    const qint64 period = std::max<qint64>(1, qint64(std::llround(in.samplingMs)));
    if (in.secondsNow < in.secondsAtSample) {
        // The clock passed midnight during the pass: its cost is unknown, so the step time is
        // not counted down.
        out.intervalMs = OverrunIntervalMs;
        out.countDown = false;
    } else if (in.shortStepTimeRule && elapsed >= in.stepTimeLeft.toDouble()) {
        out.intervalMs = OverrunIntervalMs;
    } else {
        m_planned += period;
        const qint64 wait = m_planned - in.tickNow;
        if (wait < 1) {
            out.intervalMs = OverrunIntervalMs;
        } else {
            out.intervalMs = int(std::min<qint64>(wait, 600000));
            return out;
        }
    }
    m_planned = in.tickNow + out.intervalMs;
    return out;
}
