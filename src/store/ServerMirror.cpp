#include "store/ServerMirror.h"

#include "results/LoadOffText.h"
#include "settings/IniSecrets.h"
#include "store/PgCopyRows.h"
#include "store/PgParams.h"
#include "store/PgSchemaTarget.h"
#include "store/SampleColumns.h"
#include "store/StoreSchema.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

bool exec(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    *error = query.lastError().text().trimmed();
    return false;
}

bool exec(QSqlQuery &query, const QString &sql, QString *error)
{
    if (query.exec(sql))
        return true;
    *error = query.lastError().text().trimmed();
    return false;
}

const QString RunColumns = QStringLiteral(
    "uuid, program_name, program_text, model, rated_current, settings_text, station, started, ended, result, message, "
    "sample_count, log_path, imported_from, load_off, load_off_address, load_off_since, load_off_confirmed_at, "
    "load_off_amps");

// The fields of a run's row that its end gives it, and that a later try to reach its load
// (load_off...) or an import may change.
bool isEndField(const QString &column)
{
    static const QStringList fields{QStringLiteral("ended"), QStringLiteral("result"), QStringLiteral("message"),
        QStringLiteral("sample_count"), QStringLiteral("load_off"), QStringLiteral("load_off_address"),
        QStringLiteral("load_off_since"), QStringLiteral("load_off_confirmed_at"), QStringLiteral("load_off_amps")};
    return fields.contains(column);
}

// What of a run's row can change once it has ended, as one text that the bench and the server
// make alike: a run whose text differs on the server is sent again.
const QString EndSignature = QStringLiteral(
    "COALESCE(r.ended, '') || '|' || COALESCE(r.result, '') || '|' || COALESCE(CAST(r.sample_count AS TEXT), '') || "
    "'|' || COALESCE(r.imported_from, '') || '|' || COALESCE(r.load_off, '') || '|' || "
    "COALESCE(r.load_off_confirmed_at, '')");

// Errors that say the server, not the run, is the trouble: its connection, its resources, a lock
// or a time limit, an administrator, the tables themselves. A run is tried again with the round.
bool isServerCondition(const QString &sqlState)
{
    static const QStringList classes{QStringLiteral("08"), QStringLiteral("25"), QStringLiteral("28"),
        QStringLiteral("3D"), QStringLiteral("3F"), QStringLiteral("40"), QStringLiteral("53"), QStringLiteral("55"),
        QStringLiteral("57"), QStringLiteral("58"), QStringLiteral("F0"), QStringLiteral("XX")};
    static const QStringList states{
        QStringLiteral("42501"), QStringLiteral("42P01"), QStringLiteral("42703"), QStringLiteral("42883")};
    return sqlState.size() != 5 || classes.contains(sqlState.left(2)) || states.contains(sqlState);
}

// The server's clock stamps the round and the program's end, so that a bench's clock never makes a
// station look silent or alive. A station is its id; its name may change with the settings.
const QString StationStateUpsert = QStringLiteral(
    "INSERT INTO stations (station_id, station, activity, run_uuid, program, step, steps, row, function, v, i, ah, "
    "elapsed_s, step_left_s, estimated_end, last_result, load_off, load_off_address, load_off_since, "
    "load_off_confirmed_at, heard_at) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, now() + "
    "make_interval(secs => $15), $16, $17, $18, $19, $20, now()) ON CONFLICT (station_id) DO UPDATE SET station = "
    "EXCLUDED.station, activity = "
    "EXCLUDED.activity, run_uuid = "
    "EXCLUDED.run_uuid, program = EXCLUDED.program, step = EXCLUDED.step, steps = EXCLUDED.steps, row = EXCLUDED.row, "
    "function = EXCLUDED.function, v = EXCLUDED.v, i = EXCLUDED.i, ah = EXCLUDED.ah, elapsed_s = EXCLUDED.elapsed_s, "
    "step_left_s = EXCLUDED.step_left_s, estimated_end = EXCLUDED.estimated_end, last_result = EXCLUDED.last_result, "
    "load_off = EXCLUDED.load_off, load_off_address = EXCLUDED.load_off_address, load_off_since = "
    "EXCLUDED.load_off_since, load_off_confirmed_at = EXCLUDED.load_off_confirmed_at, heard_at = EXCLUDED.heard_at");

