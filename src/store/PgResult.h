#pragma once

#include <QByteArray>
#include <QString>

struct pg_result;
struct pg_conn;

// A statement's answer from the server, in text form, freed with this object. A statement the
// server refused, or that never reached it, has its reason and, when the server gave one, its
// SQLSTATE.
class PgResult
{
public:
    PgResult() = default;
    // Takes `result`; `connection` gives the reason when there is no result at all.
    PgResult(pg_result *result, pg_conn *connection);
    ~PgResult();
    PgResult(PgResult &&other) noexcept;
    PgResult &operator=(PgResult &&other) noexcept;
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;

    bool ok() const { return m_ok; }
    bool copyIn() const { return m_copyIn; }
    // The server's reason, on one line per part as libpq words it; "" when ok().
    const QString &error() const { return m_error; }
    // "" when the server named none (a connection that broke, a statement never sent).
    const QString &sqlState() const { return m_sqlState; }
    int rows() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    qint64 int64(int row, int column) const { return text(row, column).toLongLong(); }
    bool boolean(int row, int column) const { return text(row, column) == u't'; }

private:
    pg_result *m_result = nullptr;
    bool m_ok = false, m_copyIn = false;
    QString m_error, m_sqlState;
};
