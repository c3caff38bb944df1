#include "store/RunImport.h"

#include "model/TestStepFile.h"
#include "results/LoadOffText.h"
#include "results/LoggedRun.h"
#include "store/RunLogMatch.h"
#include "store/StoreSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cmath>

namespace {

// The UUIDs of imported runs are made from their logs' bytes in a space of their own.
const QUuid LogNamespace(QStringLiteral("5c3e2a61-9f0d-4b7a-8e25-d14c6a0b93f7"));

QString isoText(const QDateTime &when) { return LoadOffText::timeText(when); }

QVariant numberOrNull(double value)
{
    return std::isnan(value) ? QVariant(QMetaType::fromType<double>()) : QVariant(value);
}

bool exec(QSqlDatabase &db, const QString &sql, const QVariantList &values, QString *error)
{
    QSqlQuery query(db);
    if (query.prepare(sql)) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (query.exec())
            return true;
    }
    *error = query.lastError().text();
    return false;
}

// The function of each row of a program, by row (0 the header).
QStringList functionsOf(const QList<QStringList> &lines)
{
    QStringList functions;
    for (const QStringList &fields : lines)
        functions.append(fields.value(1).trimmed());
    return functions;
}

QStringList functionsOfText(const QString &text)
{
    QList<QStringList> lines;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        lines.append(line.split(u','));
    }
    return functionsOf(lines);
}

// The program's rows for the log's steps: each step at the next row of its function, from the row
// after the last (a loop starts again from the top). Nothing when a step's function is not there;
// `missing` says which step.
std::optional<QList<int>> rowsInProgram(const LoggedRun &log, const QStringList &functions, int *missing)
{
    const int count = int(functions.size()) - 1;
    QList<int> rows;
    int next = 1;
    for (int step = 0; step < log.steps().size(); ++step) {
        int found = 0;
        for (int k = 0; k < count && found == 0; ++k) {
            const int row = (next - 1 + k) % count + 1;
            if (functions.at(row) == log.steps().at(step).function)
                found = row;
        }
        if (found == 0) {
            *missing = step;
            return std::nullopt;
        }
        rows.append(found);
        next = found + 1;
    }
    return rows;
}

// The stored run's own steps, in the order they ran, matched to the log's by their functions.
std::optional<QList<int>> rowsOfStoredSteps(const LoggedRun &log, const QList<QPair<int, QString>> &stored)
{
    if (stored.isEmpty())
        return std::nullopt;
    QList<int> rows;
    qsizetype at = 0;
    for (const StepRecord &step : log.steps()) {
        while (at < stored.size() && stored.at(at).second != step.function)
            ++at;
        if (at == stored.size())
            return std::nullopt;
        rows.append(stored.at(at++).first);
    }
    return rows;
}

class Import
{
public:
    Import(QSqlDatabase &db, const RunImport::Source &source) : m_db(db), m_source(source), m_log(source.log.rows) { }

    std::optional<RunImport::Outcome> run(QString *error);

private:
    bool readProgram(QString *error);
    // The steps' rows; false with `error` when the program given lacks one of the log's steps.
    bool numberSteps(const RunLogMatch::Found *found, QString *error);
    std::optional<RunImport::Outcome> create(const QString &uuid, QString *error);
    std::optional<RunImport::Outcome> complete(const RunLogMatch::Found &found, QString *error);
    bool insertSamples(const QString &uuid, const QDateTime &started, const QHash<qint64, double> &stored,
        qint64 *added, QString *error);
    bool insertSteps(const QString &uuid, QString *error);
    QString logPath() const { return QFileInfo(m_source.logPath).absoluteFilePath(); }

    QSqlDatabase &m_db;
    const RunImport::Source &m_source;
    LoggedRun m_log;
    QString m_programText;
    QStringList m_programFunctions;
};

