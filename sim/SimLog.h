#pragma once

#include "SimTypes.h"

#include <QFile>
#include <QString>

// The record of every received line: "L 1523 = LOAD ON", the instrument, milliseconds since start,
// "=" for a line the instrument understood or "?" for one it did not, and the line as received.
// Each line is flushed at once so that a test can read it while the simulator runs. Timing
// benchmarks need finer stamps than a millisecond: in microseconds the stamp counts those instead.
class SimLog
{
public:
    bool open(const QString &path, QString *error);
    void setMicroseconds(bool on) { m_microseconds = on; }
    void write(SimInstrument instrument, qint64 nsecs, bool known, const QByteArray &line);

private:
    QFile m_file;
    bool m_microseconds = false;
};
