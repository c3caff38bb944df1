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
int compare(const RunsOptions &options);

} // namespace RunsCommands
