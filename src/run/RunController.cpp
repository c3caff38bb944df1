#include "run/RunController.h"

#include "commands/GeneratorCommands.h"
#include "commands/LoadCommands.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "run/LoadTestSupervisor.h"
#include "run/ResultRows.h"
#include "run/RunContext.h"
#include "run/Sampler.h"
#include "run/StepStarter.h"

namespace {
constexpr int IdentificationDelayMs = 100;
}

RunController::RunController(const Wiring &wiring, QObject *parent)
    : QObject(parent),
      m_program(wiring.program),
      m_load(wiring.load),
      m_generator(wiring.generator),
      m_clock(wiring.clock),
      m_trace(wiring.trace),
      m_results(wiring.results)
{
    m_loadCommands = std::make_unique<LoadCommands>(m_load, m_clock, m_state);
    if (m_generator)
        m_generatorCommands = std::make_unique<GeneratorCommands>(*m_generator, m_clock, m_state);
    m_nameLabel = [] { return QString(); };
    m_setNameLabel = [](const QString &) {};
    m_measTimeText = [] { return QStringLiteral("1000"); };
    m_separatorText = [] { return QStringLiteral(","); };
    m_context.reset(new RunContext{m_program, m_state, m_load, m_generator, m_clock, m_trace, m_results, m_logFile,
        m_errorTrail, *m_loadCommands, m_generatorCommands.get()});
    m_context->measTimeText = [this] { return m_measTimeText(); };
    m_context->separatorText = [this] { return m_separatorText(); };
    m_context->nameLabel = [this] { return m_nameLabel(); };
    m_context->setNameLabel = [this](const QString &text) { m_setNameLabel(text); };

    m_timer1.setSingleShot(true);
    m_timer1.setTimerType(Qt::PreciseTimer);
    connect(&m_timer1, &QTimer::timeout, this, &RunController::Timer1_Timer);
    m_timer2.setSingleShot(true);
    m_timer2.setInterval(IdentificationDelayMs);
    connect(&m_timer2, &QTimer::timeout, this, &RunController::Timer2_Timer);
}

RunController::~RunController() = default;

void RunController::setNameLabelAccess(std::function<QString()> get, std::function<void(const QString &)> set)
{
    m_nameLabel = std::move(get);
    m_setNameLabel = std::move(set);
}

void RunController::setRatedCurrent(std::function<QString()> ratedCurrent)
{
    m_loadCommands->setRatedCurrent(ratedCurrent);
    if (m_generatorCommands)
        m_generatorCommands->setRatedCurrent(ratedCurrent);
}

void RunController::setCycleLifeCount(std::function<int()> count)
{
    m_loadCommands->setCycleLifeCount(std::move(count));
}

void RunController::setTimer1Interval(int ms) { m_timer1Interval = std::max(ms, 1); }

bool RunController::RunCommand_Click(const RunOptions &options)
{
    if (m_running)
        return false;
    QString error;
    if (!m_logFile.open(m_logPath, &error)) {
        Q_EMIT message(QStringLiteral("The test cannot start: the log file cannot be written.\n%1").arg(error));
        return false;
    }
    m_state.RowCounter = 1;
    m_results.clear();
    m_trace.clear();
    m_state.StepPointer = 1;
    m_state.StepPending = 1;
    m_context->options = options;
    m_failVerdicts = 0;
    m_running = true;
    ++m_generation;
    const quint64 generation = m_generation;
    m_loadCommands->setStillRunning([this, generation] { return stillRunning(generation); });
    if (m_generatorCommands)
        m_generatorCommands->setStillRunning([this, generation] { return stillRunning(generation); });
    m_context->stillRunning = [this, generation] { return stillRunning(generation); };
    if (m_manualTicks)
        m_timer2Marked = true;
    else
        m_timer2.start();
    return true;
}

void RunController::Timer2_Timer()
{
    m_timer2Marked = false;
    m_timer2.stop();
    const quint64 generation = m_generation;
    if (m_identify)
        m_identify();
    // The first pass comes only after identification, which may have waited for the load.
    if (stillRunning(generation))
        startTimer1(m_timer1Interval);
}

void RunController::startTimer1(int ms)
{
    if (m_manualTicks)
        m_timer1Marked = true;
    else
        m_timer1.start(ms);
}

void RunController::stopTimers()
{
    m_timer1Marked = m_timer2Marked = false;
    m_timer1.stop();
    m_timer2.stop();
}

void RunController::StopCommand_Click() { endRun(RunEnd::Stopped, QString()); }

void RunController::sendOffCommand()
{
    if (m_state.CurrentFunction == u"Sequence Load")
        m_loadCommands->CmdSequenceLoadOff();
    else
        m_loadCommands->CmdLoadOff();
}

void RunController::endRun(RunEnd end, const QString &why)
{
    const bool wasRunning = m_running;
    // Stopped first, so that a pass interrupted by this Stop sends and writes nothing more.
    m_running = false;
    ++m_generation;
    stopTimers();
    sendOffCommand();
    m_logFile.close();
    if (!why.isEmpty())
        Q_EMIT message(why);
    if (wasRunning)
        Q_EMIT runEnded(end);
}

