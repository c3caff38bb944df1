#pragma once

#include "model/LoadRatings.h"
#include "model/StepFields.h"

#include <QString>

class TestProgram;

// The editor's six operations on the step table, apart from any widget. Rows are grid rows
// (1..StepCount the steps). An operation whose row is out of its range does nothing. A step with no
// function chosen, that the step judge refuses (a number field that holds no number, or one its
// field, the fields it goes with or the load cannot take), or whose fields would put a "," into a
// cell, is refused whole: the table stays as it was and the outcome says why, naming the step and
// the fields by their captions. `ratings` are the identified load's, none while no load is known.
namespace StepTableEdit {

inline constexpr auto NoFunctionMessage = "Choose a function first.";

struct Outcome
{
    bool acted = false;
    // Why the step was refused; empty otherwise.
    QString refusal;
    // The row the grid's cursor moves to afterwards; -1 leaves it where it is.
    int currentRow = -1;
};

Outcome add(TestProgram &program, const StepFields &fields, const LoadRatings &ratings = {});
Outcome insert(TestProgram &program, int row, const StepFields &fields, const LoadRatings &ratings = {});
Outcome modify(TestProgram &program, int row, const StepFields &fields, const LoadRatings &ratings = {});
Outcome remove(TestProgram &program, int row);
Outcome moveUp(TestProgram &program, int row);
Outcome moveDown(TestProgram &program, int row);

} // namespace StepTableEdit
