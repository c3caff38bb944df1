#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString g_movedNote;

// Earlier versions kept the user's files in a folder named after each program; the window's first,
// as the one whose settings the operator made in its dialogs.
const char *const FormerNames[] = {"vornic-dcload", "vornic-run"};

bool holdsUserFiles(const QString &folder)
{
    const QDir dir(folder);
    return dir.exists(QStringLiteral("VORN.INI")) || dir.exists(ProgramFolder::StoreFileName);
}

// Where the shared folder is not there yet, the first earlier folder that holds settings or runs
// becomes it, by a rename: nothing is copied, so a store open in a program still running stays
// whole, and nothing is merged or left behind half. Any other earlier folder stays as it is, named
// in the note, for its runs to be read with --settings.
void adoptFormerFolder(const QString &dataHome, const QString &shared)
{
    if (QFileInfo::exists(shared))
        return;
    QString moved;
    QStringList left;
    for (const char *name : FormerNames) {
        const QString former = dataHome + u'/' + QLatin1String(name);
        if (!holdsUserFiles(former))
            continue;
        if (moved.isEmpty() && QDir().rename(former, shared))
            moved = former;
        else
            left.append(former);
    }
    if (moved.isEmpty())
        return;
    g_movedNote = QStringLiteral("the settings and runs of %1 are now in %2, the folder all Vornic programs share")
                      .arg(QDir::toNativeSeparators(moved), QDir::toNativeSeparators(shared));
    for (const QString &other : left)
        g_movedNote
            += QStringLiteral("; %1 stays where it is (vornic-runs --settings %2 reads its runs)")
                   .arg(QDir::toNativeSeparators(other), QDir::toNativeSeparators(other + QStringLiteral("/VORN.INI")));
}

} // namespace

QString ProgramFolder::path() { return choose(QCoreApplication::applicationDirPath()); }

QString ProgramFolder::choose(const QString &executableFolder)
{
    const QFileInfo folder(executableFolder);
    // An installed program (its shared files in ../share/vornic) keeps the user's files in the
    // user's data folder, even for root, who could write beside it in /usr/bin.
    const bool installed = QFileInfo::exists(folder.absoluteFilePath() + QStringLiteral("/../share/vornic"));
    if (!executableFolder.isEmpty() && folder.isDir() && folder.isWritable() && !installed)
        return QDir::cleanPath(folder.absoluteFilePath());
    // Not the program's own data folder, which is named after each program: the three share one.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString shared = dataHome + QStringLiteral("/vornic");
    adoptFormerFolder(dataHome, shared);
    QDir().mkpath(shared);
    return shared;
}

QString ProgramFolder::movedNote() { return g_movedNote; }
