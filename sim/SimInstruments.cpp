#include "SimInstruments.h"

#include "SimLog.h"

SimInstruments::SimInstruments(const SimConfig &config, double speed, SimLog *log)
    : m_engine(config), m_speed(speed), m_log(log)
{
    m_clock.start();
}

SimReply SimInstruments::receive(SimInstrument instrument, const QByteArray &line)
{
    const qint64 nsecs = m_clock.nsecsElapsed();
    const qint64 now = nsecs / 1000000;
    const double simulated = static_cast<double>(now) * m_speed;
    if (simulated > m_engine.nowMs())
        m_engine.advance(simulated - m_engine.nowMs());
    const SimReply reply = m_engine.handleLine(instrument, line);
    if (m_log)
        m_log->write(instrument, nsecs, reply.known, line);
    return reply;
}
