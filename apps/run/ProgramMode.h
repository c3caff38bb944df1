#pragma once

struct RunnerOptions;

// vornic-run PROGRAM.TSF: identification, then the whole run, the CSV log written as the window
// writes it. Exit 0 when no verdict failed, 1 with a FAIL verdict, 2 when it could not run or the
// load was lost, 130 when interrupted.
int runProgram(const RunnerOptions &options);
