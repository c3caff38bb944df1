#pragma once

#include "device/RatingTable.h"

#include <QString>
#include <optional>

// What the instruments answer when asked who they are: the load to "name?", the generator to
// "*idn?".
class ModelReply
{
public:
    struct Rating
    {
        // False for a name with the dash prefix but no fourth "-" field: identification stops there.
        bool readable = true;
        // The rated current as the window shows it; nothing when the table has no entry for the name.
        std::optional<QString> current;
        // The rated voltage and power, where the name or the entry gives them.
        std::optional<double> voltage;
        std::optional<double> power;
    };

    // The ratings of the load's model: its third and fourth "-" fields (voltage and current) when
    // the name carries the table's dash prefix, else the table's entry for it.
    static Rating rating(const QString &modelName, const RatingTable &table);
    // The generator's model, the second "," field of its reply; nothing without one.
    static std::optional<QString> generatorModel(const QString &idnReply);
};
