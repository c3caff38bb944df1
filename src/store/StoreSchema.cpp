#include "store/StoreSchema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <array>

namespace {

bool execAll(QSqlDatabase &db, const QStringList &statements, QString *error)
{
    QSqlQuery query(db);
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

bool toVersion1(QSqlDatabase &db, QString *error)
{
    // Times are local ISO text to the millisecond, as the CSV log and the summary write them.
    return execAll(db,
        {QStringLiteral("CREATE TABLE runs (uuid TEXT PRIMARY KEY, program_name TEXT, program_text TEXT, model TEXT, "
                        "rated_current TEXT, settings_text TEXT, station TEXT, started TEXT, ended TEXT, "
                        "result TEXT, message TEXT)"),
            QStringLiteral("CREATE TABLE steps (run_uuid TEXT NOT NULL REFERENCES runs(uuid), step INTEGER, "
                           "function TEXT, started TEXT, seconds DOUBLE PRECISION, end_reason TEXT, verdict TEXT, "
                           "value TEXT, ah DOUBLE PRECISION, wh DOUBLE PRECISION, v DOUBLE PRECISION, "
                           "i DOUBLE PRECISION)"),
            QStringLiteral("CREATE INDEX steps_by_run ON steps (run_uuid)"),
            QStringLiteral("CREATE TABLE samples (run_uuid TEXT NOT NULL REFERENCES runs(uuid), seq INTEGER NOT NULL, "
                           "elapsed_s DOUBLE PRECISION, v DOUBLE PRECISION, i DOUBLE PRECISION, w DOUBLE PRECISION, "
                           "ah DOUBLE PRECISION, wh DOUBLE PRECISION, step INTEGER, PRIMARY KEY (run_uuid, seq))")},
        error);
}

bool isServer(QSqlDatabase &db) { return db.driverName() == QLatin1String("QPSQL"); }

// Lists and their day filters read runs by their start.
bool toVersion2(QSqlDatabase &db, QString *error)
{
    return execAll(db, {QStringLiteral("CREATE INDEX runs_by_start ON runs (started)")}, error);
}

// A bench's record of what its lab server holds: the runs found there whole, and the runs it
// refused, with its reason, how often it did, and when the run is offered again. The server
// keeps no such record of its own.
bool toVersion3(QSqlDatabase &db, QString *error)
{
    if (isServer(db))
        return true;
    return execAll(db,
        {QStringLiteral("CREATE TABLE forward_state (run_uuid TEXT PRIMARY KEY, whole INTEGER NOT NULL DEFAULT 0, "
                        "reason TEXT, tries INTEGER NOT NULL DEFAULT 0, next_try TEXT)")},
        error);
}

// PostgreSQL text holds no NUL character, which a program file may well have (padding after a
// power loss): the server keeps the program as its UTF-8 bytes. SQLite's text holds it as it is.
bool toVersion4(QSqlDatabase &db, QString *error)
{
    if (!isServer(db))
        return true;
    return execAll(db,
        {QStringLiteral("ALTER TABLE runs ALTER COLUMN program_text TYPE bytea USING convert_to(program_text, "
                        "'UTF8')")},
        error);
}

// A finished run's chart history, kept at its end so that the run is drawn and compared without
// reading its samples again. `format` is ChartHistoryBytes::Format of the bytes; the server keeps
// them as bytea.
bool toVersion5(QSqlDatabase &db, QString *error)
{
    return execAll(db,
        {QStringLiteral("CREATE TABLE run_charts (run_uuid TEXT PRIMARY KEY REFERENCES runs(uuid), "
                        "format INTEGER NOT NULL, chart %1 NOT NULL)")
                .arg(isServer(db) ? QStringLiteral("bytea") : QStringLiteral("BLOB"))},
        error);
}

// What every station last told the lab's server of itself, stamped with the server's clock, and
// the views a lab's own dashboard reads. A bench knows only itself: its file is left as it is.
bool toVersion6(QSqlDatabase &db, QString *error)
{
    if (!isServer(db))
        return true;
    return execAll(db,
        {QStringLiteral("CREATE TABLE station_states (station TEXT PRIMARY KEY, activity TEXT NOT NULL, run_uuid TEXT, "
                        "program TEXT, step INTEGER, steps INTEGER, row INTEGER, function TEXT, v DOUBLE PRECISION, "
                        "i DOUBLE PRECISION, ah DOUBLE PRECISION, elapsed_s DOUBLE PRECISION, step_left_s DOUBLE "
                        "PRECISION, estimated_end TIMESTAMPTZ, last_result TEXT, heard_at TIMESTAMPTZ NOT NULL)"),
            QStringLiteral(
                "CREATE VIEW stations_now AS SELECT s.*, EXTRACT(EPOCH FROM now() - s.heard_at)::DOUBLE "
                "PRECISION AS silent_seconds, s.activity <> 'FINISHED' AND now() - s.heard_at > INTERVAL '10 "
                "seconds' AS silent FROM station_states s"),
            // Start times are local ISO text: the day is its first ten characters.
            QStringLiteral("CREATE VIEW runs_per_day AS SELECT LEFT(started, 10) AS day, COALESCE(NULLIF(result, ''), "
                           "'UNFINISHED') AS result, COUNT(*) AS runs FROM runs GROUP BY 1, 2"),
            QStringLiteral("CREATE VIEW capacity_per_program AS SELECT r.program_name AS program, COUNT(*) AS runs, "
                           "AVG(t.ah) AS mean_ah, MIN(t.ah) AS min_ah, MAX(t.ah) AS max_ah FROM runs r JOIN (SELECT "
                           "run_uuid, SUM(ah) AS ah FROM steps GROUP BY run_uuid) t ON t.run_uuid = r.uuid WHERE "
                           "COALESCE(r.result, '') <> '' GROUP BY r.program_name")},
        error);
}

// Any number the lab's other programs are unlikely to lock.
constexpr qint64 MigrationLock = 0x766f726e6963;

using Migration = bool (*)(QSqlDatabase &, QString *);
// Index i leads from version i to version i + 1; a new version appends one function here.
constexpr std::array<Migration, 6> Migrations{
    &toVersion1, &toVersion2, &toVersion3, &toVersion4, &toVersion5, &toVersion6};

} // namespace

int StoreSchema::latestVersion() { return int(Migrations.size()); }

int StoreSchema::version(QSqlDatabase &db, QString *error)
{
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next()) {
        if (error)
            *error = query.lastError().text();
        return -1;
    }
    return query.value(0).toInt();
}

