#include "SharedFaults.h"

SharedFaults::SharedFaults(const FaultSet &faults, QObject *parent) : QObject(parent), m_faults(faults)
{
    m_timer.setSingleShot(true);
    // An outage must not end early; a coarse timer may fire before its time.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SharedFaults::endOutage);
}

SharedFaults::Verdict SharedFaults::countReply(const QByteArray &line)
{
    Verdict verdict;
    if (!m_faults.unusableLine.isEmpty() && line == m_faults.unusableLine)
        verdict.unusable = ++m_unusableReplies >= m_faults.unusableAfter;
    if (line == m_faults.outageLine) {
        ++m_outageReplies;
        if (m_nextOutage < m_faults.outages.size() && m_faults.outages.at(m_nextOutage).reply == m_outageReplies)
            verdict.outageMs = m_faults.outages.at(m_nextOutage++).ms;
    }
    return verdict;
}

void SharedFaults::requestOutage(int ms)
{
    m_outagesMs.append(ms);
    if (m_outagesMs.size() == 1)
        QTimer::singleShot(0, this, &SharedFaults::beginOutage);
}

void SharedFaults::beginOutage()
{
    m_down = 0;
    Q_EMIT goDown();
}

void SharedFaults::transportDown()
{
    if (++m_down < m_transports)
        return;
    Q_EMIT outageBegan(m_outagesMs.first());
    m_timer.start(m_outagesMs.first());
}

void SharedFaults::endOutage()
{
    m_up = 0;
    Q_EMIT comeUp();
}

void SharedFaults::transportUp()
{
    if (++m_up < m_transports)
        return;
    m_outagesMs.removeFirst();
    Q_EMIT outageEnded();
    if (!m_outagesMs.isEmpty())
        beginOutage();
}
