#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QSqlDatabase;

// A lab's PostgreSQL server, from the [Store] section of the settings file. The password is never
// kept here: libpq finds it in the user's ~/.pgpass or in the file PGPASSFILE names, and TLS is as
// libpq offers it (SslMode, or PGSSLMODE).
struct StoreServer
{
    static inline const QString Driver = QStringLiteral("QPSQL");

    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString sslMode;
    // Seconds a connection attempt may take before the server counts as unreachable: a server on
    // the lab's network answers in milliseconds, and the runner ends a few seconds after its run.
    int connectTimeoutSeconds = 3;
    // The longest the server may work on one statement: a batch of samples takes well under a
    // second, so one that takes this long is a server in trouble, and the round is tried later.
    int statementTimeoutMs = 10000;
    // The longest a statement waits for a lock another session holds (a VACUUM FULL, a LOCK TABLE
    // of an administrator's): runs are not worth queueing behind it, the next round tries again.
    int lockTimeoutMs = 3000;

    // The server the file names. A value that cannot be meant names no server to use: a Port that
    // is not a whole number from 1 to 65535, a Host, Database or User with a control character or
    // another connection option pasted in, an SslMode that is not one of libpq's, a Password in the
    // file at all. The section's Host is then dropped and `problem` names the file, the key and what
    // is wrong, one line each, for the caller to report. A Station with a control character only
    // gives way to the host name, and `problem` says so. An absent or empty Port is 5432.
    static StoreServer fromIni(const QString &iniPath, QString *problem);
    bool isSet() const { return !host.isEmpty(); }
    // "user@host:port/database", for messages.
    QString describe() const;
    // The keyword and value pairs libpq opens a connection to this server with, each value whole.
    QList<QPair<QString, QString>> connectionOptions() const;
    // Adds a connection named `connection` for this server, not yet opened.
    QSqlDatabase addConnection(const QString &connection) const;
};
