#pragma once

struct RunnerOptions;

// Identification as the window does it, printed as three lines: "Model: ", "Rated current: " and
// "Functions: ". Exit code 0 when the load answered, 2 when it did not ("ErrRec").
int runIdentify(const RunnerOptions &options);
