#include "link/LinkTransport.h"

#include "link/Clock.h"
#include "link/TraceList.h"

LinkTransport::LinkTransport(Clock &clock, TraceList &trace, QObject *parent)
    : QObject(parent), m_clock(clock), m_trace(trace)
{ }

bool LinkTransport::pastWaitLimit(qint64 startTick) const
{
    return m_waitLimitMs > 0 && m_clock.tickMs() - startTick >= m_waitLimitMs;
}

void LinkTransport::traceCutLine(qsizetype bytes)
{
    m_trace.TraceLine(QStringLiteral("A reply longer than %1 bytes was cut off: it is no reply").arg(bytes));
}
