#include "PtyPeer.h"

#include <QDeadlineTimer>
#include <QThread>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

PtyPeer::PtyPeer(QObject *parent) : LinePeer(parent)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return;
    m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
    // The peer holds the slave side open as well, so the master never sees a hang-up while the
    // program closes and reopens its port; raw, so no byte is echoed or translated meanwhile.
    m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
    termios settings{};
    ::tcgetattr(m_slave, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(m_slave, TCSANOW, &settings);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            feed(QByteArray(buffer, n));
    });
}

PtyPeer::~PtyPeer() { close(); }

void PtyPeer::close()
{
    m_notifier.reset();
    if (m_slave >= 0)
        ::close(std::exchange(m_slave, -1));
    if (m_master >= 0)
        ::close(std::exchange(m_master, -1));
}

void PtyPeer::send(const QByteArray &bytes)
{
    if (m_master >= 0)
        ::write(m_master, bytes.constData(), size_t(bytes.size()));
}

void PtyPeer::pushNow(const QByteArray &bytes)
{
    send(bytes);
    // The terminal hands written bytes on in a kernel worker, later: this waits until they are at
    // the program's end, without turning the event loop, so the program has not read them yet.
    const QDeadlineTimer patience(30000);
    int waiting = 0;
    while (
        m_slave >= 0 && ::ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting < bytes.size() && !patience.hasExpired())
        QThread::yieldCurrentThread();
}
