#include "store/ServerMirror.h"

#include "store/StoreSchema.h"

#include <QFileInfo>
#include <QRegularExpression>
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

// A number as SQL text; the server takes no NaN or infinity unquoted, and a sample that has none is
// better kept as NULL than refused with its whole batch.
QString sqlNumber(const QVariant &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (value.isNull() || !ok || !std::isfinite(number))
        return QStringLiteral("NULL");
    return QString::number(number, 'g', 17);
}

// Run UUIDs are put into the batches' text: only ones of hex digits and dashes go.
bool isPlainUuid(const QString &uuid)
{
    static const QRegularExpression plain(QStringLiteral("^[0-9a-fA-F-]{1,64}$"));
    return plain.match(uuid).hasMatch();
}

const QString RunColumns = QStringLiteral("uuid, program_name, program_text, model, rated_current, settings_text, "
                                          "station, started, ended, result, message");

} // namespace

ServerMirror::ServerMirror(QString sqlitePath, StoreServer server)
    : m_sqlitePath(std::move(sqlitePath)), m_server(std::move(server))
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_localConnection = QStringLiteral("MirrorLocal-") + id;
    m_serverConnection = QStringLiteral("MirrorServer-") + id;
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
    if (QSqlDatabase::contains(m_serverConnection) && QSqlDatabase::database(m_serverConnection, false).isOpen())
        return true;
    dropServer();
    {
        QSqlDatabase db = m_server.addConnection(m_serverConnection);
        QString why;
        if (!db.open())
            *error = QStringLiteral("the lab server %1 cannot be reached: %2")
                         .arg(m_server.describe(), db.lastError().text().trimmed());
        else if (StoreSchema::migrate(db, &why) < 0)
            *error = QStringLiteral("the lab server %1 cannot take runs: %2").arg(m_server.describe(), why);
        else
            return true;
    }
    dropServer();
    return false;
}

void ServerMirror::dropServer()
{
    m_known.clear();
    m_settledVersion = -1;
    if (!QSqlDatabase::contains(m_serverConnection))
        return;
    QSqlDatabase::database(m_serverConnection, false).close();
    QSqlDatabase::removeDatabase(m_serverConnection);
}

ServerMirror::Outcome ServerMirror::forwardAll()
{
    Outcome outcome;
    if (!QFileInfo::exists(m_sqlitePath))
        return outcome;
    if (!openLocal(&outcome.error))
        return outcome;
    QSqlDatabase local = QSqlDatabase::database(m_localConnection, false);
    QSqlQuery query(local);
    // Nothing was committed locally since everything was last found on the server: no need to ask it.
    if (!exec(query, QStringLiteral("PRAGMA data_version"), &outcome.error) || !query.next())
        return outcome;
    const qint64 version = query.value(0).toLongLong();
    if (version == m_settledVersion)
        return outcome;
    if (!openServer(&outcome.error))
        return outcome;
    // The result is read before the samples are counted: a run found ended has all its samples in.
    if (!exec(query,
            QStringLiteral("SELECT uuid, COALESCE(result, '') <> '', (SELECT MAX(seq) FROM samples s WHERE "
                           "s.run_uuid = r.uuid) FROM runs r ORDER BY started"),
            &outcome.error))
        return outcome;
    struct LocalRun
    {
        QString uuid;
        bool ended;
        qint64 lastSeq;
    };
    QList<LocalRun> runs;
    while (query.next())
        runs.append({query.value(0).toString(), query.value(1).toBool(), query.value(2).toLongLong()});
    query.finish();
    // What the server lacks: a run's end, or samples the bench holds. A run whose program was killed
    // never ends, and lacks nothing once its samples are there.
    const auto lacking = [this](const LocalRun &run) {
        const auto known = m_known.constFind(run.uuid);
        return known == m_known.cend() || !(known->complete || (!run.ended && known->sentSeq >= run.lastSeq));
    };
    for (const LocalRun &run : runs) {
        if (m_known.value(run.uuid).complete)
            continue;
        QString error;
        if (!forwardRun(run.uuid, run.ended, run.lastSeq, &outcome, &error)) {
            outcome.error = QStringLiteral("the lab server %1: %2").arg(m_server.describe(), error);
            break;
        }
    }
    outcome.runsWaiting = int(std::count_if(runs.cbegin(), runs.cend(), lacking));
    if (!outcome.error.isEmpty())
        // A connection that failed once is made afresh next round, and what the server holds asked again.
        dropServer();
    else if (outcome.runsWaiting == 0)
        m_settledVersion = version;
    return outcome;
}

