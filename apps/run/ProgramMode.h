#pragma once

struct RunnerOptions;

// vornic-run PROGRAM.TSF: identification, then the whole run, the CSV log written as the window
// writes it, and the summary when asked for. Exit 0 when no verdict failed, 1 with a FAIL verdict,
// 2 when it could not run, the load was lost or the summary could not be written, 130 when
// interrupted.
int runProgram(const RunnerOptions &options);
