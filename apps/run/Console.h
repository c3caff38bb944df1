#pragma once

#include <QString>

#include <cstdio>

// Output of the headless runner.
namespace Console {

// A line that the stream cannot take (a closed terminal, a pipe whose reader went) is dropped:
// what the runner prints never decides how a run goes.
void printLine(FILE *stream, const QString &text);
bool isTerminal(FILE *stream);

} // namespace Console
