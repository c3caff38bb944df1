#pragma once

#include <QString>

struct RunContext;

// Rows of the result log and their lines in the log file. Every row gets its own number, and
// every row reaches the log file exactly once, when it is made, in the order made.
namespace ResultRows {

// AppendResultRow: the ordinary row of a sample, with the measure items of the run.
bool AppendResultRow(RunContext &context);

struct Verdict
{
    QString v, i, w, ah, wh;
    bool pass = false;
};
// A PASS or FAIL row of a load-run test.
bool appendVerdictRow(RunContext &context, const Verdict &verdict);

} // namespace ResultRows
