#pragma once

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
    // Seconds a connection attempt may take before the server counts as unreachable.
    int connectTimeoutSeconds = 5;

    // The server the file names. A Port that is not a whole number from 1 to 65535 names no server
    // to use: the section's Host is dropped and `problem` says which key is wrong, for the caller to
    // report. An absent or empty Port is 5432.
    static StoreServer fromIni(const QString &iniPath, QString *problem);
    bool isSet() const { return !host.isEmpty(); }
    // "user@host:port/database", for messages.
    QString describe() const;
    // Adds a connection named `connection` for this server, not yet opened.
    QSqlDatabase addConnection(const QString &connection) const;
};
