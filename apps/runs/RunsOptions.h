#pragma once

#include "store/RunArchive.h"

#include <QString>
#include <QStringList>
#include <optional>

// vornic-runs' command line up to the command, and the store it names:
//   vornic-runs [--settings VORN.INI] [--store FILE.sqlite | --server] COMMAND ARGUMENTS...
struct RunsOptions
{
    // VORN.INI in the folder the window and vornic-run keep it in (ProgramFolder) unless given.
    QString settingsPath;
    // runs.sqlite beside the settings file unless given.
    QString storePath;
    // The lab's server from the settings' [Store] section instead of a file.
    bool server = false;
    // --store was given.
    bool storeGiven = false;
    bool help = false;
    bool version = false;
    QString command;
    QStringList arguments;

    // Nothing, with the reason in `error`, for a command line that does not fit.
    static std::optional<RunsOptions> parse(const QStringList &arguments, QString *error);
    static QString usage();
    // The settings file and the store the command line left out, in their folders; once the
    // application is there, as the program's folder depends on it.
    void settle();

    // The store these options name, opened; nothing, with the reason in `error`, if it cannot be.
    std::optional<RunArchive> openArchive(QString *error) const;
    // That store, and the run `uuidOrPrefix` names in it; false, with the reason in `error`, when
    // either cannot be had.
    bool openRun(const QString &uuidOrPrefix, std::optional<RunArchive> &archive, std::optional<StoredRun> &run,
        QString *error) const;
};
