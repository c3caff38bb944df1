#include "store/StoreCheckpointer.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

StoreCheckpointer::StoreCheckpointer(const QString &sqlitePath, QObject *parent)
    : QObject(parent), m_path(sqlitePath), m_worker(new QObject)
{
    m_thread.setObjectName(QStringLiteral("StoreCheckpointer"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
}

StoreCheckpointer::~StoreCheckpointer()
{
    m_thread.requestInterruption();
    m_thread.quit();
    m_thread.wait();
}

bool StoreCheckpointer::committed()
{
    if (++m_commits >= CommitsPerCheckpoint)
        checkpointSoon();
    return m_folded.exchange(false);
}

void StoreCheckpointer::checkpointSoon()
{
    m_commits = 0;
    QMetaObject::invokeMethod(m_worker, [this] { checkpoint(); });
}

void StoreCheckpointer::checkpoint()
{
    if (m_thread.isInterruptionRequested())
        return;
    // A connection of its own for each checkpoint: one every few seconds at most, and nothing of
    // it outlives the call on this thread.
    const QString name = QStringLiteral("StoreCheckpointer-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        // PASSIVE never waits for the writer nor holds it up. A failure leaves the log longer, and
        // the samples are safe in it either way.
        if (db.open() && QSqlQuery(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"), db).isActive())
            m_folded = true;
    }
    QSqlDatabase::removeDatabase(name);
}
