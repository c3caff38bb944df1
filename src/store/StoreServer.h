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

    static StoreServer fromIni(const QString &iniPath);
    bool isSet() const { return !host.isEmpty(); }
    // "user@host:port/database", for messages.
    QString describe() const;
    // Adds a connection named `connection` for this server, not yet opened.
    QSqlDatabase addConnection(const QString &connection) const;
};
