#include "PtyTransport.h"

#include "SharedFaults.h"
#include "SimSession.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyTransport::PtyTransport(SimInstruments &instruments, const FaultSet &faults, SharedFaults *shared, QObject *parent)
    : QObject(parent), m_instruments(instruments), m_faults(faults), m_shared(shared)
{
    if (m_shared) {
        m_shared->join();
        connect(m_shared, &SharedFaults::goDown, this, &PtyTransport::goDown);
        connect(m_shared, &SharedFaults::comeUp, this, &PtyTransport::comeUp);
    }
}

PtyTransport::~PtyTransport()
{
    closeTerminal();
    if (!m_linkPath.isEmpty())
        ::unlink(QFile::encodeName(m_linkPath).constData());
}

bool PtyTransport::open(const QString &linkPath, QString *error)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() && !existing.isSymLink()) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a link; not replacing it").arg(linkPath);
        return false;
    }
    m_linkPath = linkPath;
    return create(error);
}

bool PtyTransport::create(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("cannot create the pseudo-terminal (%1): %2")
                         .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        closeTerminal();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_devicePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return fail("open slave");
    termios mode{};
    if (::tcgetattr(m_slave, &mode) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&mode);
    if (::tcsetattr(m_slave, TCSANOW, &mode) != 0)
        return fail("tcsetattr");
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    const QByteArray link = QFile::encodeName(m_linkPath);
    ::unlink(link.constData());
    if (::symlink(name, link.constData()) != 0)
        return fail("symlink");

    m_session = new SimSession(m_instruments, SimInstrument::Load, m_faults, m_shared, this);
    connect(m_session, &SimSession::send, this, &PtyTransport::writeMaster);
    connect(m_session, &SimSession::dropRequested, this, &PtyTransport::closeWhenRead, Qt::QueuedConnection);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyTransport::readMaster);
    return true;
}

void PtyTransport::closeTerminal()
{
    delete m_notifier;
    m_notifier = nullptr;
    delete m_session;
    m_session = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

void PtyTransport::readMaster()
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            m_session->receive(QByteArray(chunk, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
}

void PtyTransport::writeMaster(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // Nobody reads the terminal and its queue is full: what does not fit is lost, as on a wire.
            return;
        }
    }
}

// Like an adapter pulled out: the open terminal goes away, and then a fresh one appears behind the
// same link unless the load is out of reach. What was already sent is left for the client to read
// first (a hang-up would discard it), for at most a second. The kernel hands written bytes to the
// terminal a moment later, so an empty queue only counts after a short grace time.
void PtyTransport::closeWhenRead()
{
    m_closing = true;
    int unread = 0;
    const bool pending = m_slave >= 0 && ::ioctl(m_slave, FIONREAD, &unread) == 0 && unread > 0;
    if (m_drainMs < dropGraceMs || (pending && m_drainMs < 1000)) {
        m_drainMs += drainPollMs;
        QTimer::singleShot(drainPollMs, this, &PtyTransport::closeWhenRead);
        return;
    }
    m_drainMs = 0;
    m_closing = false;
    closeTerminal();
    if (m_down)
        m_shared->transportDown();
    else
        reopen();
}

void PtyTransport::reopen()
{
    QString error;
    if (create(&error))
        Q_EMIT reopened(m_linkPath, m_devicePath);
    else
        qWarning("%s", qPrintable(error));
}

// Nobody can open the terminal once its link is gone; the client that has it open stops being
// answered and is hung up on once it has read what was sent to it.
void PtyTransport::goDown()
{
    m_down = true;
    ::unlink(QFile::encodeName(m_linkPath).constData());
    delete m_notifier;
    m_notifier = nullptr;
    delete m_session;
    m_session = nullptr;
    if (!m_closing)
        closeWhenRead();
}

void PtyTransport::comeUp()
{
    m_down = false;
    reopen();
    m_shared->transportUp();
}