void RunController::Finish()
{
    m_load.LinkSend(QStringLiteral("LOAD OFF"));
    m_program.ClearStepRowHighlight(m_state.StepPointer - 1);
    m_running = false;
    ++m_generation;
    stopTimers();
    m_logFile.close();
    Q_EMIT testFinished();
    Q_EMIT runEnded(RunEnd::Finished);
}

void RunController::Timer1_Timer()
{
    if (m_passRunning || !m_running)
        return;
    m_passRunning = true;
    m_timer1Marked = false;
    m_timer1.stop();
    runPass(m_generation);
    m_passRunning = false;
}

bool RunController::timeExpiry()
{
    const int next = m_state.StepPointer + 1;
    const bool sameFunctionNext
        = next <= m_program.StepCount() && m_program.cell(next, StepColumns::Function) == m_state.CurrentFunction;
    if (!sameFunctionNext) {
        m_loadCommands->CmdLoadOff();
        if (m_context->options.afgEnabled && m_generatorCommands)
            m_generatorCommands->GenCmdOutputOff();
    }
    if (!m_context->stillRunning())
        return false;
    if (!(m_state.VStop > 0 && m_state.IStop > 0 && m_state.AhStop > 0))
        m_state.StepPointer += 1;
    m_state.StepPending = 3;
    return true;
}

void RunController::runPass(quint64 generation)
{
    RunContext &context = *m_context;
    const auto logFailed = [this] {
        endRun(RunEnd::Failed,
            QStringLiteral("The run was stopped: the log file cannot be written.\n%1").arg(m_logFile.path()));
    };
    bool startedThisPass = false;
    for (;;) {
        if (m_state.StepPointer > m_program.gridRowCount() - 2) {
            Finish();
            return;
        }
        if (m_state.StepPending > 0) {
            QString error;
            const auto outcome = StepStarter::startPendingStep(context, &error);
            if (!stillRunning(generation))
                return;
            if (outcome == StepStarter::Outcome::Failed) {
                endRun(RunEnd::Failed, QStringLiteral("The run was stopped: %1").arg(error));
                return;
            }
            if (outcome == StepStarter::Outcome::Jumped)
                continue;
            startedThisPass = true;
            Q_EMIT stepStarted(m_state.StepPointer);
        }
        const qint64 sampleTick = m_clock.tickMs();
        const double sampleSeconds = m_clock.secondsSinceMidnight();
        m_state.TickStartTime = float(sampleSeconds);
        m_trace.TraceLine(
            QStringLiteral("timer1=>,%1,%2").arg(NumberText::shortest(sampleSeconds), m_state.CurrentFunction));
        const auto sample = Sampler::takeSample(context);
        if (!stillRunning(generation))
            return;
        if (sample == Sampler::Outcome::LoadSilent) {
            endRun(RunEnd::LoadSilent,
                QStringLiteral("The run was stopped: the load stopped answering (step %1, %2).")
                    .arg(m_state.StepPointer)
                    .arg(m_state.CurrentFunction));
            return;
        }
        if (!Sampler::applyStops(context))
            return logFailed();
        if (m_state.TStop.count() <= 0 && !context.stepEndedThisPass
            && !StepStarter::isExemptFromTimeExpiry(m_state.CurrentFunction)) {
            if (!timeExpiry())
                return;
            startedThisPass = false;
            continue;
        }
        if (m_state.TStop.count() < 0)
            m_state.TStop = Fixed4();
        const auto supervision = LoadTestSupervisor::supervise(context, &m_failVerdicts);
        if (supervision == LoadTestSupervisor::Outcome::Aborted || !stillRunning(generation))
            return;
        if (supervision == LoadTestSupervisor::Outcome::LogFailed || !ResultRows::AppendResultRow(context))
            return logFailed();
        scheduleNextPass(startedThisPass, sampleTick, sampleSeconds);
        return;
    }
}

void RunController::scheduleNextPass(bool stepStartedThisPass, qint64 sampleTick, double sampleSeconds)
{
    const double samplingMs = NumberText::lenient(m_measTimeText());
    if (stepStartedThisPass)
        m_timing.restartPlan(sampleTick);
    PassTiming::Input in;
    in.tickNow = m_clock.tickMs();
    in.secondsAtSample = sampleSeconds;
    in.secondsNow = m_clock.secondsSinceMidnight();
    in.samplingMs = samplingMs;
    in.stepTimeLeft = m_state.TStop;
    in.shortStepTimeRule
        = m_state.CurrentFunction != u"Battery RAMP" && m_state.CurrentFunction != u"Battery Cycle Life";
    in.stepChanged = m_state.StepPending > 0;
    const PassTiming::Output out = m_timing.next(in);
    if (out.countDown) {
        m_state.TStop = m_state.TStop - Fixed4::fromDoubleOrZero(samplingMs / 1000.0);
        Q_EMIT stepTimeLeftChanged(m_state.TStop.toText());
    }
    m_timer1Interval = out.intervalMs;
    m_trace.TraceLine(QStringLiteral("Interval=%1").arg(out.intervalMs));
    startTimer1(out.intervalMs);
}
