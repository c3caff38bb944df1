#include "InterruptWatcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

int InterruptWatcher::s_fds[2] = {-1, -1};

namespace {
// A closed terminal or a dropped ssh session (SIGHUP) and Ctrl+\ (SIGQUIT) end the run like
// Ctrl+C: the load is never left sinking because the runner's terminal went away.
constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
} // namespace

InterruptWatcher::InterruptWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_fds) != 0)
        return;
    m_notifier = new QSocketNotifier(s_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(s_fds[1], &byte, 1) == 1)
            Q_EMIT interrupted();
    });
    struct sigaction action = {};
    action.sa_handler = &InterruptWatcher::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher()
{
    for (int signal : Signals)
        ::signal(signal, SIG_DFL);
    if (s_fds[0] >= 0) {
        ::close(s_fds[0]);
        ::close(s_fds[1]);
        s_fds[0] = s_fds[1] = -1;
    }
}

void InterruptWatcher::handle(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(s_fds[0], &byte, 1);
}
