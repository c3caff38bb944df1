#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Replacing a file with new content, all or nothing.
namespace WholeFile {

// Writes `bytes` to a new file beside `path` and renames it over `path`. Every write is checked,
// the one that empties the buffer at the end included: on a full disk the old file stays whole.
// The reason when it could not be done.
std::optional<QString> replace(const QString &path, const QByteArray &bytes);

} // namespace WholeFile
