#pragma once

#include "model/StepFields.h"

class TestProgram;

// BuildStepRow: writes one row of the step table from the editor's fields. Column 1 gets the
// function name, then the function's own columns; every other column keeps what it held.
// Nothing is written when a text would put a "," into a cell: the result then names the field.
// Returns an empty text on success.
QString BuildStepRow(TestProgram &program, int row, const StepFields &fields);

// The fields whose text would put a "," into a cell, by field name ("Function" for the function
// name, the column's header for a packed sub-step list); none when the row can be built.
QStringList refusedFields(const StepFields &fields);

// The cells `row` (by column) would hold once built from the editor's fields, with the number
// fields as typed rather than as the numbers they are written as: what the step judge weighs
// before the row is built.
QStringList typedRowCells(const QStringList &row, const StepFields &fields);

// The packed cells a function writes from its sub-step table, by column.
QHash<int, QString> packedCells(const StepFields &fields, int functionIndex);
