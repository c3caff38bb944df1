#include "ProgramMode.h"

#include "Console.h"
#include "RunnerOptions.h"
#include "link/SystemClock.h"
#include "model/TestStepFile.h"
#include "run/InterruptWatcher.h"
#include "station/Engine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

namespace {

// Progress on stderr: a line rewritten in place on a terminal, one line per step otherwise.
class Progress
{
public:
    explicit Progress(Engine &engine) : m_engine(engine), m_terminal(Console::isTerminal(stderr)) { }

    void stepStarted(int row, const QString &function)
    {
        endLine();
        if (!m_terminal)
            Console::printLine(stderr, QStringLiteral("step %1: %2").arg(row).arg(function));
    }
    void rowMade()
    {
        if (!m_terminal)
            return;
        const RunRecord &run = m_engine.recorder().record();
        const StepRecord *step = run.runningStep();
        if (!step)
            return;
        std::fprintf(stderr, "\r\033[Kstep %d: %s, %s s left, %.4f V, %.4f A, run %.6f Ah", step->row,
            qPrintable(step->function), qPrintable(run.stepTimeLeft ? run.stepTimeLeft->toText() : QStringLiteral("-")),
            run.last.volts, run.last.amps, run.totals.ampHours);
        std::fflush(stderr);
        m_open = true;
    }
    void message(const QString &text)
    {
        // A link that stays lost repeats its message at every line sent; once is enough.
        if (text == m_lastMessage)
            return;
        m_lastMessage = text;
        endLine();
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + text);
    }
    void endLine()
    {
        if (m_open)
            std::fputc('\n', stderr);
        m_open = false;
    }

private:
    Engine &m_engine;
    bool m_terminal;
    bool m_open = false;
    QString m_lastMessage;
};

// The run is over, but the load could not be confirmed off: it may still sink current.
constexpr int LoadMayBeOnExit = 3;

int exitCodeFor(RunResult result)
{
    switch (result) {
    case RunResult::Pass:
        return 0;
    case RunResult::Fail:
        return 1;
    case RunResult::Stopped:
        return 130;
    case RunResult::Lost:
    case RunResult::Error:
        break;
    }
    return 2;
}

} // namespace