// NULL for what the station does not know, and for every running field once its run is over.
PgParams stationStateParams(const StationStateHolder::Snapshot &snapshot)
{
    const StationState &state = snapshot.state;
    const bool running = state.activity == StationState::Activity::Running;
    PgParams params;
    const auto text = [&](const QString &value) {
        if (value.isEmpty())
            params.null();
        else
            params.text(value);
    };
    const auto count = [&](int value) {
        if (running && value > 0)
            params.int4(value);
        else
            params.null();
    };
    const auto number = [&](double value) {
        if (running && std::isfinite(value))
            params.float8(value);
        else
            params.null();
    };
    const auto seconds = [&](const std::optional<double> &value) { number(value.value_or(qQNaN())); };
    static const char *const Activities[] = {"IDLE", "RUNNING", "FINISHED"};
    params.text(state.stationId).text(state.station).text(QString::fromLatin1(Activities[int(state.activity)]));
    text(state.runUuid);
    text(state.program);
    count(state.step);
    count(state.steps);
    count(state.row);
    text(running ? state.function : QString());
    number(state.volts);
    number(state.amps);
    number(state.runAmpHours);
    number(state.elapsedSeconds);
    seconds(state.stepSecondsLeft);
    seconds(snapshot.secondsToEnd);
    text(state.lastResult);
    text(LoadOffText::stateText(state.loadOff.state));
    text(state.loadOff.address);
    text(LoadOffText::timeText(state.loadOff.since));
    text(LoadOffText::timeText(state.loadOff.confirmedAt));
    return params;
}

// The server's reason on one line of a length a list of runs can show: a reason may quote a whole
// value (a settings file, say), which says nothing more about why.
QString oneLine(const QString &text)
{
    constexpr int Longest = 160;
    QString line = text.section(u'\n', 0, 0).trimmed();
    if (line.size() > Longest)
        line = line.left(Longest - 1) + QChar(0x2026);
    return line;
}

// What a bench wrote of itself by its name alone, before it kept an id: gone once it has not been
// heard from that way for a while, or it would stand beside the station it became. A bench of an
// earlier version that has the same name still writes there every round and stays.
const QString StationByNameRetire
    = QStringLiteral("DELETE FROM station_states WHERE station = $1 AND heard_at < now() - INTERVAL '1 minute'");

} // namespace

ServerMirror::ServerMirror(QString sqlitePath, StoreServer server)
    : m_sqlitePath(std::move(sqlitePath)), m_server(std::move(server)), m_state(m_sqlitePath)
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_localConnection = QStringLiteral("MirrorLocal-") + id;
}

ServerMirror::~ServerMirror()
{
    dropServer();
    if (QSqlDatabase::contains(m_localConnection)) {
        QSqlDatabase::database(m_localConnection, false).close();
        QSqlDatabase::removeDatabase(m_localConnection);
    }
}

bool ServerMirror::openLocal(QString *error)
{
    if (QSqlDatabase::contains(m_localConnection) && QSqlDatabase::database(m_localConnection, false).isOpen())
        return true;
    QSqlDatabase db = QSqlDatabase::contains(m_localConnection)
        ? QSqlDatabase::database(m_localConnection, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_localConnection);
    db.setDatabaseName(m_sqlitePath);
    // Read only: the mirror never takes the write lock the run's samples need.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db.open()) {
        *error = QStringLiteral("%1: %2").arg(m_sqlitePath, db.lastError().text().trimmed());
        return false;
    }
    return true;
}

