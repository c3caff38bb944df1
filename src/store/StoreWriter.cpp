#include "store/StoreWriter.h"

#include "store/StoreSchema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const QString Driver = QStringLiteral("QSQLITE");
const QStringList RunTables{QStringLiteral("runs"), QStringLiteral("steps"), QStringLiteral("samples")};

bool run(QSqlQuery &query, const QString &sql, QString *error)
{
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

// The column that names a row's run, in each of the run's tables.
QString runColumn(const QString &table)
{
    return table == u"runs" ? QStringLiteral("uuid") : QStringLiteral("run_uuid");
}

} // namespace

StoreWriter::StoreWriter(QString sqlitePath, QObject *parent)
    : QObject(parent),
      m_path(std::move(sqlitePath)),
      m_connection(QStringLiteral("StoreWriter-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_thread = std::thread([this] { loop(); });
}

StoreWriter::~StoreWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void StoreWriter::add(Statement statement)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.emplace_back(std::move(statement));
        ++m_queuedCount;
    }
    m_wake.notify_all();
}

bool StoreWriter::add(SampleRow sample)
{
    bool first = false;
    bool full = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_queuedSamples >= MaxQueuedSamples)
            return false;
        first = m_idle && m_queue.empty();
        m_queue.emplace_back(std::move(sample));
        ++m_queuedSamples;
        ++m_queuedCount;
        full = m_queue.size() == size_t(LargestBatch);
    }
    // The writer sleeps only once a second brought nothing; while samples come, it wakes by
    // itself, or when a batch is full.
    if (first || full)
        m_wake.notify_all();
    return true;
}

void StoreWriter::commitSoon()
{
    {
        std::lock_guard lock(m_mutex);
        m_soon = true;
    }
    m_wake.notify_all();
}

bool StoreWriter::waitForCommit(int ms)
{
    std::unique_lock lock(m_mutex);
    const qint64 target = m_queuedCount;
    // A try already under way holds none of what was queued since it began: only the failure of
    // a later one says that the target could not be written.
    const qint64 holdingTarget = m_triesStarted + 1;
    m_soon = true;
    m_wake.notify_all();
    m_done.wait_for(lock, std::chrono::milliseconds(ms),
        [&] { return m_committedCount >= target || m_lastFailedTry >= holdingTarget; });
    return m_committedCount >= target;
}

qsizetype StoreWriter::queuedSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_queuedSamples;
}

QString StoreWriter::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

qint64 StoreWriter::committedSamples(const QString &runUuid) const
{
    std::lock_guard lock(m_mutex);
    return m_committedSamples.value(runUuid);
}

bool StoreWriter::runEndWritten(const QString &runUuid) const
{
    std::lock_guard lock(m_mutex);
    return m_endsWritten.contains(runUuid);
}