int runProgram(const RunnerOptions &options)
{
    // Before the engine, so that it outlives the engine's end: a signal while the forwarding
    // thread is stopped is taken as told, not as the end of the program by the signal.
    InterruptWatcher interrupts;
    Engine engine(SystemClock::instance(), options.settingsPath);
    engine.loadSettings();
    for (const QString &problem : engine.settingsProblems() + engine.ratingTableProblems())
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + problem);
    if (!QFileInfo(options.programPath).isFile()) {
        Console::printLine(stderr, QStringLiteral("vornic-run: %1: no such test step file").arg(options.programPath));
        return 2;
    }
    const TestStepFile::Result loaded = TestStepFile::LoadTestFile(engine.program(), options.programPath);
    if (!loaded.ok) {
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + loaded.message);
        return 2;
    }
    if (!loaded.message.isEmpty())
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + loaded.message);
    if (!options.logPath.isEmpty())
        engine.setLogFilePath(options.logPath);

    Progress progress(engine);
    RunController &run = engine.run();
    for (TransportLink *link : {&engine.loadLink(), &engine.generatorLink()})
        QObject::connect(link, &TransportLink::message, [&](const QString &text) { progress.message(text); });
    QObject::connect(&run, &RunController::message, [&](const QString &text) { progress.message(text); });
    const RunRecorder &recorder = engine.recorder();
    QObject::connect(&recorder, &RunRecorder::stepStarted,
        [&](const StepRecord &step) { progress.stepStarted(step.row, step.function); });
    QObject::connect(&recorder, &RunRecorder::rowAdded, [&] { progress.rowMade(); });
    QObject::connect(&run.events(), &RunEvents::loadSilent, [&](int step) {
        progress.message(
            QStringLiteral("step %1: no reply from the load; its link is being made again (lost after 10 s)")
                .arg(step));
    });
    QObject::connect(&run.events(), &RunEvents::replyGap, [&](int step, double from, double to) {
        progress.message(QStringLiteral("step %1: no reply from the load from %2 s to %3 s of the run; it answers "
                                        "again over a reopened link")
                             .arg(step)
                             .arg(from, 0, 'f', 1)
                             .arg(to, 0, 'f', 1));
    });
    QObject::connect(&run.events(), &RunEvents::loadTestRestarted, [&](int step, const QString &function, double at) {
        progress.message(QStringLiteral("step %1: the load's %2 test was started again at %3 s of the run, over a "
                                        "reopened link: the first start may not have reached it")
                             .arg(QString::number(step), function, QString::number(at, 'f', 1)));
    });
    QObject::connect(&run, &RunController::testFinished, [&] { progress.message(QStringLiteral("Test Finished")); });
    if (options.trace)
        QObject::connect(&engine.trace(), &TraceList::rowsInserted, [&](const QModelIndex &, int, int last) {
            progress.endLine();
            Console::printLine(stderr, engine.trace().lines().at(last));
        });

    int exitCode = 2;
    OffKeeper &offKeeper = run.offKeeper();
    QObject::connect(&recorder, &RunRecorder::runEnded, [&](const RunRecord &record) {
        exitCode = exitCodeFor(*record.result);
        // The program stays while the load may still be on, and tries again.
        if (!record.loadOff.unconfirmed())
            QCoreApplication::exit(exitCode);
    });
    QObject::connect(&offKeeper, &OffKeeper::tried, [&](const QString &why, int nextInMs) {
        const LoadOff &off = offKeeper.loadOff();
        progress.message(QStringLiteral("the load at %1 may still be on (%2 s since the run's end): %3; trying again "
                                        "in %4 s (a signal ends the tries)")
                             .arg(off.address)
                             .arg(off.since.secsTo(QDateTime::currentDateTime()))
                             .arg(why)
                             .arg(nextInMs / 1000.0, 0, 'f', 1));
    });
    QObject::connect(&offKeeper, &OffKeeper::ended, [&](bool confirmed) {
        const LoadOff &off = offKeeper.loadOff();
        if (confirmed) {
            progress.message(QStringLiteral("the load at %1 is confirmed off (%2 A), %3 s after the run's end")
                                 .arg(off.address, QString::number(off.amps.value_or(0), 'f', 3))
                                 .arg(off.since.msecsTo(off.confirmedAt) / 1000.0, 0, 'f', 1));
        } else {
            progress.message(QStringLiteral("THE LOAD AT %1 MAY STILL BE ON: it could not be told to switch off. "
                                            "Switch it off by hand.")
                                 .arg(off.address));
            exitCode = LoadMayBeOnExit;
        }
        QCoreApplication::exit(exitCode);
    });
    bool runOver = false;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [&](int signal) {
        if (runOver) {
            // The load is off already: only the wait for the lab server is left, and the run is
            // safe in the bench's store.
            progress.message(QStringLiteral("interrupted (%1): not waiting for the lab server")
                                 .arg(InterruptWatcher::signalName(signal)));
            if (RunForwarder *forwarder = engine.forwarder())
                forwarder->abandonWait();
            return;
        }
        if (offKeeper.isTrying()) {
            progress.message(QStringLiteral("interrupted (%1): one last try to switch the load off")
                                 .arg(InterruptWatcher::signalName(signal)));
            offKeeper.lastTry();
            return;
        }
        progress.message(
            QStringLiteral("interrupted (%1): switching the load off").arg(InterruptWatcher::signalName(signal)));
        run.stop();
    });

    QObject::connect(&engine, &Engine::notice, [&](const QString &text) { progress.message(text); });
    QObject::connect(&engine.runStore(), &RunStore::problem, [&](const QString &text) { progress.message(text); });
    QObject::connect(&engine.runStore(), &RunStore::notice, [&](const QString &text) { progress.message(text); });
    if (RunForwarder *forwarder = engine.forwarder())
        QObject::connect(forwarder, &RunForwarder::problem, [&](const QString &text) { progress.message(text); });
    bool settingsSaved = true;
    if (!engine.startRun(options.programPath, &settingsSaved))
        return 2;
    if (!settingsSaved)
        progress.message(QStringLiteral("the settings could not be written to %1").arg(engine.iniPath()));
    QCoreApplication::exec();
    runOver = true;
    progress.endLine();
    Console::printLine(stderr,
        QStringLiteral("vornic-run: %1, %2 rows, %3 failed verdicts, run %4 Ah %5 Wh, log %6")
            .arg(recorder.record().isFinished() ? recorder.record().resultText() : runResultText(RunResult::Error))
            .arg(engine.log().rowsLogged())
            .arg(recorder.record().failVerdicts)
            .arg(QString::number(recorder.record().totals.ampHours, 'f', 6),
                QString::number(recorder.record().totals.wattHours, 'f', 6), engine.log().path()));
    if (!engine.runStore().isWritable()) {
        // Nothing waits to be sent: the store never took the run.
        Console::printLine(stderr,
            QStringLiteral("vornic-run: THIS RUN IS NOT IN THE RUN STORE %1 (%2); its CSV log %3 holds every row, "
                           "and \"vornic-runs import\" brings it in once the store can be written")
                .arg(engine.runStore().path(), engine.runStore().failure(), engine.log().path()));
    } else if (RunForwarder *forwarder = engine.forwarder()) {
        const QString why = forwarder->finish(engine.runStore().runUuid());
        if (!why.isEmpty())
            Console::printLine(stderr,
                QStringLiteral("vornic-run: this run waits in %1 for the lab server %2 (%3); the next run or "
                               "\"vornic-runs forward\" sends it")
                    .arg(engine.runStore().path(), forwarder->server().describe(), why));
    }
    if (!options.summaryPath.isEmpty()) {
        // A script that asked for the summary reads it as the outcome: a run that finished but
        // left none must not look like a good one. A run that already failed keeps its own code.
        const QString failed = engine.runSummary().writeJson(options.summaryPath);
        if (!failed.isEmpty()) {
            Console::printLine(stderr, QStringLiteral("vornic-run: the summary cannot be written: ") + failed);
            if (exitCode == 0 || exitCode == 1)
                exitCode = 2;
        }
    }
    return exitCode;
}
