#pragma once

struct RunContext;

// While the load runs a test of its own (OCP, OPP, Short, the battery tests, Sequence Load), every
// pass asks whether it is still going; once it has ended, the pass fetches the result, writes the
// verdict row and moves on to the next step.
namespace LoadTestSupervisor {

enum class Outcome {
    Done,
    // A Stop was served while the supervision waited.
    Aborted,
    // A verdict row could not be written to the log file.
    LogFailed,
};

Outcome supervise(RunContext &context, int *failVerdicts);

} // namespace LoadTestSupervisor
