#include "store/RunArchive.h"

#include "results/ChartHistoryBytes.h"
#include "results/LoadOffText.h"
#include "settings/IniFile.h"
#include "settings/IniSecrets.h"
#include "store/PgNoticeSink.h"
#include "store/SampleColumns.h"
#include "store/StoreSchema.h"
#include "store/StoredRunChart.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <limits>

namespace {

const QString Sqlite = QStringLiteral("QSQLITE");

QDateTime fromIso(const QVariant &text) { return QDateTime::fromString(text.toString(), Qt::ISODateWithMs); }

bool run(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

// The columns every reading of a run starts with, in the order runFrom() takes them.
const QString RunColumns = QStringLiteral(
    "r.uuid, r.program_name, r.model, r.rated_current, r.station, r.started, r.ended, r.result, r.message, "
    "r.sample_count, r.log_path, r.imported_from, r.load_off, r.load_off_address, r.load_off_since, "
    "r.load_off_confirmed_at, r.load_off_amps");
constexpr int RunColumnCount = 17;

LoadOff loadOffFrom(const QSqlQuery &query, int first)
{
    LoadOff off;
    off.state = LoadOffText::stateFrom(query.value(first).toString());
    off.address = query.value(first + 1).toString();
    off.since = fromIso(query.value(first + 2));
    off.confirmedAt = fromIso(query.value(first + 3));
    if (!query.isNull(first + 4))
        off.amps = query.value(first + 4).toDouble();
    return off;
}

StoredRun runFrom(const QSqlQuery &query)
{
    StoredRun run;
    run.uuid = query.value(0).toString();
    run.programName = query.value(1).toString();
    run.model = query.value(2).toString();
    run.ratedCurrent = query.value(3).toString();
    run.station = query.value(4).toString();
    run.started = fromIso(query.value(5));
    run.ended = fromIso(query.value(6));
    run.result = query.value(7).toString();
    run.message = query.value(8).toString();
    if (!query.isNull(9))
        run.samplesMade = query.value(9).toLongLong();
    run.logPath = query.value(10).toString();
    run.importedFrom = query.value(11).toString();
    run.loadOff = loadOffFrom(query, 12);
    return run;
}

// Each word of a LIKE pattern stands for itself.
QString likeText(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'%', QStringLiteral("\\%"))
        .replace(u'_', QStringLiteral("\\_"));
    return u'%' + text.toLower() + u'%';
}

} // namespace

