#include "run/ResultRows.h"

#include "model/NumberText.h"
#include "results/ResultLog.h"
#include "run/RunState.h"
#include "run/RunText.h"

namespace ResultRows {

void stamp(QStringList &cells, RunState &state, const QDateTime &now)
{
    state.SampleTimeText = RunText::dateTimeText(now);
    cells[ResultLog::No] = QString::number(state.RowCounter);
    cells[ResultLog::StepTime] = RunText::FormatElapsed(state.StepStartText, now);
    cells[ResultLog::TotalTime] = RunText::totalTimeText(now);
    cells[ResultLog::FunctionName] = state.CurrentFunction;
    state.RowCounter += 1;
}

QStringList sampleCells(const RunState &state, const std::array<bool, 5> &measure)
{
    QStringList cells(ResultLog::ColumnCount);
    cells[ResultLog::V] = measure[0] ? state.MeasuredVoltage : QString();
    cells[ResultLog::I] = measure[1] ? state.MeasuredCurrent : QString();
    cells[ResultLog::W] = measure[2] ? state.MeasuredPower : QString();
    cells[ResultLog::AH] = measure[3] ? NumberText::shortest(state.AhTotal) : QString();
    cells[ResultLog::WH] = measure[4] ? NumberText::shortest(state.WhTotal) : QString();
    return cells;
}

QStringList verdictCells(const Verdict &verdict)
{
    QStringList cells(ResultLog::ColumnCount);
    cells[ResultLog::V] = verdict.v;
    cells[ResultLog::I] = verdict.i;
    cells[ResultLog::W] = verdict.w;
    cells[ResultLog::AH] = verdict.ah;
    cells[ResultLog::WH] = verdict.wh;
    cells[ResultLog::Result] = verdict.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    return cells;
}

} // namespace ResultRows
