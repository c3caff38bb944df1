#pragma once

#include "SimTypes.h"

#include <QFile>
#include <QString>

// The record of every received line: "L 1523 = LOAD ON", the instrument, milliseconds since start,
// "=" for a line the instrument understood or "?" for one it did not, and the line as received.
// Each line is flushed at once so that a test can read it while the simulator runs.
class SimLog
{
public:
    bool open(const QString &path, QString *error);
    void write(SimInstrument instrument, qint64 ms, bool known, const QByteArray &line);

private:
    QFile m_file;
};
