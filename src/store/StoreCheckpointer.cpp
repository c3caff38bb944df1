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

void StoreCheckpointer::committed()
{
    if (++m_commits >= CommitsPerCheckpoint)
        checkpointSoon();
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
        db.open();
        // Commits that came during a fold are folded by the next, a few times over, until one
        // finds nothing new: the fewer pages the writer finds left, the less it waits for the
        // disk (not at all when there are none).
        int before = -1;
        for (int round = 0; db.isOpen() && round < RoundsToCatchUp; ++round) {
            const int pages = foldedPages(db);
            if (pages < 0 || pages == before)
                break;
            before = pages;
        }
        m_folded = db.isOpen();
    }
    QSqlDatabase::removeDatabase(name);
}

int StoreCheckpointer::foldedPages(QSqlDatabase &db)
{
    // PASSIVE never waits for the writer nor holds it up. A failure leaves the log longer, and the
    // samples are safe in it either way.
    QSqlQuery query(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"), db);
    // busy, pages in the log, pages of it folded
    if (!query.next() || query.value(1).toInt() != query.value(2).toInt())
        return -1;
    return query.value(1).toInt();
}
