#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

class QSqlDatabase;

// What a bench knows of its lab server's copy of its runs: the runs found there whole, the runs
// that have no end (their program was killed, or runs still) found there up to their last sample,
// and the runs the server refused, each with the server's reason and the time it is offered again. A
// refused run waits a minute, then twice as long after each refusal, up to an hour: a refusal
// that stays costs the server little, and one that an administrator mends is taken up soon.
// Kept in the bench's store (table forward_state), so that the runner, vornic-runs and the window
// share it; written through a connection of its own, briefly, as the mirror reads the store
// read only.
class ForwardState
{
public:
    static constexpr qint64 FirstPauseSeconds = 60;
    static constexpr qint64 LongestPauseSeconds = 3600;
    // forward_state.whole: the server lacks something of the run, holds it whole, or holds every
    // sample of a run that had no end then; for such a run `tries` holds the last sample's number,
    // so that samples kept after it make the run wait again.
    enum Held { NotHeld = 0, Whole = 1, CaughtUp = 2 };

    struct SetAside
    {
        QString reason;
        int tries = 0;
        QDateTime nextTry;
    };

    explicit ForwardState(QString sqlitePath);
    ~ForwardState();
    ForwardState(const ForwardState &) = delete;
    ForwardState &operator=(const ForwardState &) = delete;

    // Reads the record through `local`; a store of a version before the record has none.
    void load(QSqlDatabase &local);
    const SetAside *setAside(const QString &uuid) const;
    bool isWhole(const QString &uuid) const { return m_whole.contains(uuid); }
    // The run refused (again): it waits twice as long as the last time.
    const SetAside &refuse(const QString &uuid, const QString &reason, const QDateTime &now);
    // The server holds the run whole; a refusal it had is over.
    void markWhole(const QString &uuid);
    // The server holds every sample of a run that has no end in the bench's store. Kept apart
    // from whole: once the run has an end, it waits until the server has that too.
    void markCaughtUp(const QString &uuid, qint64 lastSeq);
    // The run changed since the server held it whole or caught up (a later confirmation of its
    // load, say, or its end).
    void markNotWhole(const QString &uuid);
    // Writes what changed since the last load or save; false, with the reason, when the store
    // cannot take it now (what changed is kept here and written with the next save).
    bool save(QString *error);

private:
    bool openWriter(QString *error);

    QString m_sqlitePath;
    QString m_connection;
    bool m_haveTable = false;
    QHash<QString, SetAside> m_setAside;
    QSet<QString> m_whole;
    // Each with the last sample the server holds.
    QHash<QString, qint64> m_caughtUp;
    QSet<QString> m_changed;
};
