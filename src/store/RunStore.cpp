#include "store/RunStore.h"

#include "device/Identification.h"
#include "settings/IniFile.h"
#include "store/StoreCheckpointer.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUuid>

namespace {

const QString Driver = QStringLiteral("QSQLITE");

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
    RunEvents &events, Clock &clock, const Identification &identification, const QString &iniPath, QObject *parent)
    : QObject(parent),
      m_summary(events, clock, [&identification] { return identification.runModel(); }),
      m_identification(identification),
      m_iniPath(iniPath),
      m_path(QDir(QFileInfo(iniPath).absolutePath()).filePath(FileName)),
      m_connection(QStringLiteral("RunStore-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    connect(&events, &RunEvents::runStarted, this, &RunStore::onRunStarted);
    connect(&events, &RunEvents::stepStarted, this, &RunStore::onStepStarted);
    connect(&events, &RunEvents::sample, this, &RunStore::onSample);
    connect(&events, &RunEvents::runEnded, this, &RunStore::onRunEnded);
    // The file is there from the first start; a failure here is said when a run would be stored.
    QString ignored;
    open(&ignored);
}

RunStore::~RunStore()
{
    close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool RunStore::open(QString *error)
{
    if (isOpen())
        return true;
    if (!QSqlDatabase::isDriverAvailable(Driver)) {
        *error = QStringLiteral("Qt's SQLite driver is not installed (Debian: libqt6sql6-sqlite)");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connection) ? QSqlDatabase::database(m_connection, false)
                                                           : QSqlDatabase::addDatabase(Driver, m_connection);
    db.setDatabaseName(m_path);
    // Another writer holding the file must not hold up the run's passes for long.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    // WAL with NORMAL sync: a commit is one append without an fsync, and what was committed
    // survives the program being killed.
    // The run only appends, which needs the few pages along the tables' right edges: a small page
    // cache keeps a long run's memory flat (the default grows to 2 MB).
    // The log is folded back by the checkpointer's thread, never inside a sample's commit.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        || !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"))
        || !query.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"))
        || !query.exec(QStringLiteral("PRAGMA cache_size=-256")) || StoreSchema::migrate(db, error) < 0) {
        if (error->isEmpty())
            *error = query.lastError().text();
        query = QSqlQuery();
        db.close();
        return false;
    }
    m_sampleInsert = std::make_unique<QSqlQuery>(db);
    if (!m_sampleInsert->prepare(QStringLiteral("INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) "
                                                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"))) {
        *error = m_sampleInsert->lastError().text();
        close();
        return false;
    }
    m_checkpointer = std::make_unique<StoreCheckpointer>(m_path);
    return true;
}

void RunStore::close()
{
    // The checkpointer goes first, so that the writer's close is the file's last and folds what is
    // left of the log.
    m_checkpointer.reset();
    m_sampleInsert.reset();
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::database(m_connection, false).close();
}

void RunStore::fail(const QString &reason)
{
    if (!m_storing)
        return;
    m_storing = false;
    // A file that failed once is opened afresh for the next run: the disk may have room again.
    close();
    Q_EMIT problem(QStringLiteral("The run store %1 cannot be written: %2. This run is not stored; the run and its "
                                  "CSV log go on.")
                       .arg(QDir::toNativeSeparators(m_path), reason.trimmed()));
}

bool RunStore::exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    fail(query.lastError().text());
    return false;
}

void RunStore::onRunStarted(const RunOptions &options)
{
    m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_seq = 0;
    m_identityKept = false;
    m_storing = true;
    QString error;
    if (!open(&error)) {
        fail(error);
        return;
    }
    m_sampleInsert->bindValue(0, m_uuid);
    QString station = IniFile::ReadIniString(m_iniPath, QStringLiteral("Store"), QStringLiteral("Station"), QString());
    if (station.isEmpty())
        station = QSysInfo::machineHostName();
    QSqlQuery insert(QSqlDatabase::database(m_connection, false));
    insert.prepare(QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, settings_text, station, "
                                  "started, result, message) VALUES (?, ?, ?, ?, ?, ?, '', '')"));
    for (const QString &value : {m_uuid, options.programFile, fileText(options.programFile), fileText(m_iniPath),
             station, isoText(m_summary.started())})
        insert.addBindValue(value);
    exec(insert);
}

void RunStore::onStepStarted()
{
    // Identification is over once the first step starts; a run cut short still names its load.
    if (!m_storing || m_identityKept)
        return;
    m_identityKept = true;
    QSqlQuery update(QSqlDatabase::database(m_connection, false));
    update.prepare(QStringLiteral("UPDATE runs SET model = ?, rated_current = ? WHERE uuid = ?"));
    for (const QString &value : {m_identification.runModel(), m_identification.runRatedCurrent(), m_uuid})
        update.addBindValue(value);
    exec(update);
}

void RunStore::onSample(const RunEvents::Sample &sample)
{
    if (!m_storing)
        return;
    if (m_checkpointer->takeFolded()) {
        // Before the commit, so that it can start the log again from the top: what came in after
        // the checkpointer's last look is folded first, usually nothing, and then nothing waits
        // for the disk.
        QSqlQuery(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"), QSqlDatabase::database(m_connection, false));
    }
    // The run's uuid stays bound from its start: a bound value outlives each execution.
    QSqlQuery &insert = *m_sampleInsert;
    int column = 1;
    insert.bindValue(column++, ++m_seq);
    for (double value :
        {sample.elapsedSeconds, sample.volts, sample.amps, sample.watts, sample.ampHours, sample.wattHours})
        insert.bindValue(column++, value);
    insert.bindValue(column, sample.step);
    if (exec(insert))
        m_checkpointer->committed();
}

void RunStore::onRunEnded()
{
    if (!m_storing)
        return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        fail(db.lastError().text());
        return;
    }
    if (!writeEnd()) {
        db.rollback();
        return;
    }
    if (!db.commit()) {
        db.rollback();
        fail(db.lastError().text());
        return;
    }
    m_storing = false;
    // Between runs no pass waits on the disk: the next run starts with an empty log.
    m_checkpointer->checkpointSoon();
}

bool RunStore::writeEnd()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE runs SET ended = ?, result = ?, message = ?, model = ?, rated_current = ? "
                                 "WHERE uuid = ?"));
    for (const QString &value : {isoText(m_summary.ended()), m_summary.result(), m_summary.message(), m_summary.model(),
             m_identification.runRatedCurrent(), m_uuid})
        query.addBindValue(value);
    if (!exec(query))
        return false;
    query.prepare(QStringLiteral("INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, verdict, "
                                 "value, ah, wh, v, i) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const RunSummary::Step &step : m_summary.steps()) {
        query.addBindValue(m_uuid);
        query.addBindValue(step.step);
        query.addBindValue(step.function);
        query.addBindValue(isoText(step.started));
        query.addBindValue(step.seconds);
        for (const QString &text : {step.end, step.verdict, step.value})
            query.addBindValue(text);
        for (double value : {step.ampHours, step.wattHours, step.volts, step.amps})
            query.addBindValue(value);
        if (!exec(query))
            return false;
    }
    return true;
}
