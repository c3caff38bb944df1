#include "model/NumberRule.h"

#include "model/NumberText.h"

#include <cmath>

namespace {

QString withUnit(const QString &number, const QString &unit) { return unit.isEmpty() ? number : number + u' ' + unit; }

QString plainNumber(double value) { return NumberText::shortest(value); }

} // namespace

NumberRule NumberRule::positive()
{
    NumberRule rule;
    rule.aboveMinimum = true;
    return rule;
}

NumberRule NumberRule::milliseconds()
{
    NumberRule rule;
    rule.maximum = LongestMs;
    return rule;
}

NumberRule NumberRule::count(double minimum, double maximum)
{
    NumberRule rule;
    rule.minimum = minimum;
    rule.maximum = maximum;
    rule.whole = true;
    return rule;
}

NumberRule NumberRule::stop(const QString &unit)
{
    NumberRule rule = unit == u"ms" ? milliseconds() : NumberRule();
    rule.blankIsNone = true;
    return rule;
}

std::optional<double> NumberRule::judge(
    const QString &text, const QString &unit, const LoadRatings &ratings, bool blankReadsZero, QString *why) const
{
    const auto refuse = [why](const QString &reason) -> std::optional<double> {
        *why = reason;
        return std::nullopt;
    };
    const QString typed = text.trimmed();
    if (typed.isEmpty()) {
        if (blankIsNone && blankReadsZero)
            return 0.0;
        return refuse(QStringLiteral("enter a number."));
    }
    if (typed.contains(u','))
        return refuse(QStringLiteral("\"%1\" is not a number; use \".\" as the decimal point.").arg(typed));
    const std::optional<double> value = NumberText::strict(typed);
    if (!value)
        return refuse(QStringLiteral("\"%1\" is not a number.").arg(typed));
    // A resistance of 0 Ohm is a short, whatever the field allows otherwise.
    const bool above = aboveMinimum || unit == u"Ohm";
    if (minimum == 0 && *value < 0)
        return refuse(QStringLiteral("%1 cannot be negative.").arg(withUnit(typed, unit)));
    if (above && *value <= minimum)
        return refuse(QStringLiteral("%1 must be more than %2.")
                          .arg(withUnit(typed, unit), withUnit(plainNumber(minimum), unit)));
    if (*value < minimum)
        return refuse(
            QStringLiteral("%1 is less than %2.").arg(withUnit(typed, unit), withUnit(plainNumber(minimum), unit)));
    if (whole && std::trunc(*value) != *value)
        return refuse(QStringLiteral("%1 is not a whole number.").arg(typed));
    if (*value > maximum)
        return refuse(
            QStringLiteral("%1 is more than %2.").arg(withUnit(typed, unit), withUnit(plainNumber(maximum), unit)));
    if (const std::optional<double> rated = ratings.forUnit(unit); rated && *value > *rated)
        return refuse(QStringLiteral("%1 is more than the load's rated %2.")
                          .arg(withUnit(typed, unit), withUnit(plainNumber(*rated), unit)));
    return value;
}