bool ServerMirror::openServer(QString *error)
{
    if (m_pg.isOpen())
        return true;
    dropServer();
    if (!m_pg.open(m_server.connectionOptions())) {
        *error = QStringLiteral("the lab server %1 cannot be reached: %2")
                     .arg(m_server.describe(), oneLine(m_pg.errorText()));
        dropServer();
        return false;
    }
    m_socket.hold(m_pg.socket());
    QString why;
    PgSchemaTarget target(m_pg);
    // Samples are copied into a table of the session's own, which each commit empties, and go on
    // from there past those the server has: a copy has no way of its own to skip them.
    const QString batchTable
        = QStringLiteral("CREATE TEMPORARY TABLE sample_batch (run_uuid TEXT, seq INTEGER, %1 DOUBLE PRECISION, step "
                         "INTEGER) ON COMMIT DELETE ROWS")
              .arg(QString::fromLatin1(SampleColumns::names())
                       .replace(QStringLiteral(", "), QStringLiteral(" DOUBLE PRECISION, ")));
    if (waitFor([&] { return StoreSchema::migrate(target, &why) >= 0 && target.exec(batchTable, &why); }))
        return true;
    *error = QStringLiteral("the lab server %1 cannot take runs: %2").arg(m_server.describe(), oneLine(why));
    dropServer();
    return false;
}

void ServerMirror::dropServer()
{
    m_known.clear();
    m_settledVersion = -1;
    m_socket.release();
    m_pg.close();
}

QString ServerMirror::refusal(const QString &uuid) const
{
    const ForwardState::SetAside *run = m_state.setAside(uuid);
    return run ? run->reason : QString();
}

ServerMirror::Outcome ServerMirror::forwardAll()
{
    Outcome outcome;
    if (!QFileInfo::exists(m_sqlitePath))
        return outcome;
    if (!openLocal(&outcome.error))
        return outcome;
    QSqlDatabase local = QSqlDatabase::database(m_localConnection, false);
    // A bench file its writer has not brought to this version yet lacks what a round reads: the
    // round waits for it.
    if (StoreSchema::version(local) < StoreSchema::latestVersion())
        return outcome;
    QSqlQuery query(local);
    // Nothing was committed locally since everything was last found on the server: no need to ask it.
    if (!exec(query, QStringLiteral("PRAGMA data_version"), &outcome.error) || !query.next())
        return outcome;
    const qint64 version = query.value(0).toLongLong();
    if (version == m_settledVersion)
        return outcome;
    if (stopping()) {
        outcome.error = QStringLiteral("forwarding stopped with the program");
        return outcome;
    }
    if (!openServer(&outcome.error))
        return outcome;
    // The end is read with the samples' count in one reading: a run whose end went in ahead of
    // samples that could not be written is whole once they are there too.
    if (!exec(query,
            QStringLiteral("SELECT uuid, COALESCE(result, '') <> '', (SELECT MAX(seq) FROM samples s WHERE "
                           "s.run_uuid = r.uuid), %1, COALESCE(imported_from, '') FROM runs r ORDER BY started")
                .arg(EndSignature),
            &outcome.error))
        return outcome;
    QList<LocalRun> runs;
    while (query.next())
        // As the server holds them: its text has no NUL.
        runs.append({query.value(0).toString(), query.value(1).toBool(), query.value(2).toLongLong(),
            PgParams::withoutNul(query.value(3).toString()), PgParams::withoutNul(query.value(4).toString())});
    query.finish();
    m_state.load(local);
    // What the server lacks: a run's end or what changed of it since, or samples the bench holds.
    // A run whose program was killed never ends, and lacks nothing once its samples are there.
    const auto lacking = [this](const LocalRun &run) {
        const auto known = m_known.constFind(run.uuid);
        return known == m_known.cend() || !(isWhole(run, *known) || (!run.ended && known->sentSeq >= run.lastSeq));
    };
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_whole.clear();
    for (const LocalRun &run : runs) {
        const auto known = m_known.constFind(run.uuid);
        if (known == m_known.cend() || !isWhole(run, *known)) {
            const ForwardState::SetAside *aside = m_state.setAside(run.uuid);
            if (aside && !m_offerRefusedNow && aside->nextTry > now)
                continue;
            Failure failure;
            const RunOutcome sent = forwardRun(run, &outcome, &failure);
            if (sent == RunOutcome::Failed) {
                outcome.error = QStringLiteral("the lab server %1: %2").arg(m_server.describe(), failure.text);
                break;
            }
            if (sent == RunOutcome::Refused) {
                const ForwardState::SetAside &aside = m_state.refuse(run.uuid, failure.text, now);
                outcome.refused.append({run.uuid, aside.reason, aside.nextTry});
                continue;
            }
        }
        const auto held = m_known.constFind(run.uuid);
        if (held != m_known.cend() && isWhole(run, *held)) {
            m_whole.insert(run.uuid);
            m_state.markWhole(run.uuid);
        } else if (held != m_known.cend() && !run.ended && held->sentSeq >= run.lastSeq) {
            m_state.markCaughtUp(run.uuid, run.lastSeq);
        } else {
            m_state.markNotWhole(run.uuid);
        }
    }
    outcome.runsWaiting = int(std::count_if(runs.cbegin(), runs.cend(), lacking));
    // A record that cannot be written now is kept here and written after a later round.
    QString unsaved;
    m_state.save(&unsaved);
    if (!outcome.error.isEmpty())
        // A connection that failed once is made afresh next round, and what the server holds asked again.
        dropServer();
    else if (outcome.runsWaiting == 0)
        m_settledVersion = version;
    return outcome;
}

