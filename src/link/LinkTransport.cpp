#include "link/LinkTransport.h"

LinkTransport::LinkTransport(Clock &clock, TraceList &trace, QObject *parent)
    : QObject(parent), m_clock(clock), m_trace(trace)
{ }

QByteArray LinkTransport::withoutLineEnd(const QByteArray &line)
{
    if (line.endsWith("\r\n"))
        return line.chopped(2);
    if (line.endsWith('\n'))
        return line.chopped(1);
    return line;
}
