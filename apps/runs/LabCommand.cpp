#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "StationTable.h"
#include "run/InterruptWatcher.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// The stations as the server has them now: the table, or why they cannot be read.
bool printStations(const RunsOptions &options, std::optional<RunArchive> &archive, QString *error)
{
    error->clear();
    if (!archive) {
        std::optional<RunArchive> opened = options.openArchive(error);
        if (!opened)
            return false;
        archive.emplace(std::move(*opened));
    }
    const std::optional<QList<StationState>> stations = archive->stations(error);
    if (!stations) {
        *error = QStringLiteral("%1: %2").arg(archive->describe(), *error);
        // A connection that failed is made afresh at the next reading.
        archive.reset();
        return false;
    }
    RunsConsole::print(StationTable::text(*stations));
    return true;
}

} // namespace

// Every station of the lab as its server last heard of it, once or every round until told to stop.
int RunsCommands::lab(const RunsOptions &options)
{
    const CommandArguments words(options.arguments, {}, {QStringLiteral("--watch")});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (!words.positional().isEmpty())
        return RunsConsole::misuse(QStringLiteral("lab takes no \"%1\"").arg(words.positional().first()));
    if (options.storeGiven)
        return RunsConsole::misuse(QStringLiteral("lab reads the lab's server: leave out --store"));
    RunsOptions onServer = options;
    onServer.server = true;
    std::optional<RunArchive> archive;
    QString error;
    if (!words.has(QStringLiteral("--watch")))
        return printStations(onServer, archive, &error) ? RunsConsole::Done : RunsConsole::fail(error);
    // A server that cannot be read now is said on the screen, and read again at the next round.
    const auto refresh = [&] {
        RunsConsole::print(QStringLiteral("\x1b[H\x1b[2J"));
        if (!printStations(onServer, archive, &error))
            RunsConsole::print(QStringLiteral("vornic-runs: %1\n").arg(error));
    };
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, qApp, [] { QCoreApplication::exit(0); });
    QTimer rounds;
    QObject::connect(&rounds, &QTimer::timeout, refresh);
    rounds.start(WatchIntervalMs);
    refresh();
    QCoreApplication::exec();
    return RunsConsole::Done;
}