void StoreWriter::loop()
{
    using namespace std::chrono;
    QString error;
    // The file is made at once, so that it is there before the first run; a failure is said when
    // something is to be written.
    open(&error);
    int pauseMs = BatchIntervalMs;
    int retryMs = FirstRetryMs;
    // A batch that failed waits out its pause however full the queue.
    bool failing = false;
    steady_clock::time_point giveUpAt = steady_clock::time_point::max();
    std::unique_lock lock(m_mutex);
    for (;;) {
        // While samples come, the writer wakes once a second, or sooner when asked, and commits
        // what came meanwhile; it sleeps until woken once a second brought nothing.
        if (m_idle)
            m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        else if (!m_quit)
            m_wake.wait_for(lock, milliseconds(pauseMs),
                [&] { return m_quit || m_soon || (!failing && m_queue.size() >= size_t(LargestBatch)); });
        if (m_queue.empty()) {
            if (m_quit)
                break;
            m_idle = true;
            continue;
        }
        m_idle = false;
        if (m_quit && giveUpAt == steady_clock::time_point::max())
            giveUpAt = steady_clock::now() + milliseconds(FinalTryMs);
        m_soon = false;
        std::deque<Item> batch;
        batch.swap(m_queue);
        const qint64 thisTry = ++m_triesStarted;
        const qint64 through = m_queuedCount;
        lock.unlock();
        const bool written = write(batch, &error);
        // What the file took ahead of the samples is out of the batch, which goes back to wait.
        if (!written)
            writeStatementsAhead(batch);
        lock.lock();
        if (!m_endedRun.isEmpty())
            m_endsWritten.insert(std::exchange(m_endedRun, QString()));
        if (written) {
            QString runUuid;
            qint64 seq = 0;
            for (const Item &item : batch) {
                if (const SampleRow *sample = std::get_if<SampleRow>(&item)) {
                    --m_queuedSamples;
                    runUuid = sample->runUuid;
                    seq = sample->seq;
                    ++m_committedSamples[runUuid];
                }
            }
            m_committedCount = through;
            m_lastError.clear();
            pauseMs = BatchIntervalMs;
            retryMs = FirstRetryMs;
            failing = false;
            const bool caughtUp = m_queue.empty();
            lock.unlock();
            m_done.notify_all();
            Q_EMIT committed(runUuid, seq);
            // Room given up for a run's end is taken again once nothing waits for it.
            if (caughtUp)
                keepReserve();
            lock.lock();
            continue;
        }
        // Kept, ahead of what came meanwhile, for the next try.
        m_queue.insert(m_queue.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
        m_lastError = error;
        m_lastFailedTry = thisTry;
        pauseMs = retryMs;
        failing = true;
        retryMs = std::min(retryMs * 2, LongestRetryMs);
        lock.unlock();
        m_done.notify_all();
        Q_EMIT writeFailed(error);
        lock.lock();
        if (m_quit) {
            if (steady_clock::now() >= giveUpAt)
                break;
            m_wake.wait_for(lock, milliseconds(std::min(pauseMs, FinalTryMs / 4)));
        }
    }
    lock.unlock();
    close();
}

bool StoreWriter::open(QString *error)
{
    if (!QSqlDatabase::isDriverAvailable(Driver)) {
        *error = QStringLiteral("Qt's SQLite driver is not installed (Debian: libqt6sql6-sqlite)");
        return false;
    }
    const QString name = m_connection + QString::number(++m_opened);
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(Driver, name);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (db.open()) {
            QSqlQuery query(db);
            // WAL with NORMAL sync: a commit is one append without an fsync, and what was committed
            // survives the program being killed. SQLite folds the log back every thousand pages,
            // inside a batch's commit on this thread, and a log that a large batch grew past that is
            // cut back to 4 MB once folded.
            // The run only appends, which needs the few pages along the tables' right edges: a
            // small page cache keeps a long run's memory flat.
            opened = run(query, QStringLiteral("PRAGMA journal_mode=WAL"), error)
                && run(query, QStringLiteral("PRAGMA synchronous=NORMAL"), error)
                && run(query, QStringLiteral("PRAGMA journal_size_limit=4194304"), error)
                && run(query, QStringLiteral("PRAGMA cache_size=-256"), error) && StoreSchema::migrate(db, error) >= 0;
            if (opened)
                opened = m_sampleInsert.prepare(db, error);
            if (opened)
                keepReserve();
            struct stat file = {};
            if (opened && ::stat(QFile::encodeName(m_path).constData(), &file) == 0) {
                m_device = file.st_dev;
                m_inode = file.st_ino;
            }
        } else {
            *error = db.lastError().text();
        }
        if (!opened) {
            m_sampleInsert.finish();
            db.close();
        }
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    m_connectionName = name;
    return true;
}

void StoreWriter::close()
{
    m_sampleInsert.finish();
    if (m_connectionName.isEmpty())
        return;
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(std::exchange(m_connectionName, QString()));
}

bool StoreWriter::removedSinceOpen() const
{
    struct stat file = {};
    return ::stat(QFile::encodeName(m_path).constData(), &file) != 0 || file.st_dev != m_device
        || file.st_ino != m_inode;
}

// The removed file lives on while this connection holds it: the open run is copied out of it into
// a file beside, the removed one let go (SQLite then removes its log), and the run copied into a
// store made afresh.
bool StoreWriter::makeAgain(QString *error)
{
    const QString rescuePath = m_path + QStringLiteral(".rescue");
    QFile::remove(rescuePath);
    bool copied = true;
    if (!m_openRun.isEmpty()) {
        QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
        query.prepare(QStringLiteral("ATTACH DATABASE ? AS rescue"));
        query.addBindValue(rescuePath);
        copied = query.exec();
        for (const QString &table : RunTables) {
            if (!copied)
                break;
            query.prepare(QStringLiteral("CREATE TABLE rescue.%1 AS SELECT * FROM main.%1 WHERE %2 = ?")
                              .arg(table, runColumn(table)));
            query.addBindValue(m_openRun);
            copied = query.exec();
        }
        if (!copied)
            *error = query.lastError().text();
        query.exec(QStringLiteral("DETACH DATABASE rescue"));
    }
    close();
    if (!copied || !open(error))
        return false;
    if (!m_openRun.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        QSqlQuery query(db);
        query.prepare(QStringLiteral("ATTACH DATABASE ? AS rescue"));
        query.addBindValue(rescuePath);
        bool restored = query.exec() && db.transaction();
        for (const QString &table : RunTables) {
            if (restored)
                restored = run(query, QStringLiteral("INSERT INTO main.%1 SELECT * FROM rescue.%1").arg(table), error);
        }
        restored = restored && db.commit();
        if (!restored) {
            if (error->isEmpty())
                *error = query.lastError().text();
            db.rollback();
        }
        query.exec(QStringLiteral("DETACH DATABASE rescue"));
        if (!restored)
            return false;
    }
    QFile::remove(rescuePath);
    Q_EMIT madeAgain();
    return true;
}

bool StoreWriter::write(const std::deque<Item> &batch, QString *error)
{
    error->clear();
    if (m_connectionName.isEmpty() ? !open(error) : removedSinceOpen() && !makeAgain(error))
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    QString openRun = m_openRun, endedRun;
    for (const Item &item : batch) {
        const bool done = std::visit([&](const auto &each) { return execute(each, error); }, item);
        if (!done) {
            db.rollback();
            return false;
        }
        if (const Statement *statement = std::get_if<Statement>(&item)) {
            if (!statement->startsRun.isEmpty())
                openRun = statement->startsRun;
            if (statement->endsRun)
                endedRun = std::exchange(openRun, QString());
        }
    }
    if (!db.commit()) {
        *error = db.lastError().text();
        db.rollback();
        return false;
    }
    m_openRun = openRun;
    if (!endedRun.isEmpty())
        m_endedRun = endedRun;
    return true;
}

void StoreWriter::writeStatementsAhead(std::deque<Item> &batch)
{
    std::deque<Item> statements;
    bool hasSamples = false, endsRun = false;
    for (const Item &item : batch) {
        if (const Statement *statement = std::get_if<Statement>(&item)) {
            statements.push_back(item);
            endsRun = endsRun || statement->endsRun;
        } else {
            hasSamples = true;
        }
    }
    if (statements.empty())
        return;
    // Statements alone that failed already fail again, unless the room for the end is given up.
    QString error;
    bool written = hasSamples && write(statements, &error);
    if (!written && endsRun && releaseReserve()) {
        written = write(statements, &error);
        retakeReserve();
    }
    if (written)
        std::erase_if(batch, [](const Item &item) { return std::holds_alternative<Statement>(item); });
}

void StoreWriter::keepReserve()
{
    // Never the last of the disk's room, which the samples need.
    if (m_reserveBytes < ReserveBytes && freeBytes() >= 2 * ReserveBytes)
        allocateReserve(ReserveBytes);
}

void StoreWriter::retakeReserve()
{
    const qint64 left = std::min(ReserveBytes, freeBytes() / 4096 * 4096);
    if (left > 0)
        allocateReserve(left);
}

bool StoreWriter::allocateReserve(qint64 bytes)
{
    const QByteArray path = QFile::encodeName(reservePath());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    // Blocks the file really holds: a file only as long as the reserve gives no room back.
    const bool allocated = ::posix_fallocate(fd, 0, bytes) == 0;
    ::close(fd);
    if (allocated)
        m_reserveBytes = std::max(m_reserveBytes, bytes);
    else if (m_reserveBytes == 0)
        ::unlink(path.constData());
    return allocated;
}

qint64 StoreWriter::freeBytes() const
{
    struct statvfs disk = {};
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    return ::statvfs(folder.constData(), &disk) == 0 ? qint64(disk.f_bavail) * qint64(disk.f_frsize) : 0;
}

bool StoreWriter::releaseReserve()
{
    // Given up only to a disk that is full, not to a file another writer holds.
    if (m_reserveBytes == 0 || freeBytes() >= ReserveBytes)
        return false;
    m_reserveBytes = 0;
    return ::unlink(QFile::encodeName(reservePath()).constData()) == 0;
}

bool StoreWriter::execute(const Statement &statement, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.prepare(statement.sql)) {
        *error = query.lastError().text();
        return false;
    }
    for (const QVariant &value : statement.values)
        query.addBindValue(value);
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

bool StoreWriter::execute(const SampleRow &sample, QString *error)
{
    return m_sampleInsert.insert(sample.runUuid, sample.seq, sample.reading, error);
}
