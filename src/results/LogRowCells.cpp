#include "results/LogRowCells.h"

#include "model/NumberText.h"
#include "results/ResultLog.h"
#include "results/RunText.h"

namespace LogRowCells {

namespace {

int columnOf(Verdict::Quantity quantity)
{
    switch (quantity) {
    case Verdict::Quantity::Volts:
        return ResultLog::V;
    case Verdict::Quantity::Amps:
        return ResultLog::I;
    case Verdict::Quantity::Watts:
        return ResultLog::W;
    case Verdict::Quantity::AmpHours:
        return ResultLog::AH;
    case Verdict::Quantity::WattHours:
        return ResultLog::WH;
    case Verdict::Quantity::Unknown:
        break;
    }
    return ResultLog::V;
}

} // namespace

QStringList cells(const LogRow &row, const std::array<bool, 5> &measure)
{
    QStringList cells(ResultLog::ColumnCount);
    cells[ResultLog::No] = QString::number(row.number);
    cells[ResultLog::StepTime] = RunText::stepTimeText(row.stepStarted, row.made);
    if (row.verdict) {
        cells[columnOf(row.verdict->quantity)] = row.verdict->value;
        cells[ResultLog::Result] = row.verdict->passText();
    } else {
        const Sample &sample = row.sample;
        if (measure[0])
            cells[ResultLog::V] = row.voltsText;
        if (measure[1])
            cells[ResultLog::I] = row.ampsText;
        if (measure[2])
            cells[ResultLog::W] = NumberText::shortest(sample.watts);
        if (measure[3])
            cells[ResultLog::AH] = NumberText::shortest(sample.ampHours);
        if (measure[4])
            cells[ResultLog::WH] = NumberText::shortest(sample.wattHours);
    }
    cells[ResultLog::TotalTime] = RunText::totalTimeText(row.made);
    cells[ResultLog::FunctionName] = row.function;
    return cells;
}

} // namespace LogRowCells
