#pragma once

#include "SimEngine.h"

#include <QElapsedTimer>

class SimLog;

// The engine on the wall clock: before each received line the simulated time catches up with
// the real time passed, times the speed factor. Nothing runs between lines, so an idle simulator
// costs nothing.
class SimInstruments
{
public:
    SimInstruments(const SimConfig &config, double speed, SimLog *log = nullptr);

    SimReply receive(SimInstrument instrument, const QByteArray &line);
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    SimEngine &engine() { return m_engine; }

private:
    SimEngine m_engine;
    double m_speed;
    SimLog *m_log;
    QElapsedTimer m_clock;
};
