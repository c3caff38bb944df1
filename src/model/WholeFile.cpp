#include "model/WholeFile.h"

#include <QSaveFile>

namespace WholeFile {

std::optional<QString> replace(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // QSaveFile commits a file whose buffered bytes could not all be written, so the buffer is
    // emptied and checked before the rename.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace WholeFile
