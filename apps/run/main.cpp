#include "Console.h"
#include "IdentifyMode.h"
#include "ProgramMode.h"
#include "QueryMode.h"
#include "RunnerOptions.h"
#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Output into a pipe whose reader has gone ("| head", a dropped ssh session) must not end the
    // program with the load on: such writes fail with EPIPE, and nothing waits on their result.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    // Only in first place: "--query --help" sends the text.
    if (arguments.value(1) == u"--help" || arguments.value(1) == u"-h") {
        std::fputs(qPrintable(RunnerOptions::usage()), stdout);
        return 0;
    }
    if (arguments.value(1) == u"--version") {
        std::fputs("vornic-run " VORNIC_VERSION "\n", stdout);
        return 0;
    }
    QString error;
    const std::optional<RunnerOptions> options = RunnerOptions::parse(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "vornic-run: %s\n%s", qPrintable(error), qPrintable(RunnerOptions::usage()));
        return 2;
    }
    // The folder is chosen, and an earlier version's folder taken over, before any mode reads it.
    ProgramFolder::path();
    if (const QString moved = ProgramFolder::movedNote(); !moved.isEmpty())
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + moved);
    switch (options->mode) {
    case RunnerOptions::Mode::Query:
        return runQuery(*options);
    case RunnerOptions::Mode::Identify:
        return runIdentify(*options);
    case RunnerOptions::Mode::RunProgram:
        // While the program runs, its interrupt watcher takes these and ends the run as told; it
        // leaves them ignored once the outcome is decided, so that a Ctrl+C or a SIGTERM while
        // the process winds down does not turn a finished run's exit code into a death by signal.
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGTERM, SIG_IGN);
        return runProgram(*options);
    }
    return 2;
}
