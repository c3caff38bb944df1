#pragma once

#include <QString>

// What vornic-runs says: results on standard output, failures on standard error as
// "vornic-runs: ...", each with the exit status it ends with.
namespace RunsConsole {

constexpr int Done = 0;
constexpr int Failed = 1;
constexpr int UsageError = 2;

void print(const QString &text);
// Something the user should know, on standard error as "vornic-runs: ...".
void note(const QString &text);
// The reason on standard error; Failed.
int fail(const QString &reason);
// The reason and a pointer to --help on standard error; UsageError.
int misuse(const QString &reason);

} // namespace RunsConsole
