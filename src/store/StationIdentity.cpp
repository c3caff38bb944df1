#include "store/StationIdentity.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <QUuid>

QString StationIdentity::of(const QString &folder)
{
    const QString path = QDir(folder).filePath(FileName);
    QFile kept(path);
    if (kept.open(QIODevice::ReadOnly)) {
        // Only the first line counts: a person may well have added a remark after it.
        const QString id = QString::fromUtf8(kept.readLine(64)).trimmed();
        if (!QUuid::fromString(id).isNull())
            return id;
    }
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSaveFile file(path);
    if (QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) && file.write(made.toUtf8() + '\n') > 0
        && file.commit())
        return made;
    // The same name space each time, so that the same bench keeps one id while its folder cannot
    // take the file.
    static const QUuid Stations = QUuid::fromString(QStringLiteral("{4f1c2b9e-7a35-4e0b-9a61-2f3d8c5e7b10}"));
    return QUuid::createUuidV5(Stations, QSysInfo::machineHostName() + u'\n' + QDir(folder).absolutePath())
        .toString(QUuid::WithoutBraces);
}
