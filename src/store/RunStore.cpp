#include "store/RunStore.h"

#include "device/Identification.h"
#include "results/ChartHistoryBytes.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>
#include <limits>

namespace {

QString isoText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

QString fileText(const QString &path)
{
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

RunStore::RunStore(
    const RunRecorder &recorder, const Identification &identification, const QString &iniPath, QObject *parent)
    : QObject(parent),
      m_recorder(recorder),
      m_identification(identification),
      m_iniPath(iniPath),
      m_writer(QDir(QFileInfo(iniPath).absolutePath()).filePath(FileName))
{
    connect(&recorder, &RunRecorder::runStarted, this, &RunStore::onRunStarted);
    connect(&recorder, &RunRecorder::stepStarted, this, &RunStore::onStepStarted);
    connect(&recorder, &RunRecorder::sampleAdded, this, &RunStore::onSample);
    connect(&recorder, &RunRecorder::verdictAdded, this, &RunStore::onVerdict);
    connect(&recorder, &RunRecorder::stepEnded, &m_writer, &StoreWriter::commitSoon);
    connect(&recorder, &RunRecorder::runEnded, this, &RunStore::onRunEnded);
    connect(&m_writer, &StoreWriter::committed, this, &RunStore::onCommitted);
    connect(&m_writer, &StoreWriter::writeFailed, this, &RunStore::onWriteFailed);
    connect(&m_writer, &StoreWriter::madeAgain, this, [this] {
        Q_EMIT notice(QStringLiteral("The run store %1 was removed while it was open: it was made again, with the "
                                     "run under way in it.")
                          .arg(QDir::toNativeSeparators(path())));
    });
    m_sayFailure.setSingleShot(true);
    m_sayFailure.setInterval(SayFailureAfterMs);
    connect(&m_sayFailure, &QTimer::timeout, this, &RunStore::sayFailure);
}

RunStore::~RunStore() = default;

QString RunStore::stationName(const QString &iniPath)
{
    const QString station
        = IniFile::ReadIniString(iniPath, QStringLiteral("Store"), QStringLiteral("Station"), QString());
    return station.isEmpty() ? QSysInfo::machineHostName() : station;
}

bool RunStore::waitForSamples(int ms) { return m_writer.waitForCommit(ms); }

void RunStore::onRunStarted()
{
    const RunRecord &run = m_recorder.record();
    m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_seq = 0;
    m_lacking = 0;
    m_identityKept = false;
    m_history.clear();
    const QString station = stationName(m_iniPath);
    StoreWriter::Statement insert{
        QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, settings_text, "
                       "station, started, result, message) VALUES (?, ?, ?, ?, ?, ?, '', '')"),
        {m_uuid, run.options.programFile, fileText(run.options.programFile), fileText(m_iniPath), station,
            isoText(run.startedAt)},
        m_uuid};
    m_writer.add(std::move(insert));
    // A file that fails from the start keeps no row of the log waiting.
    if (m_failing)
        Q_EMIT samplesKept(std::numeric_limits<qint64>::max());
}

void RunStore::onStepStarted(const StepRecord &step)
{
    m_history.stepStarted(step.row, step.function);
    // Identification is over once the first step starts; a run cut short still names its load.
    if (m_uuid.isEmpty() || m_identityKept)
        return;
    m_identityKept = true;
    m_writer.add(StoreWriter::Statement{QStringLiteral("UPDATE runs SET model = ?, rated_current = ? WHERE uuid = ?"),
        {m_identification.runModel(), m_identification.runRatedCurrent(), m_uuid}});
}

void RunStore::onSample(const Sample &sample)
{
    if (m_uuid.isEmpty())
        return;
    m_history.add(sample);
    const bool queued = m_writer.add(StoreWriter::SampleRow{m_uuid, ++m_seq, sample});
    if (!queued)
        ++m_lacking;
}

void RunStore::onVerdict(const StepRecord &step) { m_history.verdict(step.row, *step.verdict); }

void RunStore::onRunEnded(const RunRecord &run)
{
    if (m_uuid.isEmpty())
        return;
    QList<StoreWriter::Statement> end;
    end.append({QStringLiteral("UPDATE runs SET ended = ?, result = ?, message = ?, model = ?, rated_current = ? "
                               "WHERE uuid = ?"),
        {isoText(run.endedAt), run.resultText(), endMessage(run.message), run.model, m_identification.runRatedCurrent(),
            m_uuid}});
    for (const StepRecord &step : run.steps) {
        end.append({QStringLiteral("INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, "
                                   "verdict, value, ah, wh, v, i) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {m_uuid, step.row, step.function, isoText(step.started), step.seconds, stepEndText(step.end),
                step.verdict ? step.verdict->passText() : QString(), step.verdict ? step.verdict->value : QString(),
                step.ampHours, step.wattHours, step.volts, step.amps}});
    }
    end.append({QStringLiteral("INSERT OR REPLACE INTO run_charts (run_uuid, format, chart) VALUES (?, ?, ?)"),
        {m_uuid, ChartHistoryBytes::Format, ChartHistoryBytes::write(m_history)}});
    end.last().endsRun = true;
    for (StoreWriter::Statement &statement : end)
        m_writer.add(std::move(statement));
    // Those who read the store when a run ends find it whole; a file that cannot be written now
    // takes the run later.
    if (!m_writer.waitForCommit(RunEndWaitMs)) {
        // What the writer has said meanwhile is still on its way to this thread. A writer that is
        // only slow has said nothing, and the run goes in a moment later.
        const QString reason = m_writer.lastError();
        if (!reason.isEmpty()) {
            onWriteFailed(reason);
            sayFailure();
        }
    }
    Q_EMIT runEndKept();
}

QString RunStore::endMessage(const QString &message) const
{
    if (m_lacking == 0)
        return message;
    const QString lacking = QStringLiteral("The store lacks %1 of this run's %2 samples: its file could not be written "
                                           "while they came.")
                                .arg(m_lacking)
                                .arg(m_seq);
    return message.isEmpty() ? lacking : message + u'\n' + lacking;
}

void RunStore::onCommitted(const QString &runUuid, qint64 seq)
{
    if (m_failing)
        onWrittenAgain();
    if (seq > 0 && runUuid == m_uuid)
        Q_EMIT samplesKept(seq);
}

void RunStore::onWriteFailed(const QString &reason)
{
    m_failure = reason.trimmed();
    if (!std::exchange(m_failing, true)) {
        m_sayFailure.start();
        Q_EMIT samplesKept(std::numeric_limits<qint64>::max());
    }
}

void RunStore::sayFailure()
{
    m_sayFailure.stop();
    if (!m_failing || std::exchange(m_failureSaid, true))
        return;
    Q_EMIT problem(QStringLiteral("The run store %1 cannot be written: %2. The run and its CSV log go on; its samples "
                                  "wait and go into the store once it can be written again.")
                       .arg(QDir::toNativeSeparators(path()), m_failure));
}

void RunStore::onWrittenAgain()
{
    m_failing = false;
    m_sayFailure.stop();
    if (std::exchange(m_failureSaid, false))
        Q_EMIT notice(QStringLiteral("The run store %1 can be written again: the samples that waited are in it.")
                          .arg(QDir::toNativeSeparators(path())));
}
