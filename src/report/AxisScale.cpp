#include "report/AxisScale.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest round step not below `raw`.
double roundStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 2.5, 5.0}) {
        if (factor * power >= raw * (1 - 1e-9))
            return factor * power;
    }
    return 10 * power;
}

} // namespace

AxisScale AxisScale::spanning(double min, double max, int divisions)
{
    const double least = std::max(std::abs(max), 1.0) * 0.02;
    if (max - min < least) {
        const double middle = (min + max) / 2;
        min = middle - least / 2;
        max = middle + least / 2;
    }
    AxisScale scale;
    scale.step = roundStep((max - min) / divisions);
    scale.low = std::floor(min / scale.step) * scale.step;
    scale.high = std::max(std::ceil(max / scale.step) * scale.step, scale.low + scale.step);
    // A reading that never goes below zero keeps zero as its floor.
    if (min >= 0)
        scale.low = std::max(scale.low, 0.0);
    return scale;
}

AxisScale AxisScale::fromZero(double min, double max, int divisions)
{
    min = std::min(min, 0.0);
    max = std::max(max, 0.0);
    if (max - min < 1e-9)
        max = min + 1;
    AxisScale scale;
    scale.step = roundStep((max - min) / divisions);
    for (;;) {
        scale.low = std::floor(min / scale.step) * scale.step;
        scale.high = scale.low + divisions * scale.step;
        if (scale.high >= max * (1 - 1e-9))
            return scale;
        scale.step = roundStep(scale.step * 1.001);
    }
}

int AxisScale::divisions() const { return int(std::lround((high - low) / step)); }

QString AxisScale::label(double value) const
{
    int decimals = 0;
    while (decimals < 6) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * scaled)
            break;
        ++decimals;
    }
    // No "-0" for a tick that lands on zero by rounding.
    if (std::abs(value) < step * 1e-6)
        value = 0;
    return QString::number(value, 'f', decimals);
}
