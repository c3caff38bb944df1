#include "model/WholeFile.h"

#include <QIODevice>

namespace WholeFile {

std::optional<QString> replace(const QString &path, const QByteArray &bytes, OutputFile::Dash dash)
{
    OutputFile file(path, dash);
    if (!file.open())
        return file.errorString();
    if (file.device().write(bytes) != bytes.size()) {
        const QString reason = file.device().errorString();
        file.cancel();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace WholeFile
