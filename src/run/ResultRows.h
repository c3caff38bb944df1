#pragma once

#include <QDateTime>
#include <QStringList>
#include <array>

struct RunState;

// The cells of the result rows. Every row gets its own number when it is made.
namespace ResultRows {

// AppendResultRow: the ordinary row of a sample, with the measure items of the run.
QStringList sampleCells(const RunState &state, const std::array<bool, 5> &measure);

struct Verdict
{
    QString v, i, w, ah, wh;
    bool pass = false;
};
// A PASS or FAIL row of a load-run test.
QStringList verdictCells(const Verdict &verdict);

// Numbers and time-stamps a row (No., StepTime, TotalTime, Function Name) and advances RowCounter.
void stamp(QStringList &cells, RunState &state, const QDateTime &now);

} // namespace ResultRows
