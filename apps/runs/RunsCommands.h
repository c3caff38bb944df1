#pragma once

struct RunsOptions;

// vornic-runs' commands, each reading its own words from `options.arguments` and returning the
// program's exit status (see RunsConsole).
namespace RunsCommands {

int list(const RunsOptions &options);
int show(const RunsOptions &options);
int exportRun(const RunsOptions &options);
int report(const RunsOptions &options);
int forward(const RunsOptions &options);
// A run's CSV log into the bench's store: completing the run that wrote it, or a run of its own.
int importLog(const RunsOptions &options);
int compare(const RunsOptions &options);
// The lab's stations now; with --watch, again every WatchIntervalMs until SIGINT or SIGTERM.
int lab(const RunsOptions &options);
constexpr int WatchIntervalMs = 2000;

} // namespace RunsCommands
