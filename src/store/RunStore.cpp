#include "store/RunStore.h"

#include "device/Identification.h"
#include "results/ChartHistoryBytes.h"
#include "results/LoadOffText.h"
#include "settings/ControlCharacter.h"
#include "settings/IniFile.h"
#include "settings/IniSecrets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>
#include <limits>

namespace {

QString isoText(const QDateTime &when) { return LoadOffText::timeText(when); }

// A text, or NULL for none.
QVariant textOrNull(const QString &text) { return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : text; }

// load_off, load_off_address, load_off_since, load_off_confirmed_at, load_off_amps; NULL for what
// is not known.
QVariantList loadOffValues(const LoadOff &off)
{
    return {textOrNull(LoadOffText::stateText(off.state)), textOrNull(off.address), textOrNull(isoText(off.since)),
        textOrNull(isoText(off.confirmedAt)), off.amps ? QVariant(*off.amps) : QVariant(QMetaType::fromType<double>())};
}

const QString SetLoadOff = QStringLiteral(
    "load_off = ?, load_off_address = ?, load_off_since = ?, load_off_confirmed_at = ?, load_off_amps = ?");

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
    connect(&recorder, &RunRecorder::loadOffChanged, this, &RunStore::onLoadOffChanged);
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
    // A control character would fail every write of the station's state on the lab's server.
    return station.isEmpty() || ControlCharacter::firstIn(station) ? QSysInfo::machineHostName() : station;
}

bool RunStore::waitForSamples(int ms) { return m_writer.waitForCommit(ms); }

void RunStore::onRunStarted()
{
    const RunRecord &run = m_recorder.record();
    m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_seq = 0;
    m_identityKept = false;
    m_history.clear();
    const QString station = stationName(m_iniPath);
    const QString logPath = m_logPath ? m_logPath() : QString();
    m_runLogPath = logPath.isEmpty() ? QString() : QFileInfo(logPath).absoluteFilePath();
    StoreWriter::Statement insert{
        QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, settings_text, "
                       "station, started, result, message, log_path) VALUES (?, ?, ?, ?, ?, ?, '', '', ?)"),
        {m_uuid, run.options.programFile, fileText(run.options.programFile),
            IniSecrets::withSecretsBlanked(fileText(m_iniPath)), station, isoText(run.startedAt),
            textOrNull(m_runLogPath)},
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
    // One the queue has no room for is lacking from the store; the run's end counts it.
    m_writer.add(StoreWriter::SampleRow{m_uuid, ++m_seq, sample});
}

void RunStore::onVerdict(const StepRecord &step) { m_history.verdict(step.row, *step.verdict); }

void RunStore::onRunEnded(const RunRecord &run)
{
    if (m_uuid.isEmpty())
        return;
    QList<StoreWriter::Statement> end;
    QVariantList values{
        isoText(run.endedAt), run.resultText(), run.message, run.model, m_identification.runRatedCurrent(), m_seq};
    values += loadOffValues(run.loadOff);
    values.append(m_uuid);
    end.append({QStringLiteral("UPDATE runs SET ended = ?, result = ?, message = ?, model = ?, rated_current = ?, "
                               "sample_count = ?, %1 WHERE uuid = ?")
                    .arg(SetLoadOff),
        values});
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
            sayLacking();
        }
    }
    Q_EMIT runEndKept();
}

void RunStore::onLoadOffChanged(const RunRecord &run)
{
    if (m_uuid.isEmpty())
        return;
    QVariantList values = loadOffValues(run.loadOff);
    values.append(m_uuid);
    m_writer.add(StoreWriter::Statement{QStringLiteral("UPDATE runs SET %1 WHERE uuid = ?").arg(SetLoadOff), values});
    m_writer.commitSoon();
}

void RunStore::sayLacking()
{
    // What is said here says more than the failure would: it is not said after.
    m_sayFailure.stop();
    m_failureSaid = true;
    const qint64 lacking = m_seq - m_writer.committedSamples(m_uuid);
    if (lacking <= 0 && m_writer.runEndWritten(m_uuid))
        return;
    const QString store = QDir::toNativeSeparators(path());
    const QString log = m_runLogPath.isEmpty() ? QStringLiteral("LOG.CSV") : QDir::toNativeSeparators(m_runLogPath);
    const QString import = QStringLiteral("\"vornic-runs --store %1 import %2\"").arg(store, log);
    if (m_writer.runEndWritten(m_uuid)) {
        Q_EMIT problem(QStringLiteral("The run store %1 lacks %2 of this run's %3 samples: %4. The run's end is in it. "
                                      "The CSV log %5 has them: %6 puts them in the store; they also go in by "
                                      "themselves should the store be written again while the program runs.")
                           .arg(store)
                           .arg(lacking)
                           .arg(m_seq)
                           .arg(m_failure, log, import));
        return;
    }
    const QString samples
        = lacking > 0 ? QStringLiteral(" nor %1 of its %2 samples").arg(lacking).arg(m_seq) : QString();
    Q_EMIT problem(QStringLiteral("The run store %1 could not keep this run's end%2: %3. The CSV log %4 has every "
                                  "row: %5 puts the run in the store.")
                       .arg(store, samples, m_failure, log, import));
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
