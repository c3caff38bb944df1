#pragma once

#include <QByteArray>
#include <QString>

struct Sample;
class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

// The insert of one sample, prepared once on the store's own SQLite connection and bound through
// SQLite itself: it runs for every sample of every run, and Qt's binding of nine values costs
// several times what SQLite takes to store them.
class SampleInsert
{
public:
    SampleInsert() = default;
    SampleInsert(const SampleInsert &) = delete;
    SampleInsert &operator=(const SampleInsert &) = delete;
    ~SampleInsert() { finish(); }

    // Prepares the insert on `db`, an open SQLite connection; the reason when it cannot.
    bool prepare(const QSqlDatabase &db, QString *error);
    // Before the connection closes.
    void finish();
    bool isPrepared() const { return m_statement != nullptr; }

    bool insert(const QString &runUuid, qint64 seq, const Sample &reading, QString *error);

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    // The run's UUID as SQLite takes it, made again only when the run changes.
    QString m_uuid;
    QByteArray m_uuidUtf8;
};
