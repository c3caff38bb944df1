#include "device/ModelReply.h"

#include "model/NumberText.h"

#include <QStringList>
#include <cmath>

ModelReply::Rating ModelReply::rating(const QString &modelName, const RatingTable &table)
{
    const QString &prefix = table.dashPrefix();
    if (!prefix.isEmpty() && modelName.contains(prefix, Qt::CaseSensitive)) {
        const QStringList fields = modelName.split(u'-');
        if (fields.size() < 4)
            return {false, std::nullopt};
        const std::optional<double> volts = NumberText::leading(fields.at(2));
        return {true, NumberText::shortest(NumberText::lenient(fields.at(3))),
            volts && *volts > 0 && std::isfinite(*volts) ? volts : std::nullopt, std::nullopt};
    }
    if (const RatingTable::Entry *entry = table.entryFor(modelName))
        return {true, QString::number(entry->rating), entry->voltage, entry->power};
    return {};
}

std::optional<QString> ModelReply::generatorModel(const QString &idnReply)
{
    const QStringList fields = idnReply.split(u',');
    if (fields.size() < 2)
        return std::nullopt;
    return fields.at(1);
}
