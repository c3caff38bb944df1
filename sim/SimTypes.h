#pragma once

#include <QByteArray>
#include <optional>

// The two instruments that the simulator plays; the log marks their lines "L" and "G".
enum class SimInstrument { Load, Generator };

// The load's regulation modes, in the order the level arrays use.
enum class LoadMode { CC = 0, CR = 1, CV = 2, CP = 3 };

// What the load asks of the source at one moment. `cvFloor` is the added CV limit: the load
// never pulls the voltage below it (0 = no floor).
struct Demand
{
    bool on = false;
    LoadMode mode = LoadMode::CC;
    double level = 0;
    double cvFloor = 0;
};

struct OperatingPoint
{
    double volts = 0;
    double amps = 0;
};

// The engine's answer to one received line: whether it understood it, and what it says back.
struct SimReply
{
    bool known = false;
    std::optional<QByteArray> text;
};
