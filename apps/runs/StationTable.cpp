#include "StationTable.h"

#include "TextTable.h"

#include <QFileInfo>
#include <cmath>

namespace StationTable {

namespace {

const QString None = QStringLiteral("-");

QString number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : None;
}

QString duration(double seconds)
{
    const qint64 whole = qint64(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString stateWord(const StationState &station)
{
    if (station.isSilent())
        return QStringLiteral("SILENT %1 s").arg(qint64(station.silentSeconds));
    switch (station.activity) {
    case StationState::Activity::Running:
        return QStringLiteral("RUNNING");
    case StationState::Activity::Finished:
        return QStringLiteral("FINISHED");
    case StationState::Activity::Idle:
        break;
    }
    return QStringLiteral("IDLE");
}

// "NOT CONFIRMED since 09:40:00" while the last run's load may still be on, "confirmed 09:41:02"
// once a later try found it off.
QString loadOff(const LoadOff &off)
{
    if (off.unconfirmed())
        return QStringLiteral("NOT CONFIRMED since %1").arg(off.since.toString(QStringLiteral("HH:mm:ss")));
    if (off.confirmedLate())
        return QStringLiteral("confirmed %1").arg(off.confirmedAt.toString(QStringLiteral("HH:mm:ss")));
    return None;
}

QStringList cells(const StationState &station)
{
    const bool running = station.activity == StationState::Activity::Running;
    const QString program = station.program.isEmpty() ? None : QFileInfo(station.program).fileName();
    const QString step = running && station.step > 0
        ? QStringLiteral("%1/%2 %3").arg(station.step).arg(station.steps).arg(station.function)
        : None;
    return {station.label(), stateWord(station), program, step, number(station.volts, 3), number(station.amps, 3),
        number(station.runAmpHours, 4), running ? duration(station.elapsedSeconds) : None,
        station.stepSecondsLeft ? QStringLiteral("%1 s").arg(*station.stepSecondsLeft, 0, 'f', 1) : None,
        station.estimatedEnd.isValid() ? station.estimatedEnd.toLocalTime().toString(QStringLiteral("HH:mm:ss")) : None,
        station.lastResult.isEmpty() ? None : station.lastResult, loadOff(station.loadOff),
        QStringLiteral("%1 s ago").arg(qint64(station.silentSeconds))};
}

} // namespace

QString text(const QList<StationState> &stations)
{
    TextTable table({QStringLiteral("STATION"), QStringLiteral("STATE"), QStringLiteral("PROGRAM"),
                        QStringLiteral("STEP"), QStringLiteral("V"), QStringLiteral("I"), QStringLiteral("AH"),
                        QStringLiteral("ELAPSED"), QStringLiteral("LEFT"), QStringLiteral("ENDS"),
                        QStringLiteral("LAST"), QStringLiteral("LOAD OFF"), QStringLiteral("HEARD")},
        {4, 5, 6, 7, 8});
    for (const StationState &station : stations)
        table.addRow(cells(station));
    return table.toText();
}

} // namespace StationTable
