#include "SimSession.h"

#include "SharedFaults.h"
#include "SimInstruments.h"

#include <algorithm>

namespace {
// A sender that never ends its line cannot grow the buffer without bound.
constexpr qsizetype maxLineBytes = 64 * 1024;
} // namespace

SimSession::SimSession(SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults,
    SharedFaults *shared, QObject *parent)
    : QObject(parent), m_instruments(instruments), m_instrument(instrument), m_faults(faults), m_shared(shared)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimSession::flushDue);
    m_clock.start();
}

void SimSession::receive(const QByteArray &bytes)
{
    if (m_dropping)
        return;
    m_buffer += bytes;
    qsizetype end;
    while (!m_dropping && (end = m_buffer.indexOf('\n')) >= 0) {
        QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(line);
    }
    if (m_buffer.size() > maxLineBytes)
        m_buffer.clear();
}

void SimSession::handleLine(const QByteArray &line)
{
    ++m_lines;
    const SimReply reply = m_instruments.receive(m_instrument, line);
    const qint64 now = m_clock.elapsed();
    const bool silent = m_faults.silentAfter > 0 && m_lines > m_faults.silentAfter;
    if (reply.text && !silent) {
        ++m_replies;
        const SharedFaults::Verdict shared = m_shared ? m_shared->countReply(line) : SharedFaults::Verdict();
        QByteArray text = *reply.text;
        if (shared.unusable)
            text = m_faults.unusableText();
        else if (m_faults.garbageEvery > 0 && m_replies % m_faults.garbageEvery == 0)
            text = FaultSet::garbageLine;
        text += m_faults.lineEnd;
        const qint64 due = now + m_faults.delayMs + (line == m_faults.lateLine ? m_faults.lateMs : 0);
        const int pieces = std::min<int>(std::max(1, m_faults.splitPieces), static_cast<int>(text.size()));
        for (int k = 0; k < pieces; ++k) {
            const qsizetype from = text.size() * k / pieces;
            const qsizetype to = text.size() * (k + 1) / pieces;
            queue({.dueMs = due + k * FaultSet::splitGapMs, .bytes = text.mid(from, to - from)});
        }
        if (shared.outageMs > 0) {
            m_dropping = true;
            queue({.dueMs = due, .drop = true, .outageMs = shared.outageMs});
        }
    } else if (!reply.text && m_shared) {
        // A line the load takes without a word can begin an outage too: right after it, nothing
        // tells whether it arrived.
        if (const int outageMs = m_shared->countReply(line).outageMs; outageMs > 0) {
            m_dropping = true;
            queue({.dueMs = now, .drop = true, .outageMs = outageMs});
        }
    }
    const bool dropLine = !m_faults.dropLine.isEmpty() && line == m_faults.dropLine;
    if (!m_dropping && ((m_faults.dropAfter > 0 && m_lines >= m_faults.dropAfter) || dropLine)) {
        m_dropping = true;
        queue({.dueMs = now, .drop = true});
    }
}

void SimSession::queue(Pending next)
{
    if (next.bytes.isEmpty() && !next.drop)
        return;
    if (!m_pending.isEmpty())
        next.dueMs = std::max(next.dueMs, m_pending.last().dueMs);
    m_pending.append(next);
    flushDue();
}

void SimSession::flushDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_pending.isEmpty() && m_pending.first().dueMs <= now) {
        const Pending next = m_pending.takeFirst();
        if (next.drop) {
            m_pending.clear();
            if (next.outageMs > 0)
                m_shared->requestOutage(next.outageMs);
            else
                Q_EMIT dropRequested();
            return;
        }
        Q_EMIT send(next.bytes);
    }
    if (!m_pending.isEmpty())
        m_timer.start(static_cast<int>(m_pending.first().dueMs - now));
}