int StoreSchema::migrate(QSqlDatabase &db, QString *error)
{
    error->clear();
    // Stations meeting a new server at once would each create the tables: one at a time. The lock
    // goes with the session, so a station that dies while holding it lets the others on.
    const bool shared = isServer(db);
    if (shared && !execAll(db, {QStringLiteral("SELECT pg_advisory_lock(%1)").arg(MigrationLock)}, error))
        return -1;
    const int applied = migrateUnlocked(db, error);
    QString unlockError;
    if (shared)
        execAll(db, {QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(MigrationLock)}, &unlockError);
    return applied;
}

int StoreSchema::migrateUnlocked(QSqlDatabase &db, QString *error)
{
    if (!db.tables().contains(QStringLiteral("schema_version"))
        && !execAll(
            db, {QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)")}, error))
        return -1;
    const int from = version(db, error);
    if (from < 0)
        return -1;
    if (from > latestVersion()) {
        *error = QStringLiteral("the file is of a later version (%1) than this program knows (%2)")
                     .arg(from)
                     .arg(latestVersion());
        return -1;
    }
    for (int at = from; at < latestVersion(); ++at) {
        // A migration cut short leaves the file at the version before it, to be tried again.
        if (!db.transaction()) {
            *error = db.lastError().text();
            return -1;
        }
        QSqlQuery record(db);
        record.prepare(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
        record.addBindValue(at + 1);
        if (!Migrations[size_t(at)](db, error) || !record.exec()) {
            if (error->isEmpty())
                *error = record.lastError().text();
            db.rollback();
            return -1;
        }
        if (!db.commit()) {
            *error = db.lastError().text();
            db.rollback();
            return -1;
        }
    }
    return latestVersion() - from;
}
