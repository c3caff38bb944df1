#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "store/KeptStationState.h"
#include "store/RunArchive.h"
#include "store/RunStore.h"
#include "store/ServerMirror.h"
#include "store/StationIdentity.h"

#include <QFileInfo>

// Sends what the lab's server lacks of this bench's runs now, rather than with the next run: after
// the server was down, or for runs stored before it was named. Runs the server refused before are
// offered now too. So is the station's state, when the server may lack it: the finished state the
// bench's last run kept, or idle for a bench that kept none; never a run in progress, as the
// process that ran it may be long gone.
int RunsCommands::forward(const RunsOptions &options)
{
    if (!options.arguments.isEmpty())
        return RunsConsole::misuse(QStringLiteral("forward takes no arguments"));
    if (options.server)
        return RunsConsole::misuse(QStringLiteral("forward sends a bench's store to the server: leave out --server"));
    QString problem;
    const StoreServer lab = StoreServer::fromIni(options.settingsPath, &problem);
    if (!problem.isEmpty() && !lab.isSet())
        return RunsConsole::fail(problem);
    // A fault that leaves the server usable (the station's name) is said and forwarding goes on.
    if (!problem.isEmpty())
        RunsConsole::note(problem);
    if (!lab.isSet())
        return RunsConsole::fail(
            QStringLiteral("%1 names no server: its [Store] section has no Host").arg(options.settingsPath));
    if (QFileInfo::exists(options.storePath)) {
        // A store of an earlier version gets the record of what the server refused.
        RunArchive store = RunArchive::local(options.storePath);
        QString error;
        if (!store.open(&error))
            return RunsConsole::fail(error);
    }
    ServerMirror mirror(options.storePath, lab);
    KeptStationState kept(options.storePath);
    bool keptSent = false;
    const std::optional<StationState> finished = kept.read(&keptSent);
    // A state the server refuses holds no run back: the runs go, then the refusal is said.
    QString stateError;
    if (!keptSent) {
        StationStateHolder state(RunStore::stationName(options.settingsPath),
            StationIdentity::of(QFileInfo(options.storePath).absolutePath()));
        if (finished)
            state.restoreFinished(*finished);
        if (mirror.sendStationState(state.snapshot(), &stateError) && finished)
            kept.markSent(*finished);
    }
    mirror.setOfferRefusedNow(true);
    const ServerMirror::Outcome outcome = mirror.forwardAll();
    if (!outcome.error.isEmpty())
        return RunsConsole::fail(outcome.error);
    RunsConsole::print(QStringLiteral("%1 run(s) brought up to date on %2 (%3 samples)")
                           .arg(outcome.runsTouched)
                           .arg(lab.describe())
                           .arg(outcome.samplesSent));
    if (outcome.refused.isEmpty()) {
        RunsConsole::print(QStringLiteral("; the server holds every run of %1\n").arg(options.storePath));
        return stateError.isEmpty() ? RunsConsole::Done : RunsConsole::fail(stateError);
    }
    RunsConsole::print(QStringLiteral("\n"));
    for (const ServerMirror::Refusal &refused : outcome.refused)
        RunsConsole::fail(QStringLiteral("the server refused run %1: %2").arg(refused.uuid, refused.reason));
    if (!stateError.isEmpty())
        RunsConsole::fail(stateError);
    return RunsConsole::fail(QStringLiteral("%1 run(s) refused; they stay on this bench and are offered again later")
                                 .arg(outcome.refused.size()));
}
