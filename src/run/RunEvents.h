#pragma once

#include <QString>
#include <QStringList>

// What a run tells those who show or keep it. The sequencer emits these; it never reaches into
// a listener.
namespace RunEvents {

// How a step ended.
inline const QString EndedByTime = QStringLiteral("time");
inline const QString EndedByVoltage = QStringLiteral("voltage");
inline const QString EndedByCurrent = QStringLiteral("current");
inline const QString EndedByCapacity = QStringLiteral("capacity");
// The load's own test ended.
inline const QString EndedByLoad = QStringLiteral("load");
inline const QString EndedByStop = QStringLiteral("stopped");
inline const QString EndedByLostLoad = QStringLiteral("lost");
inline const QString EndedByError = QStringLiteral("error");

// How a run ended.
enum class Result { Pass, Fail, Stopped, Lost, Error };
QString resultText(Result result);

struct Sample
{
    double elapsedSeconds = 0;
    double volts = 0, amps = 0, watts = 0, ampHours = 0, wattHours = 0;
    int step = 0;
};

struct Verdict
{
    int step = 0;
    bool pass = false;
    // The value the verdict row shows.
    QString value;
};

} // namespace RunEvents