RunArchive::RunArchive(QString driver, QString path, StoreServer server)
    : m_driver(std::move(driver)),
      m_path(std::move(path)),
      m_server(std::move(server)),
      m_connection(QStringLiteral("RunArchive-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{ }

RunArchive RunArchive::local(const QString &sqlitePath) { return RunArchive(Sqlite, sqlitePath, {}); }

RunArchive RunArchive::server(const StoreServer &server)
{
    // A person reading a run of millions of samples waits for it; the server's other limits stay.
    StoreServer reading = server;
    reading.statementTimeoutMs = std::max(reading.statementTimeoutMs, ReadingTimeoutMs);
    return RunArchive(StoreServer::Driver, {}, reading);
}

RunArchive::RunArchive(RunArchive &&other) noexcept
    : m_driver(other.m_driver), m_path(other.m_path), m_server(other.m_server), m_connection(other.m_connection)
{
    other.m_connection.clear();
}

RunArchive::~RunArchive()
{
    if (m_connection.isEmpty() || !QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

QString RunArchive::describe() const
{
    return m_driver == Sqlite ? QFileInfo(m_path).absoluteFilePath() : m_server.describe();
}

bool RunArchive::open(QString *error)
{
    if (!QSqlDatabase::isDriverAvailable(m_driver)) {
        *error = QStringLiteral("Qt's %1 driver is not installed (Debian: %2)")
                     .arg(m_driver,
                         m_driver == Sqlite ? QStringLiteral("libqt6sql6-sqlite") : QStringLiteral("libqt6sql6-psql"));
        return false;
    }
    if (m_driver == Sqlite && !QFileInfo::exists(m_path)) {
        *error = QStringLiteral("%1: no run has been stored here yet").arg(describe());
        return false;
    }
    QSqlDatabase db;
    if (QSqlDatabase::contains(m_connection)) {
        db = QSqlDatabase::database(m_connection, false);
    } else if (m_driver == Sqlite) {
        db = QSqlDatabase::addDatabase(Sqlite, m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    } else {
        db = m_server.addConnection(m_connection);
    }
    if (!db.isOpen()) {
        if (!db.open()) {
            *error = QStringLiteral("%1: %2").arg(describe(), db.lastError().text().trimmed());
            return false;
        }
        PgNoticeSink::quiet(db);
    }
    if (StoreSchema::migrate(db, error) < 0) {
        *error = QStringLiteral("%1: %2").arg(describe(), *error);
        return false;
    }
    return true;
}

QList<StoredRun> RunArchive::runs(const Filter &filter, QString *error) const
{
    const bool local = m_driver == Sqlite;
    QString sql = QStringLiteral("SELECT %1, (SELECT COUNT(*) FROM samples s WHERE s.run_uuid = r.uuid), %2, "
                                 "(SELECT SUM(t.ah) FROM steps t WHERE t.run_uuid = r.uuid), "
                                 "(SELECT SUM(t.wh) FROM steps t WHERE t.run_uuid = r.uuid) FROM runs r WHERE 1 = 1")
                      .arg(RunColumns,
                          local ? QStringLiteral("(SELECT f.reason FROM forward_state f WHERE f.run_uuid = r.uuid)")
                                : QStringLiteral("NULL"));
    QVariantList values;
    if (filter.waiting && local)
        sql += QStringLiteral(
            " AND NOT EXISTS (SELECT 1 FROM forward_state f WHERE f.run_uuid = r.uuid AND (f.whole = 1 OR (f.whole = 2 "
            "AND COALESCE(r.result, '') = '' AND f.tries >= (SELECT COALESCE(MAX(s.seq), 0) FROM samples s WHERE "
            "s.run_uuid = r.uuid))))");
    const auto contains = [&](const char *column, const QString &text) {
        if (text.isEmpty())
            return;
        sql += QStringLiteral(" AND LOWER(r.%1) LIKE ? ESCAPE '\\'").arg(QString::fromLatin1(column));
        values.append(likeText(text));
    };
    contains("program_name", filter.program);
    contains("model", filter.model);
    contains("station", filter.station);
    if (!filter.result.isEmpty()) {
        sql += QStringLiteral(" AND COALESCE(r.result, '') = ?");
        values.append(filter.result.compare(QStringLiteral("UNFINISHED"), Qt::CaseInsensitive) == 0
                // Not QString(): the drivers bind a null text as NULL, which equals nothing.
                ? QStringLiteral("")
                : filter.result.toUpper());
    }
    // Start times are ISO text, so that days compare as text.
    if (filter.from.isValid()) {
        sql += QStringLiteral(" AND r.started >= ?");
        values.append(filter.from.toString(Qt::ISODate));
    }
    if (filter.to.isValid()) {
        sql += QStringLiteral(" AND r.started < ?");
        values.append(filter.to.addDays(1).toString(Qt::ISODate));
    }
    sql += QStringLiteral(" ORDER BY r.started DESC, r.uuid");
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    QList<StoredRun> found;
    if (!query.prepare(sql)) {
        *error = query.lastError().text();
        return found;
    }
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!::run(query, error))
        return found;
    while (query.next()) {
        StoredRun run = runFrom(query);
        run.sampleCount = query.value(RunColumnCount).toLongLong();
        run.refusal = query.value(RunColumnCount + 1).toString();
        // A run whose program was killed has no steps, and so no totals.
        if (!query.value(RunColumnCount + 2).isNull())
            run.totals = RunTotals{query.value(RunColumnCount + 2).toDouble(),
                query.value(RunColumnCount + 3).toDouble(), StoredRun::secondsOf(run)};
        found.append(run);
    }
    return found;
}

std::optional<StoredRun> RunArchive::run(const QString &uuidOrPrefix, QString *error, Samples samples) const
{
    const QString key = uuidOrPrefix.trimmed().toLower();
    if (key.isEmpty() || key.contains(QRegularExpression(QStringLiteral("[^0-9a-f-]")))) {
        *error = QStringLiteral("\"%1\" is not a run's UUID").arg(uuidOrPrefix);
        return std::nullopt;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1, r.program_text, r.settings_text FROM runs r WHERE r.uuid LIKE ? LIMIT 2")
                      .arg(RunColumns));
    query.addBindValue(key + u'%');
    if (!::run(query, error))
        return std::nullopt;
    if (!query.next()) {
        *error = QStringLiteral("no run %1 in %2").arg(uuidOrPrefix, describe());
        return std::nullopt;
    }
    StoredRun run = runFrom(query);
    // The server keeps the program as its UTF-8 bytes, the bench as text.
    const QVariant program = query.value(RunColumnCount);
    run.programText
        = program.typeId() == QMetaType::QByteArray ? QString::fromUtf8(program.toByteArray()) : program.toString();
    // Runs stored before secrets were blanked at the source still hold them.
    run.settingsText = IniSecrets::withSecretsBlanked(query.value(RunColumnCount + 1).toString());
    if (query.next()) {
        *error = QStringLiteral("\"%1\" names more than one run; give more of the UUID").arg(uuidOrPrefix);
        return std::nullopt;
    }
    if (samples == Samples::Counted) {
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM samples WHERE run_uuid = ?"));
        query.addBindValue(run.uuid);
        if (!::run(query, error) || !query.next())
            return std::nullopt;
        run.sampleCount = query.value(0).toLongLong();
    }
    query.prepare(QStringLiteral("SELECT step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i "
                                 "FROM steps WHERE run_uuid = ? ORDER BY started, step"));
    query.addBindValue(run.uuid);
    if (!::run(query, error))
        return std::nullopt;
    while (query.next()) {
        StepRecord step;
        step.row = query.value(0).toInt();
        step.function = query.value(1).toString();
        step.started = fromIso(query.value(2));
        step.seconds = query.value(3).toDouble();
        step.ended = step.started.addMSecs(qint64(step.seconds * 1000));
        step.end = stepEndFromText(query.value(4).toString()).value_or(StepEnd::None);
        const QString verdict = query.value(5).toString();
        if (!verdict.isEmpty())
            step.verdict = Verdict{verdict == u"PASS", query.value(6).toString(), Verdict::quantityFor(step.function)};
        step.sampled = true;
        step.ampHours = query.value(7).toDouble();
        step.wattHours = query.value(8).toDouble();
        step.volts = query.value(9).toDouble();
        step.amps = query.value(10).toDouble();
        run.steps.append(step);
    }
    if (!run.steps.isEmpty())
        run.totals = StoredRun::totalsOf(run);
    return run;
}

bool RunArchive::forEachSample(
    const QString &uuid, const std::function<bool(const StoredSample &)> &each, QString *error) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT seq, %1, step FROM samples WHERE run_uuid = ? ORDER BY seq")
                      .arg(QString::fromLatin1(SampleColumns::names())));
    query.addBindValue(uuid);
    if (!::run(query, error))
        return false;
    StoredSample sample;
    while (query.next()) {
        sample.seq = query.value(0).toLongLong();
        int column = 1;
        for (const SampleColumns::Column &figure : SampleColumns::Figures)
            sample.reading.*figure.figure = query.value(column++).toDouble();
        sample.reading.step = query.value(column).toInt();
        if (!each(sample))
            break;
    }
    return true;
}

std::optional<ChartHistory> RunArchive::chart(
    const StoredRun &run, const std::function<bool()> &cancelled, QString *error) const
{
    // Only a run's end keeps its chart, in the statements that give the run its result.
    if (!run.result.isEmpty()) {
        if (std::optional<ChartHistory> kept = keptChart(run.uuid)) {
            error->clear();
            return kept;
        }
    }
    ChartHistory history;
    if (!StoredRunChart::fill(history, *this, run, cancelled, error))
        return std::nullopt;
    return history;
}

std::optional<ChartHistory> RunArchive::keptChart(const QString &uuid) const
{
    // The samples hold the run whatever becomes of its kept chart: a chart that cannot be read, for
    // whatever reason, is gathered from them instead.
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT format, chart FROM run_charts WHERE run_uuid = ?"));
    query.addBindValue(uuid);
    if (!query.exec() || !query.next() || query.value(0).toInt() != ChartHistoryBytes::Format)
        return std::nullopt;
    return ChartHistoryBytes::read(query.value(1).toByteArray());
}

int RunArchive::stationsShownForDays(const QString &iniPath)
{
    bool ok = false;
    const int days
        = IniFile::ReadIniString(iniPath, QStringLiteral("Store"), QStringLiteral("StationsShownForDays"), QString())
              .trimmed()
              .toInt(&ok);
    return ok && days > 0 ? days : StationsShownForDays;
}

std::optional<QList<StationState>> RunArchive::stations(QString *error, int shownForDays) const
{
    if (m_driver == Sqlite) {
        *error
            = QStringLiteral("%1: a bench's file knows no stations; only the lab's server knows them").arg(describe());
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT station, activity, run_uuid, program, step, steps, row, function, v, i, "
                                      "ah, elapsed_s, step_left_s, estimated_end, last_result, heard_at, "
                                      "silent_seconds, load_off, load_off_address, load_off_since, "
                                      "load_off_confirmed_at, station_id, COUNT(*) OVER (PARTITION BY station) > 1 "
                                      "FROM stations_now WHERE "
                                      "heard_at > now() - make_interval(days => ?) ORDER BY station, station_id"))) {
        *error = query.lastError().text();
        return std::nullopt;
    }
    query.addBindValue(shownForDays);
    if (!::run(query, error))
        return std::nullopt;
    const auto number = [&query](int column) {
        return query.isNull(column) ? std::numeric_limits<double>::quiet_NaN() : query.value(column).toDouble();
    };
    QList<StationState> stations;
    while (query.next()) {
        StationState state;
        state.station = query.value(0).toString();
        const QString activity = query.value(1).toString();
        state.activity = activity == QLatin1String("RUNNING") ? StationState::Activity::Running
            : activity == QLatin1String("FINISHED")           ? StationState::Activity::Finished
                                                              : StationState::Activity::Idle;
        state.runUuid = query.value(2).toString();
        state.program = query.value(3).toString();
        state.step = query.value(4).toInt();
        state.steps = query.value(5).toInt();
        state.row = query.value(6).toInt();
        state.function = query.value(7).toString();
        state.volts = number(8);
        state.amps = number(9);
        state.runAmpHours = number(10);
        state.elapsedSeconds = query.value(11).toDouble();
        if (!query.isNull(12))
            state.stepSecondsLeft = query.value(12).toDouble();
        state.estimatedEnd = query.value(13).toDateTime();
        state.lastResult = query.value(14).toString();
        state.heardAt = query.value(15).toDateTime();
        state.silentSeconds = query.value(16).toDouble();
        state.loadOff.state = LoadOffText::stateFrom(query.value(17).toString());
        state.loadOff.address = query.value(18).toString();
        state.loadOff.since = fromIso(query.value(19));
        state.loadOff.confirmedAt = fromIso(query.value(20));
        state.stationId = query.value(21).toString();
        state.nameShared = query.value(22).toBool();
        stations.append(state);
    }
    return stations;
}
