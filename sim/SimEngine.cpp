#include "SimEngine.h"

#include "SimText.h"

#include <algorithm>
#include <cmath>

namespace {

// A slice of simulated time is at most this long, so a discharge follows its curve closely.
constexpr double sliceMs = 50;
// Above this many slices per advance, slices grow: a long idle at a high speed stays cheap.
constexpr double maxSlices = 50000;
// Samples over one period when a dynamic or generator-driven load repeats faster than a slice.
constexpr int periodSamples = 16;

double approach(double from, double to, double rate, double ms)
{
    if (rate <= 0)
        return to;
    const double span = std::abs(to - from);
    return from + std::copysign(std::min(span, rate * ms), to - from);
}

} // namespace

SimEngine::SimEngine(const SimConfig &config)
    : m_config(config), m_source(config.source), m_generator(config.generatorIdentity)
{ }

SimReply SimEngine::handleLine(SimInstrument instrument, const QByteArray &line)
{
    const QByteArray text = line.trimmed();
    const qsizetype blank = text.indexOf(' ');
    const QByteArray keyword = (blank < 0 ? text : text.left(blank)).toUpper();
    const QByteArray argument = blank < 0 ? QByteArray() : text.mid(blank + 1).trimmed();
    if (keyword.isEmpty())
        return {};
    if (instrument == SimInstrument::Generator)
        return m_generator.handle(keyword, argument);
    return handleLoad(keyword, argument);
}

SimReply SimEngine::handleLoad(const QByteArray &keyword, const QByteArray &argument)
{
    if (keyword.endsWith('?')) {
        if (!argument.isEmpty())
            return {};
        const std::optional<QByteArray> reply = loadQuery(keyword);
        return {reply.has_value(), reply};
    }
    const std::optional<LoadCommandSet::Action> action = LoadCommandSet::apply(keyword, argument, m_settings);
    if (!action)
        return {};
    act(*action);
    return {true, std::nullopt};
}

std::optional<QByteArray> SimEngine::loadQuery(const QByteArray &keyword) const
{
    if (keyword == "NAME?")
        return m_config.model;
    if (keyword == "MEAS:VC?") {
        const OperatingPoint p = measure();
        return SimText::fixed(p.volts, 3) + ',' + SimText::fixed(p.amps, 3);
    }
    if (keyword == "TESTING?")
        return QByteArray(m_tests.running() ? "1" : "0");
    if (keyword == "NG?")
        return QByteArray::number(m_tests.ng());
    if (keyword == "OCP?")
        return SimText::fixed(m_tests.ocpTrip(), 3);
    if (keyword == "OPP?")
        return SimText::fixed(m_tests.oppTrip(), 3);
    if (keyword == "BATT:RAH?")
        return SimText::fixed(m_tests.drawnAh(), 4);
    if (keyword == "BATT:RWH?")
        return SimText::fixed(m_tests.drawnWh(), 4);
    if (keyword == "BATT:RVOLT?")
        return SimText::fixed(m_tests.endVolts(), 3);
    return std::nullopt;
}

void SimEngine::act(LoadCommandSet::Action action)
{
    using Action = LoadCommandSet::Action;
    using Kind = LoadTestRunner::Kind;
    switch (action) {
    case Action::None:
        return;
    case Action::InputOn:
        if (!m_settings.inputOn)
            m_dynamicSinceMs = m_nowMs;
        m_settings.inputOn = true;
        return;
    case Action::InputOff:
    case Action::Stop:
        m_tests.stop();
        m_settings.inputOn = false;
        return;
    case Action::DynamicOn:
        m_dynamicSinceMs = m_nowMs;
        return;
    case Action::Start:
        switch (m_settings.testConfig) {
        case LoadSettings::TestConfig::Short:
            startTest(Kind::Short);
            return;
        case LoadSettings::TestConfig::Ocp:
            startTest(Kind::Ocp);
            return;
        case LoadSettings::TestConfig::Opp:
            startTest(Kind::Opp);
            return;
        }
        return;
    case Action::BatteryTestOn:
        startTest(Kind::BatteryDischarge);
        return;
    case Action::BatteryTestOff:
        stopTest(Kind::BatteryDischarge);
        return;
    case Action::RampOn:
        startTest(Kind::Ramp);
        return;
    case Action::RampOff:
        stopTest(Kind::Ramp);
        return;
    case Action::CycleLifeOn:
        startTest(Kind::CycleLife);
        return;
    case Action::CycleLifeOff:
        stopTest(Kind::CycleLife);
        return;
    case Action::SequenceOn:
        startTest(Kind::Sequence);
        return;
    case Action::SequenceOff:
        stopTest(Kind::Sequence);
        return;
    }
}