bool ServerMirror::sendStationState(const StationStateHolder::Snapshot &snapshot, QString *error)
{
    if (stopping()) {
        *error = QStringLiteral("forwarding stopped with the program");
        return false;
    }
    if (!openServer(error))
        return false;
    Failure failure;
    if (serverExec(StationStateUpsert, stationStateParams(snapshot), &failure)
        && serverExec(StationByNameRetire, PgParams().text(snapshot.state.station), &failure))
        return true;
    *error = QStringLiteral("the lab server %1: %2").arg(m_server.describe(), failure.text);
    dropServer();
    return false;
}

bool ServerMirror::serverExec(const QString &sql, const PgParams &params, Failure *failure, PgResult *answer)
{
    PgResult result = waitFor([&] { return m_pg.exec(sql, params); });
    if (!result.ok())
        return failed(result, failure);
    if (answer)
        *answer = std::move(result);
    return true;
}

bool ServerMirror::failed(const PgResult &result, Failure *failure)
{
    failure->text = oneLine(result.error());
    failure->sqlState = result.sqlState();
    failure->server = true;
    return false;
}

bool ServerMirror::refusesTheRun(const Failure &failure)
{
    if (!failure.server || isServerCondition(failure.sqlState))
        return false;
    // The statement was refused: the server answers, unless the connection went with it.
    if (m_pg.isBroken())
        return false;
    return waitFor([this] { return m_pg.exec(QStringLiteral("SELECT 1")); }).ok();
}

bool ServerMirror::serverProgress(const QString &uuid, Progress *progress, Failure *failure)
{
    if (auto known = m_known.constFind(uuid); known != m_known.cend()) {
        *progress = *known;
        return true;
    }
    PgResult answer;
    if (!serverExec(QStringLiteral("SELECT COALESCE(result, '') <> '', (SELECT COALESCE(MAX(seq), 0) FROM samples "
                                   "WHERE run_uuid = $1), %1, COALESCE(imported_from, '') FROM runs r WHERE uuid = $1")
                        .arg(EndSignature),
            PgParams().text(uuid), failure, &answer))
        return false;
    *progress = {};
    if (answer.rows() > 0) {
        progress->present = true;
        progress->ended = answer.boolean(0, 0);
        progress->sentSeq = answer.int64(0, 1);
        progress->endSignature = answer.text(0, 2);
        progress->importedFrom = answer.text(0, 3);
    }
    m_known.insert(uuid, *progress);
    return true;
}

bool ServerMirror::isWhole(const LocalRun &run, const Progress &progress)
{
    return run.ended && progress.present && progress.sentSeq >= run.lastSeq
        && progress.endSignature == run.endSignature;
}

