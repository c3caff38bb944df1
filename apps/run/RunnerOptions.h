#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The command line of vornic-run:
//   vornic-run [--settings FILE.INI] [--log FILE.CSV] [--summary FILE.json] PROGRAM.TSF
//   vornic-run [--settings FILE.INI] [--trace] --query TEXT
//   vornic-run [--settings FILE.INI] --identify
struct RunnerOptions
{
    enum class Mode { RunProgram, Query, Identify };

    Mode mode = Mode::RunProgram;
    // Empty: the settings file in the program's folder.
    QString settingsPath;
    QString logPath;
    // The run's summary as JSON, written when the run ends however it ends; empty: none.
    QString summaryPath;
    QString programPath;
    QString queryText;
    // Trace lines (commands, replies) to stderr.
    bool trace = false;

    // Nothing, with the reason in `error`, for a command line that does not fit.
    static std::optional<RunnerOptions> parse(const QStringList &arguments, QString *error);
    static QString usage();
};
