#include "link/SerialTransport.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/LineFraming.h"
#include "link/TraceList.h"
#include "model/NumberText.h"

#include <algorithm>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

SerialTransport::SerialTransport(Clock &clock, TraceList &trace, QObject *parent) : LinkTransport(clock, trace, parent)
{
    m_port.setReadBufferSize(ReadBufferBytes);
    connect(&m_port, &QSerialPort::readyRead, &m_arrived, &Waker::wake);
    connect(&m_port, &QSerialPort::errorOccurred, &m_arrived, &Waker::wake);
}

SerialTransport::~SerialTransport()
{
    // Closing the port as it goes must wake no wait, whose caller may be going down with this link.
    m_port.blockSignals(true);
}

std::optional<QString> SerialTransport::deviceName(const QString &comPort)
{
    const QString text = comPort.trimmed();
    if (text.contains(QLatin1Char('/')) || text.startsWith(QLatin1String("tty")))
        return text;
    const std::optional<qint32> number = NumberText::toInt32(NumberText::lenient(text));
    if (!number || *number <= 0)
        return std::nullopt;
    return QStringLiteral("/dev/ttyS%1").arg(*number - 1);
}

bool SerialTransport::isOpen() const
{
    if (!m_port.isOpen())
        return false;
    pollfd device{int(m_port.handle()), 0, 0};
    return !(::poll(&device, 1, 0) > 0 && (device.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0);
}

QCoro::Task<> SerialTransport::open(const LinkSettings &settings)
{
    const std::optional<QString> device = deviceName(settings.COMPort);
    if (!device)
        co_return;
    if (m_port.isOpen())
        m_port.close();
    m_device = *device;
    m_port.setPortName(m_device);
    m_port.setBaudRate(settings.BaudRate);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    switch (settings.HandShake) {
    case 1:
        m_port.setFlowControl(QSerialPort::SoftwareControl);
        break;
    case 2:
    case 3:
        m_port.setFlowControl(QSerialPort::HardwareControl);
        break;
    default:
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        break;
    }
    if (!openPort() || !addSoftwareFlowControl(settings.HandShake)) {
        Q_EMIT message(QStringLiteral("Please check COM Port is correct?"));
        if (m_port.isOpen())
            m_port.close();
        co_return;
    }
    writeLine(QStringLiteral("REM"));
}

bool SerialTransport::addSoftwareFlowControl(int handShake)
{
    // HandShake 3 is RTS/CTS and XON/XOFF at once. Qt offers one or the other; the terminal holds
    // both, so XON/XOFF is added to the open port's settings.
    if (handShake != 3)
        return true;
    termios settings{};
    const int fd = int(m_port.handle());
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    settings.c_iflag |= IXON | IXOFF;
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool SerialTransport::openPort()
{
    m_port.clearError();
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    // RTS belongs to the flow control when that is RTS/CTS. A pseudo-terminal has no modem lines
    // and refuses the call; that is not a failure of the port.
    if (m_port.flowControl() != QSerialPort::HardwareControl)
        m_port.setRequestToSend(true);
    m_port.clearError();
    return true;
}

QCoro::Task<> SerialTransport::write(const QString &command)
{
    writeLine(command);
    co_return;
}

bool SerialTransport::writeLine(const QString &command)
{
    if (!m_port.isOpen() && (m_device.isEmpty() || !openPort())) {
        recordError(QStringLiteral("open"));
        return false;
    }
    m_port.clear(QSerialPort::Input);
    m_framing.take(m_port.readAll());
    // What follows is a question: a line begun before it is no answer to it.
    m_framing.dropLineUnderWay();
    const QByteArray line = toWire(command) + "\r\n";
    // Straight to the port while Qt holds nothing back: its write buffer would switch the write
    // notifier on and off around every line, and each switch wakes the event loop once more. What
    // the port does not take at once, a failure included, goes the way Qt writes and reports.
    qint64 sent = 0;
    if (m_port.bytesToWrite() == 0)
        sent = std::max<qint64>(::write(int(m_port.handle()), line.constData(), size_t(line.size())), 0);
    if (sent < line.size() && m_port.write(line.constData() + sent, line.size() - sent) != line.size() - sent) {
        recordError(QStringLiteral("write"));
        return false;
    }
    m_port.flush();
    return true;
}

QCoro::Task<QString> SerialTransport::readReply(bool startWithReceived)
{
    if (!m_port.isOpen())
        co_return QString();
    qsizetype received = 0;
    bool endsALine = false;
    std::optional<QByteArray> reply;
    bool cut = false;
    const auto take = [&](const QByteArray &bytes) {
        if (bytes.isEmpty())
            return;
        received += bytes.size();
        endsALine = LineFraming::isLineEnd(bytes.back());
        for (const LineFraming::Line &line : m_framing.take(bytes)) {
            cut = line.cut;
            reply = cut ? std::nullopt : std::optional<QByteArray>(line.text);
        }
    };
    if (startWithReceived)
        take(m_port.readAll());
    const qint64 start = m_clock.tickMs();
    const int timeoutMs = limited(ReplyTimeoutMs);
    auto elapsed = [&] { return double(m_clock.tickMs() - start); };
    while (!endsALine && !cut && elapsed() < timeoutMs) {
        take(m_port.readAll());
        if (endsALine || cut)
            break;
        co_await m_clock.waitUntil(
            timeoutMs - elapsed(),
            [this] { return m_port.bytesAvailable() > 0 || m_port.error() != QSerialPort::NoError; }, &m_arrived,
            m_cancel);
        if (m_port.error() != QSerialPort::NoError && m_port.error() != QSerialPort::TimeoutError) {
            recordError(QStringLiteral("read"));
            co_return ErrRec;
        }
        if (m_cancel && m_cancel->isCancelled())
            break;
    }
    if (cut) {
        traceCutLine(LineFraming::MaxLineBytes);
        co_return ErrRec;
    }
    if (received < 2)
        co_return ErrRec;
    // A time-out with a line begun gives that line as it stands.
    if (!m_framing.unfinished().isEmpty())
        co_return fromWire(m_framing.unfinished());
    co_return reply ? fromWire(*reply) : ErrRec;
}

void SerialTransport::recordError(const QString &during)
{
    // A diagnostic record only: date and time, error number and description, as one trace line.
    const QString description = m_device.isEmpty()
        ? QStringLiteral("no serial port chosen")
        : QStringLiteral("%1 %2: %3").arg(during, m_device, m_port.errorString());
    m_trace.TraceLine(QStringLiteral("%1,%2,%3")
                          .arg(m_clock.now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                          .arg(int(m_port.error()))
                          .arg(description));
    m_port.clearError();
}
