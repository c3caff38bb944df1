#pragma once

#include <QString>
#include <optional>

// What the identified load is rated for, as plain numbers: nothing where the model's rating is not
// known (no load identified, or a model whose entry names no voltage or power).
struct LoadRatings
{
    std::optional<double> current; // A
    std::optional<double> voltage; // V
    std::optional<double> power; // W

    // The rating a value of `unit` ("A", "V", "W") is held to; nothing for other units.
    std::optional<double> forUnit(const QString &unit) const
    {
        if (unit == u"A")
            return current;
        if (unit == u"V")
            return voltage;
        if (unit == u"W")
            return power;
        return std::nullopt;
    }

    bool operator==(const LoadRatings &) const = default;
};
