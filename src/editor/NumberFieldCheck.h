#pragma once

#include "model/StepFields.h"

#include <QStringList>
#include <optional>

// The step table keeps a number field as the number its text starts with, so a text that is no
// number, or a number the field or the load cannot take, would reach the test as another value
// without a word. These checks catch that before a step is written. Only the fields the chosen
// function writes as numbers are judged; fields written as typed are left as they are.
namespace NumberFieldCheck {

// Why each number field of the chosen function cannot be written, one line per field, naming the
// field by its caption; none when all can. `ratedCurrent` is the identified load's rating in
// amperes; without one, only what each field itself allows is checked.
QStringList refusals(const StepFields &fields, std::optional<double> ratedCurrent);

} // namespace NumberFieldCheck
