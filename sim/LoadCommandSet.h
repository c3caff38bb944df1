#pragma once

#include "LoadSettings.h"

#include <QByteArray>
#include <optional>

// The load's setting commands: each known line changes `LoadSettings` and may ask the engine to
// act (switch the input, start or stop one of the load's own tests). Queries are the engine's.
class LoadCommandSet
{
public:
    enum class Action {
        None,
        InputOn,
        InputOff,
        DynamicOn,
        Start,
        Stop,
        BatteryTestOn,
        BatteryTestOff,
        RampOn,
        RampOff,
        CycleLifeOn,
        CycleLifeOff,
        SequenceOn,
        SequenceOff,
    };

    // `keyword` is upper case; nothing when the line is not a command the load knows, or when its
    // value is not one the load accepts.
    static std::optional<Action> apply(const QByteArray &keyword, const QByteArray &argument, LoadSettings &settings);

private:
    static std::optional<Action> applyIndexed(
        const QByteArray &keyword, const QByteArray &argument, LoadSettings &settings);
    static std::optional<Action> applyLevel(
        const QByteArray &keyword, const QByteArray &argument, LoadSettings &settings);
};
