#pragma once

#include "editor/SubStepTable.h"

#include <QList>
#include <QString>

class TestProgram;

// What loading a step row back into the editor writes, worked out before anything is touched, so
// that a row which does not fit leaves the editor exactly as it was.
namespace StepLoadBack {

struct FieldText
{
    QString field;
    QString text;
};

struct TableCell
{
    int row;
    int column;
    QString text;
};

struct Plan
{
    QString function;
    // Field texts in the order they are written (a field named twice ends with the later text).
    QList<FieldText> texts;
    // Load-mode fields and the option to select (0..3); a mode cell of another text selects nothing.
    QList<std::pair<QString, int>> modes;
    SubStepTable::Kind tableKind = SubStepTable::Kind::Ramp;
    bool hasTable = false;
    QList<TableCell> tableCells;
    // RAMP and Sequence Load: the sub-step columns the table needs to show the list.
    int tableColumnsNeeded = 0;
    // Why the row cannot be loaded; empty when it can.
    QString error;
};

// The plan for grid row `row`; function names outside the catalogue give a plan with no fields.
Plan plan(const TestProgram &program, int row);

} // namespace StepLoadBack
