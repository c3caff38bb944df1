#pragma once

#include "run/Sample.h"
#include "store/SampleInsert.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantList>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <variant>

class QSqlQuery;

// Writes the run store on a thread of its own: the sampling pass hands a sample over and goes on,
// and the writer commits what came in batches, every second and whenever it is asked to
// (a step's end, the run's end). SQLite folds its log back into the file inside these commits, on
// this thread, where no pass waits for it.
//
// A batch that cannot be written stays queued and is tried again, so a file held by another
// writer for a moment, or a disk that fills and is freed, loses nothing. Its statements (a run's
// start and end, a few pages) are then tried alone, ahead of its samples: a disk too full for the
// samples may still take them, and for a run's end the writer gives up the room it holds on the
// disk for it. A file removed while the program has it open is made again, with the open run
// copied over from the removed one.
class StoreWriter : public QObject
{
    Q_OBJECT

public:
    // A commit costs about as much as a pass of the sampling loop at 100 ms, whatever it holds:
    // one a second keeps the store's share small. What a killed program loses is that second,
    // from the store and the CSV alike.
    static constexpr int BatchIntervalMs = 1000;
    // Samples that come faster than one commit a second suits (a replay, a virtual clock) go in
    // batches of this many, so that a batch's memory stays small.
    static constexpr qsizetype LargestBatch = 500;
    // The first try again of a batch that failed; each further one waits twice as long.
    static constexpr int FirstRetryMs = 250;
    // How long a commit waits for another writer holding the file; the batch is tried again after.
    static constexpr int BusyTimeoutMs = 200;
    // Longest pause between two tries of a batch that failed.
    static constexpr int LongestRetryMs = 2000;
    // Samples held in memory while the file cannot be written: about 8 MB, three hours at 100 ms.
    // Later ones are counted as lacking instead.
    static constexpr qsizetype MaxQueuedSamples = 100000;
    // Room held on the store's disk for a run's end (its row, its steps, its kept chart of at most
    // some 300 KB): a file of this size beside the store, taken while the disk has twice as much
    // free, and given up when a full disk refuses a run's end. What that end leaves of it is held
    // again at once, for the next run's end rather than for samples the CSV log holds anyway.
    static constexpr qint64 ReserveBytes = qint64(1) << 20;

    struct SampleRow
    {
        QString runUuid;
        qint64 seq = 0;
        Sample reading;
    };

    struct Statement
    {
        QString sql;
        QVariantList values;
        // The run this statement starts, or ends; a run started and not ended is copied over
        // should its file be removed.
        QString startsRun;
        bool endsRun = false;
    };

    explicit StoreWriter(QString sqlitePath, QObject *parent = nullptr);
    // Tries what is queued once more, for at most `FinalTryMs`, then stops the thread.
    ~StoreWriter() override;
    static constexpr int FinalTryMs = 1000;

    QString path() const { return m_path; }
    // The file that holds the room for a run's end: the store's name and "-reserve".
    QString reservePath() const { return m_path + QStringLiteral("-reserve"); }

    // Queued for the next batch. The run's first statement opens the run (`runUuid` from then on).
    void add(Statement statement);
    // False when the sample could not be queued (the queue is full): it is lacking from the store.
    bool add(SampleRow sample);
    // Commits what is queued now, without waiting for the second.
    void commitSoon();
    // Waits, for at most `ms`, until everything queued before the call is committed (true), or a
    // try to write it failed (false).
    bool waitForCommit(int ms);
    // Samples queued and not yet committed.
    qsizetype queuedSamples() const;
    // Why the last batch failed; "" when it was written.
    QString lastError() const;
    // The samples of `runUuid` in the file.
    qint64 committedSamples(const QString &runUuid) const;
    // Whether the statement that ends `runUuid` is in the file.
    bool runEndWritten(const QString &runUuid) const;

Q_SIGNALS:
    // From the writer's thread, after each batch: the highest sample number of `runUuid` in the
    // file; ("", 0) for a batch of no sample.
    void committed(const QString &runUuid, qint64 seq);
    // A batch failed; it is tried again.
    void writeFailed(const QString &reason);
    // The file was removed while open and has been made again with the open run in it.
    void madeAgain();

private:
    using Item = std::variant<Statement, SampleRow>;

    void loop();
    // Writes `batch` in one transaction; false leaves the file as it was.
    bool write(const std::deque<Item> &batch, QString *error);
    // After `batch` failed whole: its statements alone, and for a run's end with the reserve's
    // room given up when the disk is full. The statements written are taken out of `batch`.
    void writeStatementsAhead(std::deque<Item> &batch);
    void keepReserve();
    bool releaseReserve();
    // After a run's end went in with the reserve's room: what it left, up to ReserveBytes.
    void retakeReserve();
    // Makes the reserve file hold `bytes`; false (and no file) when the disk has no room for them.
    bool allocateReserve(qint64 bytes);
    qint64 freeBytes() const;
    bool open(QString *error);
    void close();
    bool removedSinceOpen() const;
    bool makeAgain(QString *error);
    bool execute(const Statement &statement, QString *error);
    bool execute(const SampleRow &sample, QString *error);

    QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Item> m_queue;
    qsizetype m_queuedSamples = 0;
    // Items ever queued, and of them committed: a wait for a commit compares the two.
    qint64 m_queuedCount = 0;
    qint64 m_committedCount = 0;
    bool m_soon = false;
    QString m_lastError;
    // Each try takes all that is queued; the number of the last one begun, and of the last failed.
    qint64 m_triesStarted = 0;
    qint64 m_lastFailedTry = 0;
    QHash<QString, qint64> m_committedSamples;
    QSet<QString> m_endsWritten;
    // The writer sleeps until something is queued.
    bool m_idle = true;
    bool m_quit = false;
    // Used on the writer's thread only. Each opening of the file is a connection of its own name.
    const QString m_connection;
    QString m_connectionName;
    int m_opened = 0;
    SampleInsert m_sampleInsert;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    QString m_openRun;
    // The run whose end the last batch written holds.
    QString m_endedRun;
    // What the reserve file holds now.
    qint64 m_reserveBytes = 0;
    std::thread m_thread;
};
