#include "store/PgConnection.h"

#include "store/PgParams.h"

#include <libpq-fe.h>
#include <vector>

PgConnection::~PgConnection() { close(); }

bool PgConnection::open(const Options &options)
{
    close();
    std::vector<QByteArray> texts;
    texts.reserve(size_t(options.size()) * 2 + 2);
    for (const auto &[keyword, value] : options) {
        texts.push_back(keyword.toUtf8());
        texts.push_back(value.toUtf8());
    }
    // Every text this program sends and reads is UTF-8, whatever the database's own encoding.
    texts.push_back(QByteArrayLiteral("client_encoding"));
    texts.push_back(QByteArrayLiteral("UTF8"));
    std::vector<const char *> keywords, values;
    for (size_t at = 0; at < texts.size(); at += 2) {
        keywords.push_back(texts[at].constData());
        values.push_back(texts[at + 1].constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    // expand_dbname 0: a database name is only ever a name, never read as more options.
    m_connection = PQconnectdbParams(keywords.data(), values.data(), 0);
    if (m_connection)
        PQsetNoticeProcessor(m_connection, &PgConnection::keepNotice, this);
    if (m_connection && PQstatus(m_connection) == CONNECTION_OK)
        return true;
    m_openError
        = m_connection ? QString::fromUtf8(PQerrorMessage(m_connection)).simplified() : QStringLiteral("out of memory");
    close();
    return false;
}

void PgConnection::close()
{
    if (m_connection)
        PQfinish(m_connection);
    m_connection = nullptr;
    m_lastNotice.clear();
}

bool PgConnection::isBroken() const { return !m_connection || PQstatus(m_connection) != CONNECTION_OK; }

int PgConnection::socket() const { return m_connection ? PQsocket(m_connection) : -1; }

QString PgConnection::errorText() const
{
    return m_connection ? QString::fromUtf8(PQerrorMessage(m_connection)).simplified() : m_openError;
}

PgResult PgConnection::exec(const QString &sql)
{
    if (!m_connection)
        return PgResult(nullptr, nullptr);
    return PgResult(PQexec(m_connection, sql.toUtf8().constData()), m_connection);
}

PgResult PgConnection::exec(const QString &sql, const PgParams &params)
{
    if (!m_connection)
        return PgResult(nullptr, nullptr);
    const std::vector<const char *> values = params.pointers();
    return PgResult(PQexecParams(m_connection, sql.toUtf8().constData(), params.count(), params.types(), values.data(),
                        params.lengths(), params.formats(), 0),
        m_connection);
}

PgResult PgConnection::copyIn(const QString &sql, const QByteArray &data)
{
    PgResult started = exec(sql);
    if (!started.copyIn())
        return started;
    if (PQputCopyData(m_connection, data.constData(), int(data.size())) != 1
        || PQputCopyEnd(m_connection, nullptr) != 1) {
        // The server's answer, when the connection still gives one, says more than libpq's own.
        PgResult answer = finish();
        return answer.ok() ? PgResult(nullptr, m_connection) : std::move(answer);
    }
    return finish();
}

PgResult PgConnection::finish()
{
    // The last result is the statement's; libpq wants every one of them read.
    PgResult last(nullptr, m_connection);
    while (PGresult *result = PQgetResult(m_connection)) {
        last = PgResult(result, m_connection);
        if (PQstatus(m_connection) == CONNECTION_BAD)
            break;
    }
    return last;
}

bool PgConnection::begin(QString *error)
{
    const PgResult result = exec(QStringLiteral("BEGIN"));
    if (!result.ok())
        *error = result.error();
    return result.ok();
}

bool PgConnection::commit(QString *error)
{
    const PgResult result = exec(QStringLiteral("COMMIT"));
    if (!result.ok())
        *error = result.error();
    return result.ok();
}

bool PgConnection::rollback() { return exec(QStringLiteral("ROLLBACK")).ok(); }

void PgConnection::keepNotice(void *connection, const char *message)
{
    QString notice = QString::fromUtf8(message).trimmed();
    notice.replace(u'\n', u' ');
    static_cast<PgConnection *>(connection)->m_lastNotice = notice;
}
