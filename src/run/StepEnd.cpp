#include "run/StepEnd.h"

#include <array>

namespace {

constexpr std::array Ends{StepEnd::None, StepEnd::Time, StepEnd::Voltage, StepEnd::Current, StepEnd::Capacity,
    StepEnd::Load, StepEnd::Stopped, StepEnd::Lost, StepEnd::Error};

} // namespace

QString stepEndText(StepEnd end)
{
    switch (end) {
    case StepEnd::None:
        break;
    case StepEnd::Time:
        return QStringLiteral("time");
    case StepEnd::Voltage:
        return QStringLiteral("voltage");
    case StepEnd::Current:
        return QStringLiteral("current");
    case StepEnd::Capacity:
        return QStringLiteral("capacity");
    case StepEnd::Load:
        return QStringLiteral("load");
    case StepEnd::Stopped:
        return QStringLiteral("stopped");
    case StepEnd::Lost:
        return QStringLiteral("lost");
    case StepEnd::Error:
        return QStringLiteral("error");
    }
    return QString();
}

std::optional<StepEnd> stepEndFromText(const QString &text)
{
    for (StepEnd end : Ends)
        if (stepEndText(end) == text)
            return end;
    return std::nullopt;
}
