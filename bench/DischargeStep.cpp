#include "DischargeStep.h"

#include "model/StepColumns.h"
#include "model/TestProgram.h"

namespace DischargeStep {

void fill(TestProgram &program, double seconds)
{
    program.SetupStepGrid();
    program.setGridRowCount(3);
    const QStringList cells{"1", "Discharge", "CC", "1", "0", QString::number(seconds, 'f', 2), "0"};
    for (int column = 0; column < cells.size(); ++column)
        program.setCell(1, column, cells.at(column));
    program.setCell(1, StepColumns::IStop, QStringLiteral("0"));
    program.setCell(1, StepColumns::StableTime, QStringLiteral("0"));
}

} // namespace DischargeStep