ServerMirror::RunOutcome ServerMirror::forwardRun(const LocalRun &run, Outcome *outcome, Failure *failure)
{
    const QString &uuid = run.uuid;
    const auto refusedOrFailed
        = [this, failure] { return refusesTheRun(*failure) ? RunOutcome::Refused : RunOutcome::Failed; };
    Progress progress;
    if (!serverProgress(uuid, &progress, failure))
        return refusedOrFailed();
    // A run the server holds up to its last sample waits for more, or for its end; so does one
    // whose program was killed, without costing each round a transaction.
    if (isWhole(run, progress) || (!run.ended && progress.present && progress.sentSeq >= run.lastSeq))
        return RunOutcome::Forwarded;
    // An import may have filled in samples below the server's last one: all are offered again, and
    // the server's key turns away those it has.
    qint64 after = progress.importedFrom == run.importedFrom ? progress.sentSeq : 0;
    // One transaction per batch: a server that goes away keeps whole batches, and the next round
    // starts after the last of them. The end goes with the last batch, unless the server has
    // one already.
    for (bool done = false; !done;) {
        if (stopping()) {
            failure->text = QStringLiteral("forwarding stopped with the program");
            return RunOutcome::Failed;
        }
        if (!waitFor([&] { return m_pg.begin(&failure->text); })) {
            failure->server = false;
            return RunOutcome::Failed;
        }
        qint64 last = after, count = 0;
        bool sent = sendHeader(uuid, run.ended && progress.ended, failure)
            && sendSamples(uuid, after, &last, &count, failure);
        done = count == 0 || last >= run.lastSeq;
        if (sent && done && run.ended)
            sent = sendSteps(uuid, failure) && sendChart(uuid, failure) && sendHeader(uuid, true, failure);
        if (sent)
            sent = serverExec(QStringLiteral("COMMIT"), PgParams(), failure);
        if (!sent)
            waitFor([this] { return m_pg.rollback(); });
        if (!sent)
            return refusedOrFailed();
        progress.present = true;
        progress.sentSeq = std::max(progress.sentSeq, last);
        after = last;
        if (done && run.ended) {
            progress.ended = true;
            progress.endSignature = run.endSignature;
            progress.importedFrom = run.importedFrom;
        }
        m_known.insert(uuid, progress);
        outcome->samplesSent += count;
    }
    ++outcome->runsTouched;
    if (isWhole(run, progress))
        ++outcome->runsCompleted;
    return RunOutcome::Forwarded;
}

bool ServerMirror::sendHeader(const QString &uuid, bool withEnd, Failure *failure)
{
    QSqlQuery local(QSqlDatabase::database(m_localConnection, false));
    local.prepare(QStringLiteral("SELECT %1 FROM runs WHERE uuid = ?").arg(RunColumns));
    local.addBindValue(uuid);
    if (!exec(local, &failure->text))
        return false;
    if (!local.next()) {
        failure->text = QStringLiteral("run %1 has left the bench's store").arg(uuid);
        return false;
    }
    // Until the run's end is sent, the server's copy has no result: a run that is found with one
    // is whole there.
    const int columns = local.record().count();
    QStringList marks, updates;
    PgParams params;
    for (int column = 0; column < columns; ++column) {
        marks.append(QStringLiteral("$%1").arg(column + 1));
        const QString name = local.record().fieldName(column);
        if (column > 0)
            updates.append(QStringLiteral("%1 = EXCLUDED.%1").arg(name));
        const QVariant value = local.value(column);
        if (name == u"program_text")
            // The server holds the program as bytes, a NUL as well.
            value.isNull() ? params.null() : params.bytes(value.toString().toUtf8());
        else if (name == u"settings_text")
            // Runs stored by earlier versions still hold the secrets of their settings file.
            value.isNull() ? params.null() : params.text(IniSecrets::withSecretsBlanked(value.toString()));
        else if (!withEnd && isEndField(name))
            // The run has no result yet.
            name == u"result" || name == u"message" ? params.text(QString()) : params.null();
        else
            params.value(value);
    }
    return serverExec(QStringLiteral("INSERT INTO runs (%1) VALUES (%2) ON CONFLICT (uuid) DO UPDATE SET %3")
                          .arg(RunColumns, marks.join(u','), updates.join(u',')),
        params, failure);
}

