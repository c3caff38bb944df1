#include "device/ModelReply.h"

#include "model/NumberText.h"

#include <QStringList>

ModelReply::Rating ModelReply::rating(const QString &modelName, const RatingTable &table)
{
    const QString &prefix = table.dashPrefix();
    if (!prefix.isEmpty() && modelName.contains(prefix, Qt::CaseSensitive)) {
        const QStringList fields = modelName.split(u'-');
        if (fields.size() < 4)
            return {false, std::nullopt};
        return {true, NumberText::shortest(NumberText::lenient(fields.at(3)))};
    }
    if (const std::optional<int> rating = table.ratingFor(modelName))
        return {true, QString::number(*rating)};
    return {};
}

std::optional<QString> ModelReply::generatorModel(const QString &idnReply)
{
    const QStringList fields = idnReply.split(u',');
    if (fields.size() < 2)
        return std::nullopt;
    return fields.at(1);
}
