#pragma once

#include "store/PgResult.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

class PgParams;

// One connection to a PostgreSQL server through libpq, for the thread that made it. It is opened
// from keyword and value pairs, never from a connection string, so that no value can add an
// option of its own; every value a statement carries goes apart from its text. The server's
// notices (a warning that it is shutting down, say) are kept here instead of going to stderr.
class PgConnection
{
public:
    using Options = QList<QPair<QString, QString>>;

    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    // False with errorText() set when the server cannot be reached or refuses the connection.
    bool open(const Options &options);
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    // libpq finds the connection itself broken (not just a statement refused).
    bool isBroken() const;
    // The connection's socket, -1 when there is none.
    int socket() const;
    QString errorText() const;
    // The last notice the server sent, on one line; "" when it sent none.
    const QString &lastNotice() const { return m_lastNotice; }

    PgResult exec(const QString &sql);
    PgResult exec(const QString &sql, const PgParams &params);
    // `COPY ... FROM STDIN` with `data` as the whole of its input.
    PgResult copyIn(const QString &sql, const QByteArray &data);
    bool begin(QString *error);
    bool commit(QString *error);
    bool rollback();

private:
    static void keepNotice(void *connection, const char *message);
    PgResult finish();

    struct pg_conn *m_connection = nullptr;
    QString m_openError, m_lastNotice;
};
