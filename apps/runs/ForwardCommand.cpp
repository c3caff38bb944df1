#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "store/ServerMirror.h"

// Sends what the lab's server lacks of this bench's runs now, rather than with the next run: after
// the server was down, or for runs stored before it was named.
int RunsCommands::forward(const RunsOptions &options)
{
    if (!options.arguments.isEmpty())
        return RunsConsole::misuse(QStringLiteral("forward takes no arguments"));
    if (options.server)
        return RunsConsole::misuse(QStringLiteral("forward sends a bench's store to the server: leave out --server"));
    QString problem;
    const StoreServer lab = StoreServer::fromIni(options.settingsPath, &problem);
    if (!problem.isEmpty())
        return RunsConsole::fail(problem);
    if (!lab.isSet())
        return RunsConsole::fail(
            QStringLiteral("%1 names no server: its [Store] section has no Host").arg(options.settingsPath));
    ServerMirror mirror(options.storePath, lab);
    const ServerMirror::Outcome outcome = mirror.forwardAll();
    if (!outcome.error.isEmpty())
        return RunsConsole::fail(outcome.error);
    RunsConsole::print(QStringLiteral("%1 run(s) brought up to date on %2 (%3 samples); the server holds every run "
                                      "of %4\n")
                           .arg(outcome.runsTouched)
                           .arg(lab.describe())
                           .arg(outcome.samplesSent)
                           .arg(options.storePath));
    return RunsConsole::Done;
}
