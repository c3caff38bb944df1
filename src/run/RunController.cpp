#include "run/RunController.h"

#include "device/Identification.h"
#include "link/TraceList.h"
#include "model/FunctionCatalog.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "run/Sequencer.h"
#include "settings/MeasureOptions.h"

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

RunController::RunController(const Wiring &wiring, QObject *parent) : QObject(parent), m_wiring(wiring)
{
    // Connected before anyone else's: when a listener hears that a run ended, it is over here.
    connect(&m_events, &RunEvents::rowMade, &wiring.results, &ResultLog::appendRow);
    connect(&m_events, &RunEvents::sample, this, [this] { m_rowGate.sampleMade(); });
    connect(&m_events, &RunEvents::rowMade, this, &RunController::writeRow);
    connect(&m_events, &RunEvents::stepStarted, this, &RunController::highlightStep);
    connect(&m_events, &RunEvents::runEnded, this, &RunController::onRunEnded);
    connect(&m_events, &RunEvents::verdict, this, [this](const RunEvents::Verdict &verdict) {
        if (!verdict.pass)
            ++m_failVerdicts;
    });
}

RunController::~RunController() = default;

void RunController::setTimer1Interval(int ms) { m_timer1Interval = std::max(ms, 1); }

TraceFields RunController::traceFields() const
{
    return {m_state.StepPointer, m_state.TStop.toText(), m_state.CurrentFunction};
}

bool RunController::RunCommand_Click(const RunOptions &options)
{
    if (m_sequencer)
        return false;
    if (!hasKnownStep(m_wiring.program)) {
        Q_EMIT message(QStringLiteral("The test cannot start: no step of the program names a known test function."));
        return false;
    }
    QString error;
    if (!m_logFile.open(m_logPath, &error)) {
        Q_EMIT message(QStringLiteral("The test cannot start: the log file cannot be written.\n%1").arg(error));
        return false;
    }
    m_rowGate.start(bool(m_keepAll));
    m_state.RowCounter = 1;
    m_wiring.results.clear();
    m_wiring.trace.clear();
    m_state.StepPointer = 1;
    m_state.StepPending = 1;
    m_failVerdicts = 0;
    m_wiring.identification.setHeld(true);

    auto *sequencer = new Sequencer({m_wiring.program, m_wiring.load, m_wiring.generator, m_wiring.clock,
                                        m_wiring.trace, m_errorTrail, m_wiring.identification, m_wiring.measureOptions},
        m_state, m_events, options, m_timer1Interval, this);
    m_sequencer = sequencer;
    Q_EMIT m_events.runStarted(options);
    // The body runs on by itself from here; runEnded says when it is over.
    sequencer->run();
    return true;
}

void RunController::StopCommand_Click() { abort(RunEvents::Result::Stopped, QString()); }

void RunController::abort(RunEvents::Result result, const QString &message)
{
    if (m_sequencer)
        m_sequencer->stop(result, message);
}

void RunController::writeRow(const QStringList &cells) { writeRows(m_rowGate.rowMade(cells)); }

void RunController::samplesKept(qint64 count) { writeRows(m_rowGate.samplesKept(count)); }

void RunController::writeRows(const QList<QStringList> &rows)
{
    // The log is the run's record: a run that cannot keep it ends, with the load off.
    if (m_logFile.isOpen() && !m_logFile.WriteLogLines(rows, m_wiring.measureOptions.separateText()))
        abort(RunEvents::Result::Error,
            QStringLiteral("The run was stopped: the log file cannot be written.\n%1").arg(m_logFile.path()));
}

void RunController::highlightStep(int step)
{
    // Only the row above the new step is cleared: a LOOP stays marked while its body repeats.
    if (step > 1)
        m_wiring.program.ClearStepRowHighlight(step - 1);
    m_wiring.program.HighlightStepRow(step);
}

void RunController::onRunEnded(RunEvents::Result result, const QString &message)
{
    Sequencer *sequencer = m_sequencer;
    m_timer1Interval = sequencer->lastIntervalMs();
    m_sequencer = nullptr;
    // The run's body is still on the stack that emitted this: it goes once that has unwound.
    sequencer->deleteLater();
    if (m_rowGate.isHolding() && m_keepAll)
        m_keepAll();
    writeRows(m_rowGate.releaseAll());
    m_logFile.close();
    for (int row = 1; row <= m_wiring.program.StepCount(); ++row)
        if (m_wiring.program.isHighlighted(row))
            m_wiring.program.ClearStepRowHighlight(row);
    m_wiring.identification.setHeld(false);
    if (!message.isEmpty())
        Q_EMIT this->message(message);
    if (result == RunEvents::Result::Pass || result == RunEvents::Result::Fail)
        Q_EMIT testFinished();
}
