#pragma once

#include <QString>

#include <cstdio>

// Output of the headless runner.
namespace Console {

void printLine(FILE *stream, const QString &text);
bool isTerminal(FILE *stream);

} // namespace Console
