#include "run/InterruptWatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

int InterruptWatcher::s_fds[2] = {-1, -1};

InterruptWatcher::InterruptWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_fds) != 0)
        return;
    m_notifier = new QSocketNotifier(s_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char signal = 0;
        if (::read(s_fds[1], &signal, 1) == 1)
            Q_EMIT interrupted(signal);
    });
    struct sigaction action = {};
    action.sa_handler = &InterruptWatcher::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t k = 0; k < std::size(Watched); ++k)
        ::sigaction(Watched[k], &action, &m_previous[k]);
}

InterruptWatcher::~InterruptWatcher()
{
    if (!m_notifier)
        return;
    for (std::size_t k = 0; k < std::size(Watched); ++k)
        ::sigaction(Watched[k], &m_previous[k], nullptr);
    for (int &fd : s_fds) {
        ::close(fd);
        fd = -1;
    }
}

QString InterruptWatcher::signalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    case SIGQUIT:
        return QStringLiteral("SIGQUIT");
    }
    return QStringLiteral("signal %1").arg(signal);
}

void InterruptWatcher::handle(int signal)
{
    // The code the handler interrupted may be about to read errno.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = ::write(s_fds[0], &byte, 1);
    errno = savedErrno;
}
