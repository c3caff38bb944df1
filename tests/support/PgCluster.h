#pragma once

#include "store/StoreServer.h"

#include <QString>
#include <QTemporaryDir>

// A PostgreSQL server of the test's own: a cluster made in a temporary folder, listening on
// 127.0.0.1 at a free port, asking a password over TCP that libpq finds in a PGPASSFILE written for
// it. Run as the "postgres" user when the test runs as root, as the server refuses root.
class PgCluster
{
public:
    static inline const QString User = QStringLiteral("vornic");
    static inline const QString Database = QStringLiteral("postgres");

    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    // Why the cluster could not be made; "" when it runs.
    QString problem() const { return m_problem; }
    quint16 port() const { return m_port; }
    bool start();
    // `immediately`: as a server that crashed, its sessions told so with a warning.
    bool stop(bool immediately = false);
    // SIGSTOP or SIGCONT to the server and every process of it: a server that stops answering
    // while its connections stay open, and that answers again.
    bool signalAll(int signal);
    // The [Store] section a station's settings file needs for this server.
    QByteArray storeSettings() const;
    // This server as a store names it.
    StoreServer server() const;

private:
    bool run(const QStringList &command);

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_problem;
    quint16 m_port = 0;
    bool m_asPostgres = false;
    bool m_running = false;
};
