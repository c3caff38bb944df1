#include "store/PgResult.h"

#include <libpq-fe.h>
#include <utility>

PgResult::PgResult(pg_result *result, pg_conn *connection) : m_result(result)
{
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    m_ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    m_copyIn = status == PGRES_COPY_IN;
    if (m_ok || m_copyIn)
        return;
    const char *message = result ? PQresultErrorMessage(result) : nullptr;
    if (!message || !*message)
        message = connection ? PQerrorMessage(connection) : "no connection to the server";
    // libpq breaks its texts over lines and tabs; the bar and a terminal show one line.
    m_error = QString::fromUtf8(message).simplified();
    if (m_error.isEmpty())
        m_error = QString::fromLatin1(PQresStatus(status));
    if (const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr)
        m_sqlState = QString::fromLatin1(state);
}

PgResult::~PgResult()
{
    if (m_result)
        PQclear(m_result);
}

PgResult::PgResult(PgResult &&other) noexcept
    : m_result(std::exchange(other.m_result, nullptr)),
      m_ok(other.m_ok),
      m_copyIn(other.m_copyIn),
      m_error(std::move(other.m_error)),
      m_sqlState(std::move(other.m_sqlState))
{ }

PgResult &PgResult::operator=(PgResult &&other) noexcept
{
    if (this != &other) {
        if (m_result)
            PQclear(m_result);
        m_result = std::exchange(other.m_result, nullptr);
        m_ok = other.m_ok;
        m_copyIn = other.m_copyIn;
        m_error = std::move(other.m_error);
        m_sqlState = std::move(other.m_sqlState);
    }
    return *this;
}

int PgResult::rows() const { return m_ok && m_result ? PQntuples(m_result) : 0; }

bool PgResult::isNull(int row, int column) const
{
    return !m_result || row >= rows() || column >= PQnfields(m_result) || PQgetisnull(m_result, row, column);
}

QString PgResult::text(int row, int column) const
{
    if (isNull(row, column))
        return QString();
    return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}
