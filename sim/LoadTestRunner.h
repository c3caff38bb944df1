#pragma once

#include "LoadSettings.h"
#include "SourceModel.h"

#include <QList>

// The tests that the load runs by itself, in simulated time: OCP and OPP ramps, the short test,
// the battery discharge, RAMP and cycle-life tests and the sequence load. A test takes a copy of
// the settings when it starts, as the instrument does.
class LoadTestRunner
{
public:
    enum class Kind { None, Short, Ocp, Opp, BatteryDischarge, Ramp, CycleLife, Sequence };

    // How long an OCP or OPP ramp holds each level before it looks at the voltage.
    static constexpr double rampDwellMs = 100;

    void start(Kind kind, const LoadSettings &settings, const SourceModel &source);
    // Ends the running test where it is; the results keep what was reached.
    void stop();

    bool running() const { return m_kind != Kind::None; }
    Kind kind() const { return m_kind; }
    // What the running test asks of the source now.
    Demand demand() const;
    // Time until the test changes its demand or reaches a limit of its own (infinite when never).
    double msToNextEvent() const;
    // Moves the test on by a slice of simulated time during which the load sat at `point`.
    void elapse(double ms, const OperatingPoint &point, const SourceModel &source);

    int ng() const { return m_ng; }
    double ocpTrip() const { return m_ocpTrip; }
    double oppTrip() const { return m_oppTrip; }
    double drawnAh() const { return m_ah; }
    double drawnWh() const { return m_wh; }
    double endVolts() const { return m_endVolts; }

private:
    struct Phase
    {
        double level = 0;
        double ms = 0;
    };

    void startPhases(QList<Phase> phases, LoadMode mode, int passes, double endVolts, const SourceModel &source);
    void rampStep(const SourceModel &source);
    void phaseStep(const SourceModel &source);
    void checkLimits(const SourceModel &source);
    void finish(const SourceModel &source);
    double protectionLevel() const;

    Kind m_kind = Kind::None;
    LoadSettings m_settings;

    double m_elapsedMs = 0;
    double m_inStepMs = 0;
    int m_rampIndex = 0;

    QList<Phase> m_phases;
    LoadMode m_phaseMode = LoadMode::CC;
    int m_phase = 0;
    int m_pass = 0;
    int m_passes = 0; // 0 = until the end voltage
    double m_phaseEndVolts = 0;

    int m_ng = 0;
    double m_ocpTrip = 0;
    double m_oppTrip = 0;
    double m_ah = 0;
    double m_wh = 0;
    double m_endVolts = 0;
};
