#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "settings/IniFile.h"
#include "store/RunImport.h"
#include "store/RunStore.h"

#include <QDir>

// Puts a run's CSV log into this bench's store: it completes the stored run that wrote it (whose
// store could not take every sample), or becomes a run of its own. The run then goes to the lab's
// server like any other.
int RunsCommands::importLog(const RunsOptions &options)
{
    const CommandArguments words(options.arguments, {QStringLiteral("--program")});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (words.positional().size() != 1)
        return RunsConsole::misuse(QStringLiteral("import takes one log file"));
    if (options.server)
        return RunsConsole::misuse(
            QStringLiteral("import puts a log into a bench's store, which forwards it: leave out --server"));
    RunImport::Source source;
    source.logPath = words.positional().first();
    source.programPath = words.value(QStringLiteral("--program"));
    source.station = RunStore::stationName(options.settingsPath);
    // Each line's separator is found from the line itself; the settings' is the one tried besides.
    const QString separator = IniFile::ReadIniString(
        options.settingsPath, QStringLiteral("System"), QStringLiteral("Separate"), QStringLiteral(","));
    QString error;
    std::optional<RunLogReader::Log> log = RunLogReader::read(source.logPath, separator, &error);
    if (!log)
        return RunsConsole::fail(error);
    source.log = std::move(*log);
    if (source.log.lastLineCut)
        RunsConsole::note(QStringLiteral("%1:%2: the last line has no line end (the row being written when the run "
                                         "stopped): it is left out")
                              .arg(source.logPath)
                              .arg(source.log.rows.size() + 2));
    const std::optional<RunImport::Outcome> outcome = RunImport::into(options.storePath, source, &error);
    if (!outcome)
        return RunsConsole::fail(error);
    const QString store = QDir::toNativeSeparators(options.storePath);
    switch (outcome->kind) {
    case RunImport::Kind::Created:
        RunsConsole::print(QStringLiteral("run %1 made from %2 in %3: %4 samples\n")
                               .arg(outcome->uuid, source.logPath, store)
                               .arg(outcome->samples));
        break;
    case RunImport::Kind::Completed:
        RunsConsole::print(QStringLiteral("run %1 in %2 completed from %3: %4 samples added, %5 in all\n")
                               .arg(outcome->uuid, store, source.logPath)
                               .arg(outcome->samplesAdded)
                               .arg(outcome->samples));
        break;
    case RunImport::Kind::AlreadyStored:
        RunsConsole::print(
            QStringLiteral("run %1 in %2 holds every row of %3 already\n").arg(outcome->uuid, store, source.logPath));
        break;
    }
    return RunsConsole::Done;
}
