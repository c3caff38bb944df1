#pragma once

#include "run/LoadOff.h"

#include <QJsonValue>
#include <QString>

// Whether a run's load obeyed its off lines, as the store and the summary keep it and as the
// operator reads it.
namespace LoadOffText {

// "CONFIRMED" or "UNCONFIRMED"; "" for a run that owes nothing.
QString stateText(LoadOff::State state);
// The state a text of stateText() names; None for any other.
LoadOff::State stateFrom(const QString &text);
// Local time to the millisecond, as the store and the summary keep every time; "" when not valid.
QString timeText(const QDateTime &when);
QDateTime timeFrom(const QString &text);

// {"state", "address", "since", "confirmed_at", "amps"}, times as timeText(), amps null when not
// read; null for a run that owes nothing.
QJsonValue json(const LoadOff &off);
// Beside the run's result: "load not confirmed off", or for a load a later try found off "load
// confirmed off 2026-12-08 09:41:02"; "" otherwise.
QString note(const LoadOff &off);
// All that is known, in a line: "load not confirmed off since 2026-12-08 09:40:00 (TCP
// 127.0.0.1:5025)", "confirmed off 2026-12-08 09:40:00, 0.002 A", or, for one confirmed late,
// "confirmed off 2026-12-08 09:41:02, 0.002 A; load not confirmed off from 2026-12-08 09:40:00";
// "" for a run that owes nothing.
QString detail(const LoadOff &off);

} // namespace LoadOffText
