#pragma once

#include <QString>
#include <optional>

// The load's reply to "MEAS:VC?": voltage and current, "V,I", kept as the text the load sent.
struct MeasureReply
{
    QString voltage;
    QString current;

    // The first two fields of a reply that has at least two; nothing for any other reply.
    static std::optional<MeasureReply> read(const QString &reply);
};