bool ServerMirror::serverProgress(const QString &uuid, Progress *progress, QString *error)
{
    if (auto known = m_known.constFind(uuid); known != m_known.cend()) {
        *progress = *known;
        return true;
    }
    QSqlQuery query(QSqlDatabase::database(m_serverConnection, false));
    query.prepare(QStringLiteral("SELECT COALESCE(result, '') <> '', (SELECT COALESCE(MAX(seq), 0) FROM samples WHERE "
                                 "run_uuid = ?) FROM runs WHERE uuid = ?"));
    query.addBindValue(uuid);
    query.addBindValue(uuid);
    if (!exec(query, error))
        return false;
    *progress = {};
    if (query.next()) {
        progress->complete = query.value(0).toBool();
        progress->sentSeq = query.value(1).toLongLong();
    }
    m_known.insert(uuid, *progress);
    return true;
}

bool ServerMirror::forwardRun(const QString &uuid, bool ended, qint64 localLastSeq, Outcome *outcome, QString *error)
{
    if (!isPlainUuid(uuid))
        return true;
    Progress progress;
    if (!serverProgress(uuid, &progress, error))
        return false;
    // A run the server holds up to its last sample waits for more, or for its end; so does one
    // whose program was killed, without costing each round a transaction.
    if (progress.complete || (!ended && progress.sentSeq >= localLastSeq && localLastSeq > 0))
        return true;
    QSqlDatabase server = QSqlDatabase::database(m_serverConnection, false);
    // One transaction per batch: a server that goes away keeps whole batches, and the next round
    // starts after the last of them. The end goes with the last batch.
    for (bool done = false; !done;) {
        if (m_stop && *m_stop) {
            *error = QStringLiteral("forwarding stopped with the program");
            return false;
        }
        if (!server.transaction()) {
            *error = server.lastError().text().trimmed();
            return false;
        }
        qint64 last = progress.sentSeq, count = 0;
        bool sent = sendHeader(server, uuid, false, error)
            && sendSamples(server, uuid, progress.sentSeq, &last, &count, error);
        done = count == 0 || last >= localLastSeq;
        if (sent && done && ended)
            sent = sendSteps(server, uuid, error) && sendHeader(server, uuid, true, error);
        if (!sent || !server.commit()) {
            if (sent)
                *error = server.lastError().text().trimmed();
            server.rollback();
            return false;
        }
        progress.sentSeq = last;
        progress.complete = done && ended;
        m_known.insert(uuid, progress);
        outcome->samplesSent += count;
    }
    ++outcome->runsTouched;
    if (progress.complete)
        ++outcome->runsCompleted;
    return true;
}

