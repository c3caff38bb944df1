#include "results/LogExport.h"

#include "model/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace LogExport {

QString proposedPath(const QString &folder, const QDateTime &now)
{
    return QDir(folder).filePath(now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".CSV"));
}

QString copyLog(const QString &logPath, const QString &targetPath)
{
    QFile source(logPath);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(logPath, source.errorString());
    const QByteArray bytes = source.readAll();
    if (const std::optional<QString> failed = WholeFile::replace(targetPath, bytes))
        return QStringLiteral("%1: %2").arg(targetPath, *failed);
    return {};
}

QString summaryPathFor(const QString &csvTarget)
{
    const QString suffix = QFileInfo(csvTarget).suffix();
    if (suffix.compare(QLatin1String("json"), Qt::CaseInsensitive) == 0)
        return csvTarget + QStringLiteral(".json");
    // Cut as text: the folder stays as the operator gave it.
    return (suffix.isEmpty() ? csvTarget : csvTarget.chopped(suffix.size() + 1)) + QStringLiteral(".json");
}

} // namespace LogExport
