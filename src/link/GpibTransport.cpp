#include "link/GpibTransport.h"

#include "link/GpibLibrary.h"
#include "link/InstrumentLink.h"

GpibTransport::GpibTransport(GpibLibrary &library, Clock &clock, TraceList &trace, QObject *parent)
    : LinkTransport(clock, trace, parent), m_library(library)
{ }

void GpibTransport::open(const LinkSettings &settings)
{
    if (!m_library.load()) {
        m_handle = 0;
        Q_EMIT message(QStringLiteral("GPIB is not available: the GPIB library %1 could not be loaded (%2). "
                                      "Install linux-gpib, or connect over RS-232/USB or LAN.")
                           .arg(QString::fromLatin1(GpibLibrary::DefaultFile), m_library.loadError()));
        return;
    }
    m_handle = qint16(m_library.ibdev(Board, settings.Address, SecondaryAddress, TimeoutCode, SendEoi, EosMode));
}

void GpibTransport::write(const QString &command)
{
    if (m_handle != 0)
        m_library.ibwrt(m_handle, toWire(command));
}

QString GpibTransport::read()
{
    if (m_handle == 0)
        return ErrRec;
    const QByteArray bytes = m_library.ibrd(m_handle);
    if (bytes.isEmpty())
        return ErrRec;
    return fromWire(withoutLineEnd(bytes));
}
