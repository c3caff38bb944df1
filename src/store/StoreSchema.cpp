#include "store/StoreSchema.h"

#include "store/SchemaTarget.h"
#include "store/SqlSchemaTarget.h"

#include <QStringList>
#include <QVersionNumber>
#include <algorithm>
#include <array>

namespace {

bool execAll(SchemaTarget &db, const QStringList &statements, QString *error)
{
    for (const QString &statement : statements) {
        if (!db.exec(statement, error))
            return false;
    }
    return true;
}

bool toVersion1(SchemaTarget &db, QString *error)
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

bool isServer(SchemaTarget &db) { return db.isServer(); }

// Lists and their day filters read runs by their start.
bool toVersion2(SchemaTarget &db, QString *error)
{
    return execAll(db, {QStringLiteral("CREATE INDEX runs_by_start ON runs (started)")}, error);
}

// A bench's record of what its lab server holds: the runs found there whole, and the runs it
// refused, with its reason, how often it did, and when the run is offered again. The server
// keeps no such record of its own.
bool toVersion3(SchemaTarget &db, QString *error)
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
bool toVersion4(SchemaTarget &db, QString *error)
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
bool toVersion5(SchemaTarget &db, QString *error)
{
    return execAll(db,
        {QStringLiteral("CREATE TABLE run_charts (run_uuid TEXT PRIMARY KEY REFERENCES runs(uuid), "
                        "format INTEGER NOT NULL, chart %1 NOT NULL)")
                .arg(isServer(db) ? QStringLiteral("bytea") : QStringLiteral("BLOB"))},
        error);
}

// What every station last told the lab's server of itself, stamped with the server's clock, and
// the views a lab's own dashboard reads. A bench knows only itself: its file is left as it is.
bool toVersion6(SchemaTarget &db, QString *error)
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

// What a run's store knows of its own end beyond its rows: the samples the run made (the store may
// lack some, which its CSV log holds), the log, the log a run was imported from, and whether the
// load obeyed the run's off lines, and when a later try found it off. What the lab's server knows
// of each station's load the same way. Only columns that may be NULL, so that a bench of an
// earlier version goes on writing the server without them.
bool toVersion7(SchemaTarget &db, QString *error)
{
    QStringList statements;
    for (const char *column :
        {"sample_count INTEGER", "log_path TEXT", "imported_from TEXT", "load_off TEXT", "load_off_address TEXT",
            "load_off_since TEXT", "load_off_confirmed_at TEXT", "load_off_amps DOUBLE PRECISION"})
        statements.append(QStringLiteral("ALTER TABLE runs ADD COLUMN %1").arg(QLatin1String(column)));
    if (isServer(db)) {
        for (const char *column :
            {"load_off TEXT", "load_off_address TEXT", "load_off_since TEXT", "load_off_confirmed_at TEXT"})
            statements.append(QStringLiteral("ALTER TABLE station_states ADD COLUMN %1").arg(QLatin1String(column)));
        // The view's columns stay where they were, for the dashboards that read it; the new ones follow.
        statements.append(QStringLiteral(
            "CREATE OR REPLACE VIEW stations_now AS SELECT s.station, s.activity, s.run_uuid, s.program, s.step, "
            "s.steps, s.row, s.function, s.v, s.i, s.ah, s.elapsed_s, s.step_left_s, s.estimated_end, s.last_result, "
            "s.heard_at, EXTRACT(EPOCH FROM now() - s.heard_at)::DOUBLE PRECISION AS silent_seconds, s.activity <> "
            "'FINISHED' AND now() - s.heard_at > INTERVAL '10 seconds' AS silent, s.load_off, s.load_off_address, "
            "s.load_off_since, s.load_off_confirmed_at FROM station_states s"));
    }
    return execAll(db, statements, error);
}

// Stations are told apart by an id each bench keeps in its data folder, its name only a label: two
// benches given one name both show. Benches of version 1.2 still write `station_states` by name; the
// view every reader uses shows both tables' stations, and says which names are shared. A station's
// programs are counted by the program file's name, wherever each bench keeps its copy. From here on
// the server records the oldest program version that may still write to it.
bool toVersion8(SchemaTarget &db, QString *error)
{
    QStringList statements{QStringLiteral("CREATE TABLE schema_writers (oldest_version TEXT NOT NULL)")};
    if (isServer(db)) {
        statements.append(QStringLiteral(
            "CREATE TABLE stations (station_id TEXT PRIMARY KEY, station TEXT NOT NULL, activity TEXT NOT NULL, "
            "run_uuid TEXT, program TEXT, step INTEGER, steps INTEGER, row INTEGER, function TEXT, v DOUBLE PRECISION, "
            "i DOUBLE PRECISION, ah DOUBLE PRECISION, elapsed_s DOUBLE PRECISION, step_left_s DOUBLE PRECISION, "
            "estimated_end TIMESTAMPTZ, last_result TEXT, heard_at TIMESTAMPTZ NOT NULL, load_off TEXT, "
            "load_off_address TEXT, load_off_since TEXT, load_off_confirmed_at TEXT)"));
        // The columns stay where earlier versions of the view had them; the new ones follow.
        statements.append(QStringLiteral(
            "CREATE OR REPLACE VIEW stations_now AS SELECT s.station, s.activity, s.run_uuid, s.program, s.step, "
            "s.steps, s.row, s.function, s.v, s.i, s.ah, s.elapsed_s, s.step_left_s, s.estimated_end, s.last_result, "
            "s.heard_at, EXTRACT(EPOCH FROM now() - s.heard_at)::DOUBLE PRECISION AS silent_seconds, s.activity <> "
            "'FINISHED' AND now() - s.heard_at > INTERVAL '10 seconds' AS silent, s.load_off, s.load_off_address, "
            "s.load_off_since, s.load_off_confirmed_at, s.station_id, COUNT(*) OVER (PARTITION BY s.station) > 1 AS "
            "name_shared FROM (SELECT station_id, station, activity, run_uuid, program, step, steps, row, function, v, "
            "i, ah, elapsed_s, step_left_s, estimated_end, last_result, heard_at, load_off, load_off_address, "
            "load_off_since, load_off_confirmed_at FROM stations UNION ALL SELECT NULL, station, activity, run_uuid, "
            "program, step, steps, row, function, v, i, ah, elapsed_s, step_left_s, estimated_end, last_result, "
            "heard_at, load_off, load_off_address, load_off_since, load_off_confirmed_at FROM station_states) s"));
        statements.append(QStringLiteral(
            "CREATE OR REPLACE VIEW capacity_per_program AS SELECT regexp_replace(r.program_name, '^.*[/\\\\]', '') "
            "AS program, COUNT(*) AS runs, AVG(t.ah) AS mean_ah, MIN(t.ah) AS min_ah, MAX(t.ah) AS max_ah FROM runs r "
            "JOIN (SELECT run_uuid, SUM(ah) AS ah FROM steps GROUP BY run_uuid) t ON t.run_uuid = r.uuid WHERE "
            "COALESCE(r.result, '') <> '' GROUP BY 1"));
    }
    return execAll(db, statements, error);
}

// Any number the lab's other programs are unlikely to lock.
constexpr qint64 MigrationLock = 0x766f726e6963;

struct Migration
{
    bool (*apply)(SchemaTarget &, QString *);
    // A program of an earlier version writes on past it (it only adds what may be NULL): it is
    // recorded in schema_additions, which such a program does not read, rather than in
    // schema_version, whose highest number stops any program that does not know it.
    bool additive = false;
    // The oldest program version that may still write the tables once this migration is applied,
    // when it raises it: a migration that changes what a column means names the version it comes
    // with. Recorded in schema_writers, which programs from version 1.3 on check instead of the
    // versions they know.
    const char *oldestWriter = nullptr;
};
// Index i leads from version i to version i + 1; a new version appends one here.
constexpr std::array<Migration, 8> Migrations{{{&toVersion1}, {&toVersion2}, {&toVersion3}, {&toVersion4},
    {&toVersion5}, {&toVersion6}, {&toVersion7, true}, {&toVersion8, true, "1.2"}}};

const QString VersionTable = QStringLiteral("schema_version");
const QString AdditionTable = QStringLiteral("schema_additions");
const QString WriterTable = QStringLiteral("schema_writers");

// The highest version recorded in `table`; 0 when there is no such table.
int highestIn(SchemaTarget &db, const QString &table, QString *error)
{
    if (!db.hasTable(table))
        return 0;
    int highest = 0;
    QString why;
    if (!db.number(QStringLiteral("SELECT MAX(version) FROM %1").arg(table), &highest, &why)) {
        if (error)
            *error = why;
        return -1;
    }
    return highest;
}

} // namespace