std::optional<RunImport::Outcome> Import::run(QString *error)
{
    if (m_log.rows().isEmpty()) {
        *error = QStringLiteral("%1: the log holds no row").arg(m_source.logPath);
        return std::nullopt;
    }
    if (!readProgram(error))
        return std::nullopt;
    const QString uuid = QUuid::createUuidV5(LogNamespace, m_source.log.digest).toString(QUuid::WithoutBraces);
    QSqlQuery known(m_db);
    known.prepare(QStringLiteral("SELECT COUNT(*) FROM runs WHERE uuid = ?"));
    known.addBindValue(uuid);
    if (!known.exec() || !known.next()) {
        *error = known.lastError().text();
        return std::nullopt;
    }
    const bool stored = known.value(0).toInt() > 0;
    known.finish();
    if (stored)
        return RunImport::Outcome{RunImport::Kind::AlreadyStored, uuid, m_log.sampleCount(), 0};
    error->clear();
    const std::optional<RunLogMatch::Found> found = RunLogMatch::find(m_db, m_log, error);
    if (!error->isEmpty())
        return std::nullopt;
    if (!numberSteps(found ? &*found : nullptr, error))
        return std::nullopt;
    if (!m_db.transaction()) {
        *error = m_db.lastError().text();
        return std::nullopt;
    }
    std::optional<RunImport::Outcome> outcome = found ? complete(*found, error) : create(uuid, error);
    if (outcome && !m_db.commit())
        *error = m_db.lastError().text();
    if (!error->isEmpty()) {
        m_db.rollback();
        return std::nullopt;
    }
    return outcome;
}

bool Import::readProgram(QString *error)
{
    if (m_source.programPath.isEmpty())
        return true;
    TestStepFile::Content content;
    if (const TestStepFile::Result read = TestStepFile::readContent(m_source.programPath, content); !read.ok) {
        *error = read.message;
        return false;
    }
    QFile file(m_source.programPath);
    m_programText = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    m_programFunctions = functionsOf(content.lines);
    return true;
}

bool Import::numberSteps(const RunLogMatch::Found *found, QString *error)
{
    if (found) {
        if (const std::optional<QList<int>> rows = rowsOfStoredSteps(m_log, found->steps)) {
            m_log.setStepRows(*rows);
            return true;
        }
    }
    int missing = 0;
    if (!m_programFunctions.isEmpty()) {
        const std::optional<QList<int>> rows = rowsInProgram(m_log, m_programFunctions, &missing);
        if (!rows) {
            *error = QStringLiteral("%1:%2: the step \"%3\" is not in the program %4")
                         .arg(m_source.logPath)
                         .arg(m_log.firstLineOf(missing))
                         .arg(m_log.steps().at(missing).function, m_source.programPath);
            return false;
        }
        m_log.setStepRows(*rows);
        return true;
    }
    // The run's own program, when the store kept it; else the steps keep the order they ran in.
    if (found && !found->programText.isEmpty()) {
        if (const std::optional<QList<int>> rows = rowsInProgram(m_log, functionsOfText(found->programText), &missing))
            m_log.setStepRows(*rows);
    }
    return true;
}

std::optional<RunImport::Outcome> Import::create(const QString &uuid, QString *error)
{
    const QDateTime started = m_log.firstStepStart();
    const QString result = m_log.anyVerdictFailed() ? QStringLiteral("FAIL") : QStringLiteral("PASS");
    const QString program
        = m_source.programPath.isEmpty() ? QString() : QFileInfo(m_source.programPath).absoluteFilePath();
    const QString message = QStringLiteral("Imported from %1: the log tells neither how the run ended nor which load "
                                           "it ran; its result is its verdicts'.")
                                .arg(logPath());
    RunImport::Outcome outcome{RunImport::Kind::Created, uuid, m_log.sampleCount(), 0};
    const bool done = exec(m_db,
                          QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, model, rated_current, "
                                         "settings_text, station, started, ended, result, message, sample_count, "
                                         "imported_from) VALUES (?, ?, ?, '', '', '', ?, ?, ?, ?, ?, ?, ?)"),
                          {uuid, program, m_programText, m_source.station, isoText(started),
                              isoText(m_log.lastRowMade()), result, message, m_log.sampleCount(), logPath()},
                          error)
        && insertSamples(uuid, started, {}, &outcome.samplesAdded, error) && insertSteps(uuid, error);
    return done ? std::optional(outcome) : std::nullopt;
}