// A test takes the input over; when it ends the load lets go of the source.
void SimEngine::startTest(LoadTestRunner::Kind kind)
{
    m_settings.inputOn = false;
    m_tests.start(kind, m_settings, m_source);
}

void SimEngine::stopTest(LoadTestRunner::Kind onlyKind)
{
    if (m_tests.kind() == onlyKind)
        m_tests.stop();
    m_settings.inputOn = false;
}

OperatingPoint SimEngine::measure() const { return m_source.solve(demandAt(m_nowMs)); }

double SimEngine::dynamicLevel(double ms) const
{
    const auto index = static_cast<size_t>(m_settings.mode);
    const double high = m_settings.high[index];
    const double low = m_settings.low[index];
    const double tHigh = std::max(0.0, m_settings.periodHighMs);
    const double tLow = std::max(0.0, m_settings.periodLowMs);
    if (tHigh + tLow <= 0)
        return high;
    const double phase = std::fmod(std::max(0.0, ms - m_dynamicSinceMs), tHigh + tLow);
    // Slew rates are in A/ms (mA/us) and only make sense for currents.
    const bool slew = m_settings.mode == LoadMode::CC;
    if (phase < tHigh)
        return slew ? approach(low, high, m_settings.riseAmpsPerMs, phase) : high;
    return slew ? approach(high, low, m_settings.fallAmpsPerMs, phase - tHigh) : low;
}

Demand SimEngine::demandAt(double ms) const
{
    if (m_tests.running())
        return m_tests.demand();
    if (!m_settings.inputOn)
        return {};
    Demand d;
    d.on = true;
    d.mode = m_settings.mode;
    if (m_settings.externalInput) {
        d.mode = LoadMode::CC;
        d.level = std::max(0.0, m_generator.levelAt(ms / 1000) / 10 * m_config.source.loadMaxA);
    } else if (m_settings.dynamic) {
        d.level = dynamicLevel(ms);
    } else {
        d.level = m_settings.high[static_cast<size_t>(m_settings.mode)];
    }
    if (m_settings.cvFloorOn && (d.mode == LoadMode::CC || d.mode == LoadMode::CP))
        d.cvFloor = m_settings.cvFloorVolts;
    return d;
}

double SimEngine::periodMs() const
{
    if (m_tests.running() || !m_settings.inputOn)
        return 0;
    if (m_settings.externalInput)
        return m_generator.periodSeconds() * 1000;
    if (m_settings.dynamic)
        return std::max(0.0, m_settings.periodHighMs) + std::max(0.0, m_settings.periodLowMs);
    return 0;
}

OperatingPoint SimEngine::meanPointOver(double fromMs, double ms) const
{
    const double period = periodMs();
    if (period <= 0 || period > ms)
        return m_source.solve(demandAt(fromMs + ms / 2));
    OperatingPoint sum;
    double watts = 0;
    for (int k = 0; k < periodSamples; ++k) {
        const OperatingPoint p = m_source.solve(demandAt(fromMs + (k + 0.5) * period / periodSamples));
        sum.volts += p.volts;
        sum.amps += p.amps;
        watts += p.volts * p.amps;
    }
    sum.volts /= periodSamples;
    sum.amps /= periodSamples;
    // Keep the mean power right: the mean voltage carries it.
    if (sum.amps > 0)
        sum.volts = watts / periodSamples / sum.amps;
    return sum;
}

void SimEngine::advance(double ms)
{
    double remaining = ms;
    const double maxSlice = std::max(sliceMs, ms / maxSlices);
    while (remaining > 0) {
        if (!m_tests.running() && !m_settings.inputOn) {
            m_nowMs += remaining;
            return;
        }
        const double slice = std::min({remaining, maxSlice, std::max(m_tests.msToNextEvent(), 1e-6)});
        const OperatingPoint point = meanPointOver(m_nowMs, slice);
        m_source.draw(point, slice / 1000);
        m_nowMs += slice;
        remaining -= slice;
        m_tests.elapse(slice, point, m_source);
    }
}
