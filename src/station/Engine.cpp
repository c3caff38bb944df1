#include "station/Engine.h"

#include "device/RatingTable.h"
#include "model/NumberText.h"
#include "model/StepJudge.h"
#include "settings/ProgramFolder.h"

#include <QFileInfo>

namespace {

// The heading and one line per refused value; empty when none is refused.
QString refusalMessage(const QString &heading, const QStringList &refused)
{
    return refused.isEmpty() ? QString() : heading + u'\n' + refused.join(u'\n');
}

} // namespace

Engine::Engine(Clock &clock, const QString &iniPath, QObject *parent)
    : QObject(parent),
      m_iniPath(iniPath.isEmpty() ? defaultIniPath() : iniPath),
      m_load(
          LinkRole::Load, [this] { return m_settings.loadLink; }, clock, m_trace),
      m_generator(
          LinkRole::Generator, [this] { return m_settings.generatorLink; }, clock, m_trace),
      m_identification(m_load),
      m_run({m_program, m_load, &m_generator, clock, m_trace, m_identification, m_measureOptions}),
      m_recorder(m_run.events(), clock, [this] { return m_identification.runModel(); }),
      m_log(m_recorder, m_results, [this] { return m_measureOptions.separateText(); }),
      m_summary(m_recorder),
      m_store(m_recorder, m_identification, m_iniPath)
{
    m_load.setTraceFields([this] { return m_run.traceFields(); });
    m_generator.setTraceFields([this] { return m_run.traceFields(); });
    m_identification.setGeneratorLink(&m_generator);
    m_identification.setAFGEnable([this] { return int(m_settings.AFGEnable); });
    m_log.setPath(RunLogFile::defaultPath(ProgramFolder::path()));
    // Ahead of the log's own check, which makes the log file: a refused program leaves none.
    m_run.addStartCheck([this] {
        return refusalMessage(
            QStringLiteral("The test cannot start: these values must not be sent to the load."), programRefusals());
    });
    m_run.setLoadCheck([this] {
        return refusalMessage(QStringLiteral("The test was not started: these values must not be sent to the load "
                                             "%1. No step was sent to it.")
                                  .arg(m_identification.ModelName()),
            programRefusals());
    });
    m_log.bindTo(m_run);
    // A row goes into the CSV log once the store holds its sample: after a kill, the store holds
    // every row the log holds, and the log lacks at most the store's last second.
    m_log.holdRowsUntilKept([this] { m_store.waitForSamples(RunStore::RunEndWaitMs); });
    m_store.setLogPath([this] { return m_log.path(); });
    connect(&m_store, &RunStore::samplesKept, &m_log, &RunLogWriter::samplesKept);
    const StoreServer server = StoreServer::fromIni(m_iniPath, &m_serverProblem);
    if (server.isSet()) {
        m_forwarder = std::make_unique<RunForwarder>(m_store.path(), server, RunStore::stationName(m_iniPath));
        m_stationFeed = std::make_unique<StationStateFeed>(m_recorder, m_program, m_store, *m_forwarder);
        // Once the run's end is in the file, the round finds it there.
        connect(&m_store, &RunStore::runEndKept, m_forwarder.get(), &RunForwarder::forwardSoon);
    }
}

void Engine::loadSettings()
{
    m_settingsProblems.clear();
    LoadSettings(m_settings, m_measureOptions, m_iniPath, &m_settingsProblems);
    for (const QString &problem : std::as_const(m_settingsProblems))
        m_trace.TraceLine(problem);
    QStringList problems;
    const RatingTable local = RatingTable::load(QFileInfo(m_iniPath).absolutePath(), &problems);
    m_identification.setRatingTable(local);
    m_ratingTableProblems = problems;
    for (const QString &problem : problems)
        m_trace.TraceLine(problem);
}

QStringList Engine::programRefusals() const
{
    return StepJudge::texts(StepJudge(m_identification.ratings()).judgeProgram(m_program));
}

bool Engine::saveSettings() { return SaveSettings(m_settings, m_measureOptions, m_iniPath); }

bool Engine::startRun(const QString &programFile, bool *settingsSaved)
{
    // The interval in force for the run is held to what the sampling box allows, wherever it came
    // from: an interval of 0 would count no step time down while the load is polled at full rate.
    const QString asGiven = m_measureOptions.measTimeText();
    m_measureOptions.applyMeasTimeLimits();
    const QString held = m_measureOptions.measTimeText();
    const bool saved = saveSettings();
    if (settingsSaved)
        *settingsSaved = saved;
    RunOptions options;
    options.programFile = programFile;
    options.afgEnabled = m_settings.AFGEnable == 1;
    options.measureTime = m_settings.MeasureTime;
    options.measure = {m_settings.MeasureVoltage == 1, m_settings.MeasureCurrent == 1, m_settings.MeasurePower == 1,
        m_settings.MeasureAh == 1, m_settings.MeasureWh == 1};
    if (!m_run.start(options))
        return false;
    // Every run says it, as long as the file keeps the wrong port: each one waits unforwarded.
    if (!m_serverProblem.isEmpty()) {
        m_trace.TraceLine(m_serverProblem);
        Q_EMIT notice(m_serverProblem);
    }
    if (NumberText::lenient(held) != NumberText::lenient(asGiven)) {
        const QString text
            = QStringLiteral("The sampling interval \"%1\" is outside %2..%3 ms: the run samples every %4 ms.")
                  .arg(asGiven)
                  .arg(MeasureOptions::MinMeasTime)
                  .arg(MeasureOptions::MaxMeasTime)
                  .arg(held);
        m_trace.TraceLine(text);
        Q_EMIT notice(text);
    }
    return true;
}