bool ServerMirror::sendSamples(const QString &uuid, qint64 after, qint64 *last, qint64 *count, Failure *failure)
{
    QSqlQuery local(QSqlDatabase::database(m_localConnection, false));
    local.setForwardOnly(true);
    const QString figures = QString::fromLatin1(SampleColumns::names());
    constexpr int FigureCount = int(SampleColumns::Figures.size());
    local.prepare(
        QStringLiteral("SELECT seq, %1, step FROM samples WHERE run_uuid = ? AND seq > ? ORDER BY seq LIMIT %2")
            .arg(figures)
            .arg(SamplesPerBatch));
    local.addBindValue(uuid);
    local.addBindValue(after);
    if (!exec(local, &failure->text))
        return false;
    // The batch goes in the server's binary copy format: no number is written out as text and read
    // back, and no statement is planned per sample.
    PgCopyRows rows(SamplesPerBatch * (FigureCount * 12 + 60));
    *count = 0;
    while (local.next()) {
        *last = local.value(0).toLongLong();
        rows.startRow(qint16(FigureCount + 3));
        rows.text(uuid);
        rows.int4(qint32(*last));
        for (int column = 1; column <= FigureCount; ++column) {
            bool ok = false;
            const QVariant value = local.value(column);
            const double number = value.toDouble(&ok);
            // A figure the load did not give (NaN, infinity) is kept as NULL, as the bench's readers expect.
            if (value.isNull() || !ok || !std::isfinite(number))
                rows.null();
            else
                rows.float8(number);
        }
        rows.int4(local.value(FigureCount + 1).toInt());
        ++*count;
    }
    if (*count == 0)
        return true;
    const QString columns = QStringLiteral("run_uuid, seq, %1, step").arg(figures);
    PgResult copied = waitFor([&] {
        return m_pg.copyIn(
            QStringLiteral("COPY sample_batch (%1) FROM STDIN (FORMAT binary)").arg(columns), rows.finished());
    });
    if (!copied.ok())
        return failed(copied, failure);
    // The samples' key turns away those the server has already: an import offers them all again.
    return serverExec(QStringLiteral("INSERT INTO samples (%1) SELECT %1 FROM sample_batch ON CONFLICT (run_uuid, "
                                     "seq) DO NOTHING")
                          .arg(columns),
        PgParams(), failure);
}

bool ServerMirror::sendSteps(const QString &uuid, Failure *failure)
{
    if (!serverExec(QStringLiteral("DELETE FROM steps WHERE run_uuid = $1"), PgParams().text(uuid), failure))
        return false;
    QSqlQuery local(QSqlDatabase::database(m_localConnection, false));
    const QString columns
        = QStringLiteral("run_uuid, step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i");
    local.prepare(QStringLiteral("SELECT %1 FROM steps WHERE run_uuid = ?").arg(columns));
    local.addBindValue(uuid);
    if (!exec(local, &failure->text))
        return false;
    const QString insert
        = QStringLiteral("INSERT INTO steps (%1) VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12)").arg(columns);
    while (local.next()) {
        PgParams params;
        for (int column = 0; column < 12; ++column)
            params.value(local.value(column));
        if (!serverExec(insert, params, failure))
            return false;
    }
    return true;
}

bool ServerMirror::sendChart(const QString &uuid, Failure *failure)
{
    QSqlDatabase localDb = QSqlDatabase::database(m_localConnection, false);
    // A bench file of an earlier version, which this program has not written to yet, has no table
    // of charts; its runs, like those an earlier version stored, go without one.
    if (!localDb.tables().contains(QStringLiteral("run_charts")))
        return true;
    QSqlQuery local(localDb);
    local.prepare(QStringLiteral("SELECT format, chart FROM run_charts WHERE run_uuid = ?"));
    local.addBindValue(uuid);
    if (!exec(local, &failure->text))
        return false;
    if (!local.next())
        return true;
    return serverExec(QStringLiteral("INSERT INTO run_charts (run_uuid, format, chart) VALUES ($1, $2, $3) ON CONFLICT "
                                     "(run_uuid) DO UPDATE SET format = EXCLUDED.format, chart = EXCLUDED.chart"),
        PgParams().text(uuid).int4(local.value(0).toInt()).bytes(local.value(1).toByteArray()), failure);
}
