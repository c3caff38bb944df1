#include "store/RunComparison.h"

#include <algorithm>
#include <cmath>
#include <limits>

void RunComparison::setNominal(double ampHours, double threshold)
{
    m_nominal = ampHours;
    m_threshold = threshold;
}

double RunComparison::stateOfHealth(const Entry &entry) const
{
    return m_nominal ? entry.figures.ampHours / *m_nominal : std::numeric_limits<double>::quiet_NaN();
}

std::optional<RunComparison::Spread> RunComparison::spread(Figure figure) const
{
    QList<double> values;
    for (const Entry &entry : m_entries)
        values.append(figure(entry));
    return spreadOf(values);
}

std::optional<RunComparison::Spread> RunComparison::stateOfHealthSpread() const
{
    QList<double> values;
    for (const Entry &entry : m_entries)
        values.append(stateOfHealth(entry));
    return spreadOf(values);
}

std::optional<RunComparison::Spread> RunComparison::spreadOf(const QList<double> &values)
{
    QList<double> known;
    for (double value : values) {
        if (!std::isnan(value))
            known.append(value);
    }
    if (known.isEmpty())
        return std::nullopt;
    Spread spread;
    const auto [min, max] = std::minmax_element(known.begin(), known.end());
    spread.min = *min;
    spread.max = *max;
    double sum = 0;
    for (double value : known)
        sum += value;
    spread.mean = sum / double(known.size());
    if (known.size() > 1) {
        double squares = 0;
        for (double value : known)
            squares += (value - spread.mean) * (value - spread.mean);
        spread.stddev = std::sqrt(squares / double(known.size() - 1));
    }
    return spread;
}
