#include "store/ServerSocket.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <fcntl.h>
#include <libpq-fe.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

PGconn *connectionOf(QSqlDatabase &db)
{
    // QPSQL names the type by the struct behind libpq's typedef.
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

} // namespace

ServerSocket::~ServerSocket() { release(); }

void ServerSocket::hold(QSqlDatabase &db)
{
    PGconn *connection = connectionOf(db);
    const int socket = connection ? PQsocket(connection) : -1;
    const std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = socket >= 0 ? ::fcntl(socket, F_DUPFD_CLOEXEC, 0) : -1;
    if (m_cutForGood)
        shutDownLocked();
}

void ServerSocket::release()
{
    const std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_call.invalidate();
}

void ServerSocket::callStarted()
{
    const std::lock_guard lock(m_mutex);
    m_call.start();
}

void ServerSocket::callEnded()
{
    const std::lock_guard lock(m_mutex);
    m_call.invalidate();
}

void ServerSocket::cut(bool forGood)
{
    const std::lock_guard lock(m_mutex);
    m_cutForGood = m_cutForGood || forGood;
    shutDownLocked();
}

bool ServerSocket::cutIfWaitingLongerThan(qint64 limitMs)
{
    const std::lock_guard lock(m_mutex);
    if (!m_call.isValid() || m_call.elapsed() <= limitMs || m_fd < 0)
        return false;
    shutDownLocked();
    m_call.invalidate();
    return true;
}

bool ServerSocket::isBroken(QSqlDatabase &db)
{
    PGconn *connection = connectionOf(db);
    return !connection || PQstatus(connection) != CONNECTION_OK;
}

void ServerSocket::shutDownLocked()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}
