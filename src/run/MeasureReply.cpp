#include "run/MeasureReply.h"

#include "model/NumberText.h"

#include <QRegularExpression>
#include <cmath>

MeasureReply::Bounds MeasureReply::Bounds::forRatedCurrent(const QString &ratedCurrent)
{
    Bounds bounds;
    const std::optional<double> rated = NumberText::strict(ratedCurrent);
    if (rated && *rated > 0)
        bounds.amps = *rated * CurrentHeadroom;
    return bounds;
}

std::optional<MeasureReply> MeasureReply::read(const QString &reply, const Bounds &bounds)
{
    if (reply.size() > MaxChars)
        return std::nullopt;
    static const QRegularExpression reading(QRegularExpression::anchoredPattern(
        QStringLiteral("[ \\t\\r\\n]*([+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)[ \\t]*,"
                       "[ \\t]*([+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)[ \\t\\r\\n]*")));
    const QRegularExpressionMatch match = reading.match(reply);
    if (!match.hasMatch())
        return std::nullopt;
    MeasureReply measured{match.captured(1), match.captured(2)};
    const std::optional<double> volts = NumberText::strict(measured.voltage);
    const std::optional<double> amps = NumberText::strict(measured.current);
    if (!volts || !amps || std::abs(*volts) > bounds.volts || std::abs(*amps) > bounds.amps)
        return std::nullopt;
    measured.volts = *volts;
    measured.amps = *amps;
    return measured;
}

std::optional<MeasureReply> MeasureReply::read(const QString &reply) { return read(reply, Bounds()); }
