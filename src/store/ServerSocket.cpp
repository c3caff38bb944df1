#include "store/ServerSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

ServerSocket::~ServerSocket() { release(); }

void ServerSocket::hold(int socket)
{
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

void ServerSocket::shutDownLocked()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}
