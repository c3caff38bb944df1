#pragma once

#include "model/StepFields.h"

class TestProgram;

// BuildStepRow: writes one row of the step table from the editor's fields. Column 1 gets the
// function name, then the function's own columns; every other column keeps what it held.
// Nothing is written when a text would put a "," into a cell: the result then names the field.
// Returns an empty text on success.
QString BuildStepRow(TestProgram &program, int row, const StepFields &fields);

// The packed cells a function writes from its sub-step table, by column.
QHash<int, QString> packedCells(const StepFields &fields, int functionIndex);
