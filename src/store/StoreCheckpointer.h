#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>

class QSqlDatabase;

// Folds the run store's write-ahead log back into its database file, on a thread of its own. A
// checkpoint copies a thousand pages and waits for the disk twice (5 to 30 ms on a virtual disk);
// taken inside a sample's commit, as SQLite does by itself, it made a late pass every few seconds
// at 10 ms. The writer therefore turns its own checkpoints off and asks for one here.
//
// The log starts again from its beginning only when a commit finds all of it folded, which a
// fold on another thread cannot promise while samples keep coming: once the bulk is done here,
// the writer folds what is left itself (at 10 ms mostly nothing, else a page or two), and the log
// stays near its thousand pages however fast the samples come.
class StoreCheckpointer : public QObject
{
    Q_OBJECT

public:
    // About a thousand pages of log, as SQLite's own automatic checkpoint: a sample's commit
    // writes two.
    static constexpr int CommitsPerCheckpoint = 500;
    static constexpr int RoundsToCatchUp = 5;

    explicit StoreCheckpointer(const QString &sqlitePath, QObject *parent = nullptr);
    // Waits for a checkpoint under way; one only asked for is dropped (the writer's own close
    // folds the log).
    ~StoreCheckpointer() override;

    // Counts a commit of the writer; every CommitsPerCheckpoint of them, a checkpoint in the
    // background. The thread is woken only then, so a pass pays nothing for it.
    void committed();
    // True once after each checkpoint done: the writer folds what is left before it commits next.
    bool takeFolded() { return m_folded.exchange(false); }
    // A checkpoint in the background now, such as when a run ends.
    void checkpointSoon();

private:
    void checkpoint();
    // The pages in the log, all folded; -1 when some are not.
    static int foldedPages(QSqlDatabase &db);

    QString m_path;
    QThread m_thread;
    // Lives in m_thread; the checkpoints run as its queued calls.
    QObject *m_worker = nullptr;
    int m_commits = 0;
    std::atomic_bool m_folded = false;
};
