#pragma once

#include "model/OutputFile.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Writing a file's whole content at once.
namespace WholeFile {

// Writes `bytes` to `path` as OutputFile does: a regular file is written beside it and renamed
// over it, anything else (a FIFO, /dev/null) is written as it is. Every write is checked, the one
// that empties the buffer at the end included: on a full disk the old file stays whole. The reason
// when it could not be done.
std::optional<QString> replace(
    const QString &path, const QByteArray &bytes, OutputFile::Dash dash = OutputFile::Dash::FileName);

} // namespace WholeFile
