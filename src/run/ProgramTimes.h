#pragma once

#include <optional>

class TestProgram;

// How long the rest of a program runs, where its steps' times say so: a step that ends on its
// time alone runs its time stop, one that may end on a reading, a capacity, the load's own test
// or a loop's count runs for a time nobody knows beforehand.
namespace ProgramTimes {

// The time stop of the step on `row` when the step ends on that time alone; none otherwise.
std::optional<double> stepSeconds(const TestProgram &program, int row);
// The steps after `row` together, to the program's last step or its first empty row; none when
// any of them has no known time.
std::optional<double> secondsAfter(const TestProgram &program, int row);

} // namespace ProgramTimes
