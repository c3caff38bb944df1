#pragma once

#include "CommandArguments.h"
#include "store/RunArchive.h"

#include <QStringList>
#include <optional>

// The words that pick runs by their fields, as list and compare take them:
//   [--program TEXT] [--model TEXT] [--station TEXT] [--result RESULT] [--from DAY] [--to DAY]
namespace RunFilterWords {

// The options above, each with a value.
QStringList options();
// The filter the words give; nothing, with the reason in `error`, for a value that does not fit.
std::optional<RunArchive::Filter> filterOf(const CommandArguments &words, QString *error);

} // namespace RunFilterWords
