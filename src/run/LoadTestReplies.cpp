#include "run/LoadTestReplies.h"

#include "link/InstrumentLink.h"
#include "model/NumberText.h"

#include <QRegularExpression>

std::optional<double> LoadTestReplies::testingState(const QString &reply)
{
    if (reply == ErrRec)
        return std::nullopt;
    return NumberText::leading(reply);
}

bool LoadTestReplies::verdictReady(const QString &reply)
{
    const std::optional<double> ng = NumberText::leading(reply);
    return ng && (*ng == 0 || *ng == 1);
}

bool LoadTestReplies::tripWithin(const QString &reply, double low, double high)
{
    const std::optional<double> trip = NumberText::leading(reply);
    return trip && low <= *trip && *trip <= high;
}

LoadTestReplies::Judged LoadTestReplies::discharge(const QString &reply, double stop, Verdict::Quantity quantity)
{
    const std::optional<double> drawn = NumberText::strict(reply);
    return {{drawn && *drawn < stop, reply, quantity}, drawn.has_value()};
}

LoadTestReplies::Judged LoadTestReplies::profile(const QString &reply, std::optional<double> loadOff)
{
    if (const std::optional<double> volts = NumberText::strict(reply))
        return {{loadOff && *volts > *loadOff, reply, Verdict::Quantity::Volts}, true};
    static const QRegularExpression prefixed(QStringLiteral("^\\S{3}\\s*([-+]?[0-9.]+(?:[eE][-+]?[0-9]+)?)\\s*$"));
    // The pattern alone lets through a run of points and digits that is no number ("NG:.").
    const QRegularExpressionMatch match = prefixed.match(reply);
    if (match.hasMatch() && NumberText::strict(match.captured(1)))
        return {{false, match.captured(1), Verdict::Quantity::Volts}, true};
    return {{false, reply, Verdict::Quantity::Volts}, false};
}
