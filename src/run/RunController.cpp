#include "run/RunController.h"

#include "device/Identification.h"
#include "link/TraceList.h"
#include "model/FunctionCatalog.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "run/Sequencer.h"

#include <QCoreApplication>

namespace {

// A program of no step the run knows would end at once, as a PASS that tested nothing.
bool hasKnownStep(const TestProgram &program)
{
    for (int row = 1; row <= program.StepCount(); ++row)
        if (FunctionCatalog::find(program.cell(row, StepColumns::Function)))
            return true;
    return false;
}

} // namespace

RunController::RunController(const Wiring &wiring, QObject *parent)
    : QObject(parent), m_wiring(wiring), m_offKeeper(wiring.load, wiring.clock, wiring.trace, m_events)
{
    // Before any listener the composition adds: when a listener hears that a run ended, it is over.
    connect(&m_events, &RunEvents::stepStarted, this, &RunController::highlightStep);
    connect(&m_events, &RunEvents::loadOffChanged, this, [this](const LoadOff &off) { m_lastOff = off; });
    connect(&m_events, &RunEvents::runEnded, this, &RunController::onRunEnded);
    connect(&m_offKeeper, &OffKeeper::ended, this, &RunController::onKeeperEnded);
}

RunController::~RunController()
{
    // A try under way holds on to the link and to the keeper: it ends before they go.
    m_offKeeper.lastTry();
    while (m_offKeeper.isTrying())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void RunController::setFirstIntervalMs(int ms) { m_firstIntervalMs = std::max(ms, 1); }

TraceFields RunController::traceFields() const { return m_sequencer ? m_sequencer->traceFields() : m_lastTraceFields; }

bool RunController::start(const RunOptions &options)
{
    if (m_sequencer)
        return false;
    if (m_offKeeper.isTrying()) {
        Q_EMIT message(QStringLiteral("The test cannot start: the load at %1 may still be on from the last run, and "
                                      "is being told again to switch off. A run starts once it is confirmed off.")
                           .arg(m_offKeeper.loadOff().address));
        return false;
    }
    if (!hasKnownStep(m_wiring.program)) {
        Q_EMIT message(QStringLiteral("The test cannot start: no step of the program names a known test function."));
        return false;
    }
    for (const StartCheck &check : m_startChecks) {
        const QString refusal = check();
        if (!refusal.isEmpty()) {
            Q_EMIT message(refusal);
            return false;
        }
    }
    m_wiring.trace.clear();
    m_wiring.identification.setHeld(true);

    auto *sequencer = new Sequencer({m_wiring.program, m_wiring.load, m_wiring.generator, m_wiring.clock,
                                        m_wiring.trace, m_errorTrail, m_wiring.identification, m_wiring.measureOptions},
        m_events, options, m_firstIntervalMs, this);
    sequencer->setLoadCheck(m_loadCheck);
    m_sequencer = sequencer;
    Q_EMIT m_events.runStarted(options);
    // The body runs on by itself from here; runEnded says when it is over.
    sequencer->run();
    return true;
}

void RunController::stop() { abort(RunResult::Stopped, QString()); }

void RunController::abort(RunResult result, const QString &message)
{
    if (m_sequencer)
        m_sequencer->stop(result, message);
}

void RunController::highlightStep(int row)
{
    // Only the row above the new step is cleared: a LOOP stays marked while its body repeats.
    if (row > 1)
        m_wiring.program.ClearStepRowHighlight(row - 1);
    m_wiring.program.HighlightStepRow(row);
}

void RunController::onKeeperEnded() { m_wiring.identification.setHeld(false); }

void RunController::onRunEnded(RunResult result, const QString &message)
{
    Sequencer *sequencer = m_sequencer;
    m_firstIntervalMs = sequencer->lastIntervalMs();
    m_lastTraceFields = sequencer->traceFields();
    m_sequencer = nullptr;
    // The run's body is still on the stack that emitted this: it goes once that has unwound.
    sequencer->deleteLater();
    for (int row = 1; row <= m_wiring.program.StepCount(); ++row)
        if (m_wiring.program.isHighlighted(row))
            m_wiring.program.ClearStepRowHighlight(row);
    if (m_lastOff.unconfirmed()) {
        // Identification would ask over the same link: it waits until the load is confirmed off.
        m_offKeeper.keepTrying(m_lastOff, sequencer->offLines(), m_wiring.identification.ModelName(),
            m_wiring.identification.RatedCurrent());
    } else {
        m_wiring.identification.setHeld(false);
    }
    m_lastOff = LoadOff();
    if (!message.isEmpty())
        Q_EMIT this->message(message);
    if (result == RunResult::Pass || result == RunResult::Fail)
        Q_EMIT testFinished();
}
