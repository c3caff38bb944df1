#include "run/MeasureReply.h"

#include <QStringList>

std::optional<MeasureReply> MeasureReply::read(const QString &reply)
{
    const QStringList fields = reply.split(u',');
    if (fields.size() < 2)
        return std::nullopt;
    return MeasureReply{fields.at(0), fields.at(1)};
}
