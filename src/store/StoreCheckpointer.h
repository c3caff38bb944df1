#pragma once

#include <QObject>
#include <QString>
#include <QThread>

// Folds the run store's write-ahead log back into its database file, on a thread of its own. A
// checkpoint copies a thousand pages and waits for the disk twice (5 to 30 ms on a virtual disk);
// taken inside a sample's commit, as SQLite does by itself, it made a late pass every few seconds
// at 10 ms. The writer therefore turns its own checkpoints off and asks for one here.
class StoreCheckpointer : public QObject
{
    Q_OBJECT

public:
    // About a thousand pages of log, as SQLite's own automatic checkpoint: a sample's commit
    // writes two.
    static constexpr int CommitsPerCheckpoint = 500;

    explicit StoreCheckpointer(const QString &sqlitePath, QObject *parent = nullptr);
    // Waits for a checkpoint under way; one only asked for is dropped (the writer's own close
    // folds the log).
    ~StoreCheckpointer() override;

    // Counts a commit of the writer; every CommitsPerCheckpoint of them, a checkpoint in the
    // background. Wakes the thread only then, so a pass pays nothing for it.
    void committed();
    // A checkpoint in the background now, such as when a run ends.
    void checkpointSoon();

private:
    void checkpoint();

    QString m_path;
    QThread m_thread;
    // Lives in m_thread; the checkpoints run as its queued calls.
    QObject *m_worker = nullptr;
    int m_commits = 0;
};
