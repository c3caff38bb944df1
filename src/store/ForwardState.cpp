#include "store/ForwardState.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

ForwardState::ForwardState(QString sqlitePath)
    : m_sqlitePath(std::move(sqlitePath)),
      m_connection(QStringLiteral("ForwardState-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{ }

ForwardState::~ForwardState()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void ForwardState::load(QSqlDatabase &local)
{
    QSqlQuery query(local);
    m_haveTable = query.exec(QStringLiteral("SELECT run_uuid, whole, reason, tries, next_try FROM forward_state"));
    if (!m_haveTable)
        return;
    // What this bench changed and could not write yet stays as it is.
    const QHash<QString, SetAside> unsavedSetAside = m_setAside;
    const QSet<QString> unsavedWhole = m_whole;
    const QHash<QString, qint64> unsavedCaughtUp = m_caughtUp;
    m_setAside.clear();
    m_whole.clear();
    m_caughtUp.clear();
    while (query.next()) {
        const QString uuid = query.value(0).toString();
        const int held = query.value(1).toInt();
        if (held == CaughtUp)
            m_caughtUp.insert(uuid, query.value(3).toLongLong());
        else if (held != NotHeld)
            m_whole.insert(uuid);
        else if (query.value(3).toInt() > 0)
            m_setAside.insert(uuid,
                {query.value(2).toString(), query.value(3).toInt(),
                    QDateTime::fromString(query.value(4).toString(), Qt::ISODateWithMs)});
    }
    for (const QString &uuid : std::as_const(m_changed)) {
        m_setAside.remove(uuid);
        m_whole.remove(uuid);
        m_caughtUp.remove(uuid);
        if (unsavedWhole.contains(uuid))
            m_whole.insert(uuid);
        else if (unsavedCaughtUp.contains(uuid))
            m_caughtUp.insert(uuid, unsavedCaughtUp.value(uuid));
        else if (unsavedSetAside.contains(uuid))
            m_setAside.insert(uuid, unsavedSetAside.value(uuid));
    }
}

const ForwardState::SetAside *ForwardState::setAside(const QString &uuid) const
{
    const auto found = m_setAside.constFind(uuid);
    return found == m_setAside.cend() ? nullptr : &*found;
}

const ForwardState::SetAside &ForwardState::refuse(const QString &uuid, const QString &reason, const QDateTime &now)
{
    SetAside &run = m_setAside[uuid];
    run.reason = reason;
    ++run.tries;
    const qint64 pause = std::min(FirstPauseSeconds << std::min(run.tries - 1, 20), LongestPauseSeconds);
    run.nextTry = now.addSecs(pause);
    m_whole.remove(uuid);
    m_caughtUp.remove(uuid);
    m_changed.insert(uuid);
    return run;
}

void ForwardState::markWhole(const QString &uuid)
{
    if (m_whole.contains(uuid))
        return;
    m_whole.insert(uuid);
    m_caughtUp.remove(uuid);
    m_setAside.remove(uuid);
    m_changed.insert(uuid);
}

void ForwardState::markCaughtUp(const QString &uuid, qint64 lastSeq)
{
    if (m_caughtUp.value(uuid, -1) == lastSeq)
        return;
    m_caughtUp.insert(uuid, lastSeq);
    m_whole.remove(uuid);
    m_setAside.remove(uuid);
    m_changed.insert(uuid);
}

void ForwardState::markNotWhole(const QString &uuid)
{
    if (m_whole.remove(uuid) | m_caughtUp.remove(uuid))
        m_changed.insert(uuid);
}

bool ForwardState::save(QString *error)
{
    if (m_changed.isEmpty() || !m_haveTable)
        return true;
    if (!openWriter(error))
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery write(db);
    write.prepare(QStringLiteral("INSERT OR REPLACE INTO forward_state (run_uuid, whole, reason, tries, next_try) "
                                 "VALUES (?, ?, ?, ?, ?)"));
    for (const QString &uuid : std::as_const(m_changed)) {
        const SetAside *run = setAside(uuid);
        const auto caughtUp = m_caughtUp.constFind(uuid);
        write.addBindValue(uuid);
        write.addBindValue(isWhole(uuid) ? Whole : caughtUp != m_caughtUp.cend() ? CaughtUp : NotHeld);
        write.addBindValue(run ? run->reason : QVariant(QMetaType::fromType<QString>()));
        write.addBindValue(run ? run->tries : caughtUp != m_caughtUp.cend() ? *caughtUp : 0);
        write.addBindValue(run ? run->nextTry.toString(Qt::ISODateWithMs) : QVariant(QMetaType::fromType<QString>()));
        if (!write.exec()) {
            *error = write.lastError().text();
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        db.rollback();
        return false;
    }
    m_changed.clear();
    return true;
}

bool ForwardState::openWriter(QString *error)
{
    if (QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen())
        return true;
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
        ? QSqlDatabase::database(m_connection, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_sqlitePath);
    // The run's writer waits 100 ms for the file at most: these few rows take far less, and their
    // commit waits for no disk (the store is in WAL mode).
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery(QStringLiteral("PRAGMA synchronous=NORMAL"), db);
    return true;
}
