#pragma once

struct RunContext;

// One sample of voltage and current per pass, the power and the Ah/Wh totals derived from it,
// and the three measured stop conditions.
namespace Sampler {

enum class Outcome {
    Sampled,
    // No reply at all, retries included: the load has stopped answering.
    LoadSilent,
    // A Stop was served while the sample waited.
    Aborted,
};

Outcome takeSample(RunContext &context);
// Voltage below VStop, current below IStop, capacity at or above AhStop: each ends the step
// and adds a row; only the first end of a step counts. False when a row could not be logged.
bool applyStops(RunContext &context);

} // namespace Sampler
