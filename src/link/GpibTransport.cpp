#include "link/GpibTransport.h"

#include "link/GpibLibrary.h"
#include "link/InstrumentLink.h"
#include "link/LineFraming.h"

GpibTransport::GpibTransport(GpibLibrary &library, Clock &clock, TraceList &trace, QObject *parent)
    : LinkTransport(clock, trace, parent), m_library(library)
{ }

QCoro::Task<> GpibTransport::open(const LinkSettings &settings)
{
    if (!m_library.load()) {
        m_handle = 0;
        Q_EMIT message(QStringLiteral("GPIB is not available: the GPIB library %1 could not be loaded (%2). "
                                      "Install linux-gpib, or connect over RS-232/USB or LAN.")
                           .arg(QString::fromLatin1(GpibLibrary::DefaultFile), m_library.loadError()));
        co_return;
    }
    const int handle
        = co_await m_library.ibdev(settings.BoardNo, settings.Address, SecondaryAddress, TimeoutCode, SendEoi, EosMode);
    m_handle = qint16(handle);
}

QCoro::Task<> GpibTransport::write(const QString &command)
{
    if (m_handle != 0)
        co_await m_library.ibwrt(m_handle, toWire(command));
}

QCoro::Task<QString> GpibTransport::read()
{
    if (m_handle == 0)
        co_return ErrRec;
    const QByteArray bytes = co_await m_library.ibrd(m_handle);
    // A read that filled the buffer and ends inside a line was cut off by its count.
    if (bytes.size() >= GpibLibrary::ReadBufferSize && !LineFraming::isLineEnd(bytes.back())) {
        traceCutLine(GpibLibrary::ReadBufferSize);
        co_return ErrRec;
    }
    const std::optional<QByteArray> reply = LineFraming::reply(bytes);
    co_return reply ? fromWire(*reply) : ErrRec;
}
