#include "LoadTestRunner.h"

#include <cmath>
#include <limits>

namespace {

constexpr double epsilonMs = 1e-6;
constexpr double infinity = std::numeric_limits<double>::infinity();
// Cycle life with many cycles per sub-step is expanded into phases; beyond this it is cut short.
constexpr int maxPhases = 200000;

bool exceeds(double value, double limit) { return value > limit + 1e-9 * std::max(1.0, std::abs(limit)); }

} // namespace

void LoadTestRunner::start(Kind kind, const LoadSettings &settings, const SourceModel &source)
{
    m_kind = kind;
    m_settings = settings;
    m_elapsedMs = 0;
    m_inStepMs = 0;
    m_rampIndex = 0;
    m_ng = 0;
    m_ah = 0;
    m_wh = 0;
    m_endVolts = 0;
    const double endVolts = settings.loadOffVolts > 0 ? settings.loadOffVolts : settings.uvpVolts;
    switch (kind) {
    case Kind::None:
        return;
    case Kind::Short:
        if (settings.shortMs <= 0)
            finish(source);
        return;
    case Kind::Ocp:
        m_ocpTrip = 0;
        return;
    case Kind::Opp:
        m_oppTrip = 0;
        return;
    case Kind::BatteryDischarge:
        return;
    case Kind::Ramp: {
        QList<Phase> phases;
        for (int i = 0; i <= settings.battSteps; ++i)
            phases.append({settings.rampAmps.value(i), settings.rampSeconds.value(i) * 1000});
        startPhases(phases, LoadMode::CC, settings.battRepeat, endVolts, source);
        return;
    }
    case Kind::CycleLife: {
        QList<Phase> phases;
        for (int i = 1; settings.cycleHighAmps.contains(i); ++i) {
            const auto cycles = static_cast<qint64>(std::llround(settings.cycleCount.value(i)));
            for (qint64 c = 0; c < cycles && phases.size() < maxPhases; ++c) {
                phases.append({settings.cycleHighAmps.value(i), settings.cycleHighSeconds.value(i) * 1000});
                phases.append({settings.cycleLowAmps.value(i), settings.cycleLowSeconds.value(i) * 1000});
            }
        }
        startPhases(phases, LoadMode::CC, settings.battRepeat, endVolts, source);
        return;
    }
    case Kind::Sequence: {
        QList<Phase> phases;
        for (int i = 0; i < settings.seqSteps; ++i)
            phases.append({settings.seqLevels.value(i), settings.seqMs.value(i)});
        // A repeat count of 0 still runs the sequence once.
        startPhases(phases, settings.seqType, std::max(1, settings.seqRepeat), settings.thresholdVolts, source);
        return;
    }
    }
}

void LoadTestRunner::startPhases(
    QList<Phase> phases, LoadMode mode, int passes, double endVolts, const SourceModel &source)
{
    phases.removeIf([](const Phase &p) { return p.ms <= 0; });
    m_phases = phases;
    m_phaseMode = mode;
    m_phase = 0;
    m_pass = 0;
    m_passes = passes;
    m_phaseEndVolts = endVolts;
    if (m_phases.isEmpty())
        finish(source);
}

void LoadTestRunner::stop() { m_kind = Kind::None; }

double LoadTestRunner::protectionLevel() const
{
    const bool ocp = m_kind == Kind::Ocp;
    const double start = ocp ? m_settings.ocpStart : m_settings.oppStart;
    const double step = ocp ? m_settings.ocpStep : m_settings.oppStep;
    // Levels sit on the instrument's setting grid, so 1 + 41 steps of 0.1 is exactly 5.1.
    return std::round((start + m_rampIndex * step) * 1e6) / 1e6;
}

Demand LoadTestRunner::demand() const
{
    switch (m_kind) {
    case Kind::None:
        return {};
    case Kind::Short:
        return {true, LoadMode::CR, 0, 0};
    case Kind::Ocp:
        return {true, LoadMode::CC, protectionLevel(), 0};
    case Kind::Opp:
        return {true, LoadMode::CP, protectionLevel(), 0};
    case Kind::BatteryDischarge:
        if (m_settings.battMode == LoadMode::CP)
            return {true, LoadMode::CP, m_settings.battWatts, 0};
        return {true, LoadMode::CC, m_settings.battAmps, 0};
    case Kind::Ramp:
    case Kind::CycleLife:
    case Kind::Sequence:
        if (m_phases.isEmpty())
            return {};
        return {true, m_phaseMode, m_phases.at(m_phase).level, 0};
    }
    return {};
}