std::optional<RunImport::Outcome> Import::complete(const RunLogMatch::Found &found, QString *error)
{
    RunImport::Outcome outcome{RunImport::Kind::Completed, found.uuid, m_log.sampleCount(), 0};
    if (found.ended && found.elapsed.size() == m_log.sampleCount() && !found.steps.isEmpty()
        && found.samplesMade.value_or(0) >= m_log.sampleCount()) {
        outcome.kind = RunImport::Kind::AlreadyStored;
        return outcome;
    }
    if (!insertSamples(found.uuid, found.started, found.elapsed, &outcome.samplesAdded, error))
        return std::nullopt;
    if (found.steps.isEmpty() && !insertSteps(found.uuid, error))
        return std::nullopt;
    const qint64 made = std::max(found.samplesMade.value_or(0), m_log.sampleCount());
    if (!exec(m_db, QStringLiteral("UPDATE runs SET sample_count = ?, imported_from = ? WHERE uuid = ?"),
            {made, logPath(), found.uuid}, error))
        return std::nullopt;
    if (found.ended)
        return outcome;
    const QString message = QStringLiteral("Completed from its log %1: the store had not kept its end, and the log "
                                           "does not tell how the run ended; its result is its verdicts'.")
                                .arg(logPath());
    if (!exec(m_db, QStringLiteral("UPDATE runs SET ended = ?, result = ?, message = ? WHERE uuid = ?"),
            {isoText(m_log.lastRowMade()), m_log.anyVerdictFailed() ? QStringLiteral("FAIL") : QStringLiteral("PASS"),
                message, found.uuid},
            error))
        return std::nullopt;
    return outcome;
}

bool Import::insertSamples(
    const QString &uuid, const QDateTime &started, const QHash<qint64, double> &stored, qint64 *added, QString *error)
{
    QSqlQuery insert(m_db);
    if (!insert.prepare(QStringLiteral("INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) VALUES "
                                       "(?, ?, ?, ?, ?, ?, ?, ?, ?)"))) {
        *error = insert.lastError().text();
        return false;
    }
    // The log's times are to the second, the store's to the millisecond: a sample never comes
    // before the one the store holds ahead of it.
    double last = 0;
    for (qint64 seq = 1; seq <= m_log.sampleCount(); ++seq) {
        if (const auto kept = stored.constFind(seq); kept != stored.cend()) {
            last = std::max(last, *kept);
            continue;
        }
        const Sample sample = m_log.sample(seq, started);
        last = std::max(last, sample.elapsedSeconds);
        for (const QVariant &value : {QVariant(uuid), QVariant(seq), QVariant(last), numberOrNull(sample.volts),
                 numberOrNull(sample.amps), numberOrNull(sample.watts), numberOrNull(sample.ampHours),
                 numberOrNull(sample.wattHours), QVariant(sample.step)})
            insert.addBindValue(value);
        if (!insert.exec()) {
            *error = insert.lastError().text();
            return false;
        }
        ++*added;
    }
    return true;
}

bool Import::insertSteps(const QString &uuid, QString *error)
{
    for (const StepRecord &step : m_log.steps()) {
        if (!exec(m_db,
                QStringLiteral("INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, verdict, "
                               "value, ah, wh, v, i) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {uuid, step.row, step.function, isoText(step.started), step.seconds, stepEndText(step.end),
                    step.verdict ? step.verdict->passText() : QString(), step.verdict ? step.verdict->value : QString(),
                    step.ampHours, step.wattHours, step.volts, step.amps},
                error))
            return false;
    }
    return true;
}

} // namespace

std::optional<RunImport::Outcome> RunImport::into(const QString &storePath, const Source &source, QString *error)
{
    const QString connection = QStringLiteral("RunImport-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const auto removeConnection = qScopeGuard([&connection] { QSqlDatabase::removeDatabase(connection); });
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(storePath);
    // A window that runs a test holds the file for a commit at a time.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    const auto walMode = [&db, error] {
        QSqlQuery wal(db);
        if (wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return true;
        *error = wal.lastError().text();
        return false;
    };
    std::optional<Outcome> outcome;
    if (!db.open()) {
        *error = QStringLiteral("%1: %2").arg(storePath, db.lastError().text());
    } else if (!walMode()) {
        *error = QStringLiteral("%1: %2").arg(storePath, *error);
    } else if (StoreSchema::migrate(db, error) < 0) {
        *error = QStringLiteral("%1: %2").arg(storePath, *error);
    } else {
        outcome = Import(db, source).run(error);
    }
    db.close();
    db = QSqlDatabase();
    return outcome;
}
