#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString ProgramFolder::path() { return choose(QCoreApplication::applicationDirPath()); }

QString ProgramFolder::choose(const QString &executableFolder)
{
    const QFileInfo folder(executableFolder);
    // An installed program (its shared files in ../share/vornic) keeps the user's files in the
    // user's data folder, even for root, who could write beside it in /usr/bin.
    const bool installed = QFileInfo::exists(folder.absoluteFilePath() + QStringLiteral("/../share/vornic"));
    if (!executableFolder.isEmpty() && folder.isDir() && folder.isWritable() && !installed)
        return QDir::cleanPath(folder.absoluteFilePath());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}
