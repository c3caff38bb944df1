#pragma once

struct RunnerOptions;

// vornic-run --identify: connect and identify, then print the model, the rated current and the
// functions offered, as the window would show them; nothing on standard output when the load did
// not answer.
int runIdentify(const RunnerOptions &options);
