#include "link/LinkTransport.h"

#include "link/Clock.h"

LinkTransport::LinkTransport(Clock &clock, TraceList &trace, QObject *parent)
    : QObject(parent), m_clock(clock), m_trace(trace)
{ }

bool LinkTransport::pastWaitLimit(qint64 startTick) const
{
    return m_waitLimitMs > 0 && m_clock.tickMs() - startTick >= m_waitLimitMs;
}