bool ServerMirror::sendHeader(QSqlDatabase &server, const QString &uuid, bool withEnd, QString *error)
{
    QSqlQuery local(QSqlDatabase::database(m_localConnection, false));
    local.prepare(QStringLiteral("SELECT %1 FROM runs WHERE uuid = ?").arg(RunColumns));
    local.addBindValue(uuid);
    if (!exec(local, error))
        return false;
    if (!local.next()) {
        *error = QStringLiteral("run %1 has left the bench's store").arg(uuid);
        return false;
    }
    // Until the run's end is sent, the server's copy has no result: a run that is found with one
    // is whole there.
    const int columns = local.record().count();
    QStringList marks, updates;
    for (int column = 0; column < columns; ++column) {
        marks.append(QStringLiteral("?"));
        const QString name = local.record().fieldName(column);
        if (column > 0)
            updates.append(QStringLiteral("%1 = EXCLUDED.%1").arg(name));
    }
    QSqlQuery upsert(server);
    upsert.prepare(QStringLiteral("INSERT INTO runs (%1) VALUES (%2) ON CONFLICT (uuid) DO UPDATE SET %3")
                       .arg(RunColumns, marks.join(u','), updates.join(u',')));
    for (int column = 0; column < columns; ++column) {
        const QString name = local.record().fieldName(column);
        const bool endField = name == u"ended" || name == u"result" || name == u"message";
        QVariant value = local.value(column);
        if (!withEnd && endField)
            value = name == u"ended" ? QVariant(QMetaType::fromType<QString>()) : QVariant(QString());
        upsert.addBindValue(value.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value.toString()));
    }
    return exec(upsert, error);
}

bool ServerMirror::sendSamples(
    QSqlDatabase &server, const QString &uuid, qint64 after, qint64 *last, qint64 *count, QString *error)
{
    QSqlQuery local(QSqlDatabase::database(m_localConnection, false));
    local.setForwardOnly(true);
    local.prepare(QStringLiteral("SELECT seq, elapsed_s, v, i, w, ah, wh, step FROM samples WHERE run_uuid = ? AND "
                                 "seq > ? ORDER BY seq LIMIT %1")
                      .arg(SamplesPerBatch));
    local.addBindValue(uuid);
    local.addBindValue(after);
    if (!exec(local, error))
        return false;
    // One statement per batch, its columns as arrays: the server reads an array far faster than it
    // plans thousands of VALUES rows, and a round trip per sample would make a long run's
    // forwarding slow.
    std::array<QString, 8> columns;
    for (QString &column : columns)
        column.reserve(SamplesPerBatch * 20);
    *count = 0;
    while (local.next()) {
        const QString separator = *count > 0 ? QStringLiteral(",") : QString();
        *last = local.value(0).toLongLong();
        columns[0] += separator + QString::number(*last);
        for (int column = 1; column <= 6; ++column)
            columns[size_t(column)] += separator + sqlNumber(local.value(column));
        columns[7] += separator + QString::number(local.value(7).toInt());
        ++*count;
    }
    if (*count == 0)
        return true;
    const auto array = [&columns](int column, const char *type) {
        return QStringLiteral("'{%1}'::%2[]").arg(columns[size_t(column)], QLatin1String(type));
    };
    const QString sql = QStringLiteral("INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) SELECT "
                                       "'%1', * FROM unnest(%2, %3, %4, %5, %6, %7, %8, %9) ON CONFLICT (run_uuid, "
                                       "seq) DO NOTHING")
                            .arg(uuid, array(0, "bigint"), array(1, "float8"), array(2, "float8"), array(3, "float8"),
                                array(4, "float8"), array(5, "float8"), array(6, "float8"), array(7, "integer"));
    QSqlQuery insert(server);
    return exec(insert, sql, error);
}

bool ServerMirror::sendSteps(QSqlDatabase &server, const QString &uuid, QString *error)
{
    QSqlQuery remove(server);
    remove.prepare(QStringLiteral("DELETE FROM steps WHERE run_uuid = ?"));
    remove.addBindValue(uuid);
    if (!exec(remove, error))
        return false;
    QSqlQuery local(QSqlDatabase::database(m_localConnection, false));
    const QString columns
        = QStringLiteral("run_uuid, step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i");
    local.prepare(QStringLiteral("SELECT %1 FROM steps WHERE run_uuid = ?").arg(columns));
    local.addBindValue(uuid);
    if (!exec(local, error))
        return false;
    QSqlQuery insert(server);
    insert.prepare(QStringLiteral("INSERT INTO steps (%1) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)").arg(columns));
    while (local.next()) {
        for (int column = 0; column < 12; ++column)
            insert.addBindValue(local.value(column));
        if (!exec(insert, error))
            return false;
    }
    return true;
}
