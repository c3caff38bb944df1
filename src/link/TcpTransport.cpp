#include "link/TcpTransport.h"

#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/LineFraming.h"
#include "link/TraceList.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

TcpTransport::TcpTransport(bool receives, Clock &clock, TraceList &trace, QObject *parent)
    : LinkTransport(clock, trace, parent), m_receives(receives)
{
    m_socket.setReadBufferSize(ReadBufferBytes);
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpTransport::onReadyRead);
    connect(&m_socket, &QTcpSocket::stateChanged, &m_arrived, &Waker::wake);
    // Lines are short and each waits for the one before: Nagle's algorithm would hold a line back
    // until the previous one is acknowledged, and stretch the 5 ms spacing the load needs between lines.
    connect(&m_socket, &QTcpSocket::connected, this,
        [this] { m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1); });
}

TcpTransport::~TcpTransport()
{
    // The socket changes state as it goes: that must wake no wait, whose caller may be going down
    // with this link (a window closing, the program ending) and must never be resumed.
    m_socket.blockSignals(true);
}

QString TcpTransport::hostText(const LinkSettings &settings)
{
    return QStringList{QString::number(settings.LanIP1), QString::number(settings.LanIP2),
        QString::number(settings.LanIP3), QString::number(settings.LanIP4)}
        .join(QLatin1Char('.'));
}

QCoro::Task<> TcpTransport::open(const LinkSettings &settings)
{
    const QString host = hostText(settings);
    // A standing connection is kept, unless the operator has since chosen another address: that
    // choice must take effect without restarting the program.
    const bool elsewhere = host != m_host || settings.LanPort != m_port;
    if (!isConnected() || elsewhere) {
        m_host = host;
        m_port = settings.LanPort;
        if (m_port > 0 && m_port <= 65535) {
            co_await connectWithRetries(m_host, quint16(m_port));
        } else {
            m_socket.abort();
            Q_EMIT message(QStringLiteral("Connect Fail!"));
        }
    }
    co_await write(QStringLiteral("REM"));
}

QCoro::Task<> TcpTransport::connectWithRetries(const QString &host, quint16 port)
{
    m_socket.abort();
    m_framing.clear();
    m_socket.connectToHost(host, port);
    const qint64 start = m_clock.tickMs();
    if (!co_await m_clock.waitMs(limited(FirstPauseMs), m_cancel, &m_arrived))
        co_return;
    int retries = 0;
    while (!isConnected()) {
        // An attempt still under way is left to finish: aborting it every 10 ms would make a load
        // that answers a little slower than that unreachable.
        if (m_socket.state() == QAbstractSocket::UnconnectedState)
            m_socket.connectToHost(host, port);
        if (!co_await m_clock.waitMs(RetryPauseMs, m_cancel, &m_arrived))
            co_return;
        if (retries > LastRetry || pastWaitLimit(start)) {
            if (!isConnected()) {
                m_socket.abort();
                Q_EMIT message(QStringLiteral("Connect Fail!"));
            }
            break;
        }
        ++retries;
    }
}

bool TcpTransport::isConnected() const
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return false;
    // A line written after the load closed its end would be lost without a word: an off line above
    // all. The close is seen here at once, not when the event loop next turns.
    pollfd peer{int(m_socket.socketDescriptor()), POLLRDHUP, 0};
    return !(::poll(&peer, 1, 0) > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0);
}

void TcpTransport::close()
{
    m_socket.abort();
    m_framing.clear();
    m_replyBuffer.clear();
}

void TcpTransport::onReadyRead()
{
    if (!m_receives || m_takingUnread)
        return;
    // TCP delivers a line in as many pieces as it likes: a reply is only whole at its end.
    const QList<LineFraming::Line> lines = m_framing.take(m_socket.readAll());
    if (lines.isEmpty())
        return;
    for (const LineFraming::Line &line : lines) {
        if (line.cut)
            traceCutLine(LineFraming::MaxLineBytes);
        // A reply cut for its length is none: the wait for it ends, with nothing usable.
        m_replyBuffer = line.cut ? ErrRec : fromWire(line.text);
    }
    m_linesArrived += quint64(lines.size());
    Q_EMIT replyArrived();
    m_arrived.wake();
}

QByteArray TcpTransport::takeUnread()
{
    // Bytes the kernel holds but the event loop has not delivered yet count as unread too.
    int pending = 0;
    if (::ioctl(int(m_socket.socketDescriptor()), FIONREAD, &pending) == 0 && pending > 0) {
        m_takingUnread = true;
        m_socket.waitForReadyRead(0);
        m_takingUnread = false;
    }
    const QByteArray bytes = m_socket.readAll();
    QByteArray unread = m_framing.unfinished() + bytes;
    m_framing.take(bytes);
    // The next line written is a question: a line begun before it is no answer to it.
    m_framing.dropLineUnderWay();
    return unread.left(LineFraming::MaxLineBytes);
}

void TcpTransport::send(const QByteArray &line)
{
    // Straight to the socket while Qt holds nothing back: its write buffer would switch the write
    // notifier on and off around every line, and each switch wakes the event loop once more.
    // What the socket does not take at once, a failure included, goes the way Qt writes and reports.
    qint64 sent = 0;
    if (m_socket.bytesToWrite() == 0)
        sent = std::max<qint64>(
            ::send(int(m_socket.socketDescriptor()), line.constData(), size_t(line.size()), MSG_NOSIGNAL), 0);
    if (sent < line.size()) {
        m_socket.write(line.constData() + sent, line.size() - sent);
        m_socket.flush();
    }
}

QCoro::Task<> TcpTransport::write(const QString &command)
{
    co_await keepLineSpacing();
    // Taking what is unread is what may find the connection closed since it was looked at, and
    // the socket's state then says so: one look at the peer per line is enough.
    const bool connected = isConnected();
    if (connected) {
        const QByteArray unread = takeUnread();
        if (!unread.isEmpty())
            m_trace.TraceLine(QStringLiteral("S, ") + fromWire(unread));
    }
    if (connected && m_socket.state() == QAbstractSocket::ConnectedState)
        send(toWire(command) + "\r\n");
    else
        Q_EMIT message(QStringLiteral("Lost Connect!"));
    m_lastWriteTick = m_clock.tickMs();
    // The pause after a line ends early once a line comes back: a reply is read when it comes, and
    // the next line still keeps its distance.
    const quint64 linesBefore = m_linesArrived;
    co_await m_clock.waitUntil(
        PauseAfterWriteMs + 1, [this, linesBefore] { return m_linesArrived != linesBefore; }, &m_arrived, m_cancel);
}

QCoro::Task<> TcpTransport::keepLineSpacing()
{
    if (m_lastWriteTick < 0)
        co_return;
    const qint64 since = m_clock.tickMs() - m_lastWriteTick;
    if (since <= PauseAfterWriteMs)
        co_await m_clock.waitMs(double(PauseAfterWriteMs - since), m_cancel, &m_arrived);
}

QCoro::Task<QString> TcpTransport::query()
{
    if (!m_receives)
        co_return QString();
    // A connection that is gone brings no reply: waiting out the time-out would only hold up the run.
    co_await m_clock.waitUntil(
        limited(ReplyTimeoutMs), [this] { return !m_replyBuffer.isEmpty() || !isConnected(); }, &m_arrived, m_cancel);
    co_return m_replyBuffer.isEmpty() ? ErrRec : m_replyBuffer;
}

QCoro::Task<QString> TcpTransport::read() { co_return m_receives ? m_replyBuffer : QString(); }