double LoadTestRunner::msToNextEvent() const
{
    switch (m_kind) {
    case Kind::None:
        return infinity;
    case Kind::Short:
        return m_settings.shortMs - m_elapsedMs;
    case Kind::Ocp:
    case Kind::Opp:
        return rampDwellMs - m_inStepMs;
    case Kind::BatteryDischarge: {
        double next = m_settings.battSeconds > 0 ? m_settings.battSeconds * 1000 - m_elapsedMs : infinity;
        // Land on the capacity or energy limit rather than overshoot it by a whole slice.
        const double rate = m_settings.battMode == LoadMode::CP ? m_settings.battWatts : m_settings.battAmps;
        const double limit = m_settings.battMode == LoadMode::CP ? m_settings.battWh : m_settings.battAh;
        const double drawn = m_settings.battMode == LoadMode::CP ? m_wh : m_ah;
        if (limit > 0 && rate > 0)
            next = std::min(next, (limit - drawn) * 3.6e6 / rate);
        return next;
    }
    case Kind::Ramp:
    case Kind::CycleLife:
    case Kind::Sequence:
        return m_phases.at(m_phase).ms - m_inStepMs;
    }
    return infinity;
}

void LoadTestRunner::elapse(double ms, const OperatingPoint &point, const SourceModel &source)
{
    if (m_kind == Kind::None)
        return;
    m_elapsedMs += ms;
    m_inStepMs += ms;
    m_ah += point.amps * ms / 3.6e6;
    m_wh += point.amps * point.volts * ms / 3.6e6;
    switch (m_kind) {
    case Kind::None:
        return;
    case Kind::Short:
        if (m_elapsedMs >= m_settings.shortMs - epsilonMs)
            finish(source);
        return;
    case Kind::Ocp:
    case Kind::Opp:
        if (m_inStepMs >= rampDwellMs - epsilonMs)
            rampStep(source);
        return;
    case Kind::BatteryDischarge:
    case Kind::Ramp:
    case Kind::CycleLife:
    case Kind::Sequence:
        if (m_kind != Kind::BatteryDischarge && m_inStepMs >= m_phases.at(m_phase).ms - epsilonMs)
            phaseStep(source);
        if (m_kind != Kind::None)
            checkLimits(source);
        return;
    }
}

// At the end of each level's dwell the ramp looks at the voltage: below Vth the source has given
// way and the level is the trip point.
void LoadTestRunner::rampStep(const SourceModel &source)
{
    const bool ocp = m_kind == Kind::Ocp;
    const double level = protectionLevel();
    m_inStepMs = 0;
    if (source.solve(demand()).volts < m_settings.thresholdVolts) {
        (ocp ? m_ocpTrip : m_oppTrip) = level;
        const double low = ocp ? m_settings.il : m_settings.wl;
        const double high = ocp ? m_settings.ih : m_settings.wh;
        m_ng = m_settings.ngEnable && (level < low || level > high) ? 1 : 0;
        finish(source);
        return;
    }
    const double step = ocp ? m_settings.ocpStep : m_settings.oppStep;
    const double stopAt = ocp ? m_settings.ocpStop : m_settings.oppStop;
    ++m_rampIndex;
    if (step <= 0 || exceeds(protectionLevel(), stopAt)) {
        // Reached the stop value and the source still stands: no trip point, so out of limits.
        m_rampIndex = std::max(0, m_rampIndex - 1);
        m_ng = m_settings.ngEnable ? 1 : 0;
        finish(source);
    }
}

void LoadTestRunner::phaseStep(const SourceModel &source)
{
    m_inStepMs = 0;
    if (++m_phase < m_phases.size())
        return;
    m_phase = 0;
    ++m_pass;
    if (m_passes > 0 && m_pass >= m_passes) {
        m_phase = static_cast<int>(m_phases.size()) - 1;
        finish(source);
    }
}

void LoadTestRunner::checkLimits(const SourceModel &source)
{
    const OperatingPoint now = source.solve(demand());
    bool done = now.volts <= 0;
    if (m_kind == Kind::BatteryDischarge) {
        const LoadSettings &s = m_settings;
        done = done || (s.uvpVolts > 0 && now.volts < s.uvpVolts);
        done = done || (s.battSeconds > 0 && m_elapsedMs >= s.battSeconds * 1000 - epsilonMs);
        if (s.battMode == LoadMode::CP)
            done = done || (s.battWh > 0 && m_wh >= s.battWh * (1 - 1e-9));
        else
            done = done || (s.battAh > 0 && m_ah >= s.battAh * (1 - 1e-9));
    } else {
        done = done || (m_phaseEndVolts > 0 && now.volts < m_phaseEndVolts);
    }
    if (done)
        finish(source);
}

void LoadTestRunner::finish(const SourceModel &source)
{
    if (m_kind != Kind::None)
        m_endVolts = source.solve(demand()).volts;
    m_kind = Kind::None;
}