int StoreSchema::latestVersion() { return int(Migrations.size()); }

int StoreSchema::version(QSqlDatabase &db, QString *error)
{
    SqlSchemaTarget target(db);
    return version(target, error);
}

int StoreSchema::migrate(QSqlDatabase &db, QString *error)
{
    SqlSchemaTarget target(db);
    return migrate(target, error);
}

int StoreSchema::version(SchemaTarget &db, QString *error)
{
    const int required = highestIn(db, VersionTable, error);
    const int added = required < 0 ? -1 : highestIn(db, AdditionTable, error);
    return added < 0 ? -1 : std::max(required, added);
}

int StoreSchema::migrate(SchemaTarget &db, QString *error)
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

int StoreSchema::migrateUnlocked(SchemaTarget &db, QString *error)
{
    for (const QString &table : {VersionTable, AdditionTable}) {
        if (!db.hasTable(table)
            && !execAll(
                db, {QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (version INTEGER NOT NULL)").arg(table)}, error))
            return -1;
    }
    // Additions of a later version leave tables this program writes as it knows them.
    const int required = highestIn(db, VersionTable, error);
    const int from = version(db, error);
    if (required < 0 || from < 0)
        return -1;
    const std::optional<QVersionNumber> oldest = oldestWriter(db, error);
    if (!oldest)
        return -1;
    if (*oldest > programVersion()) {
        *error = QStringLiteral("it was brought up to date by version %1 of this program, and this bench's version "
                                "(%2) may no longer write to it: install version %1 or later on this bench")
                     .arg(oldest->toString(), programVersion().toString());
        return -1;
    }
    // Tables from before the rule of the oldest writer: only their version number says whether
    // this program knows them.
    if (required > latestVersion() && oldest->isNull()) {
        *error = QStringLiteral("it was written by a later version of this program (table version %1; this "
                                "version knows %2): install the version of this program its other writers use")
                     .arg(required)
                     .arg(latestVersion());
        return -1;
    }
    for (int at = from; at < latestVersion(); ++at) {
        // A migration cut short leaves the file at the version before it, to be tried again.
        if (!db.begin(error))
            return -1;
        const Migration &migration = Migrations[size_t(at)];
        const QString record = QStringLiteral("INSERT INTO %1 (version) VALUES (%2)")
                                   .arg(migration.additive ? AdditionTable : VersionTable)
                                   .arg(at + 1);
        // The version text is this program's own constant.
        const QString writers = migration.oldestWriter ? QStringLiteral("INSERT INTO %1 (oldest_version) VALUES ('%2')")
                                                             .arg(WriterTable, QLatin1String(migration.oldestWriter))
                                                       : QString();
        if (!migration.apply(db, error) || !db.exec(record, error) || (!writers.isEmpty() && !db.exec(writers, error))
            || !db.commit(error)) {
            db.rollback();
            return -1;
        }
    }
    return std::max(0, latestVersion() - from);
}

QVersionNumber StoreSchema::programVersion() { return QVersionNumber::fromString(QStringLiteral(VORNIC_VERSION)); }

std::optional<QVersionNumber> StoreSchema::oldestWriter(SchemaTarget &db, QString *error)
{
    QVersionNumber oldest;
    if (!db.hasTable(WriterTable))
        return oldest;
    QStringList versions;
    if (!db.texts(QStringLiteral("SELECT oldest_version FROM %1").arg(WriterTable), &versions, error))
        return std::nullopt;
    for (const QString &version : versions)
        oldest = std::max(oldest, QVersionNumber::fromString(version));
    return oldest;
}
