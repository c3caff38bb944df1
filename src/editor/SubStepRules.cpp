#include "editor/SubStepRules.h"

#include "model/NumberText.h"

#include <cmath>

namespace SubStepRules {

QString limitTotalStep(const QString &text, int minimum, int maximum)
{
    const std::optional<double> value = NumberText::strict(text);
    if (!value || std::isnan(*value))
        return QString::number(minimum);
    if (*value > maximum)
        return QString::number(maximum);
    if (*value < minimum)
        return QString::number(minimum);
    return text;
}

int subStepCount(const QString &limitedText, int minimum)
{
    const std::optional<double> value = NumberText::strict(limitedText);
    if (!value)
        return minimum;
    return NumberText::toInt32(*value).value_or(minimum);
}

QString sequenceTimeLimit(const QStringList &timesMs, const QString &totalStepText, const QString &repeatText)
{
    const double total = std::nearbyint(NumberText::lenient(totalStepText));
    double sum = 0;
    for (int i = 0; i < timesMs.size() && i < total; ++i)
        sum += NumberText::lenient(timesMs.at(i));
    const double seconds = std::nearbyint(sum * NumberText::lenient(repeatText) / 1000.0);
    return NumberText::shortest(seconds + 1);
}

} // namespace SubStepRules
