#pragma once

#include "GeneratorModel.h"
#include "LoadCommandSet.h"
#include "LoadSettings.h"
#include "LoadTestRunner.h"
#include "SimConfig.h"
#include "SimTypes.h"
#include "SourceModel.h"

#include <QByteArray>

// The virtual load and generator as a pure state machine: lines in, replies out, and a simulated
// clock that only moves when `advance` is called. Transports and real time live elsewhere, so the
// instruments' behaviour can be checked without sleeping.
class SimEngine
{
public:
    explicit SimEngine(const SimConfig &config = SimConfig());

    // One received line without its line end.
    SimReply handleLine(SimInstrument instrument, const QByteArray &line);
    // Moves the simulated clock on: the source runs down and the load's own tests progress.
    void advance(double ms);

    double nowMs() const { return m_nowMs; }
    // What "MEAS:VC?" would report now.
    OperatingPoint measure() const;
    const LoadSettings &settings() const { return m_settings; }
    const LoadTestRunner &tests() const { return m_tests; }
    const SourceModel &source() const { return m_source; }
    const GeneratorModel &generator() const { return m_generator; }

private:
    SimReply handleLoad(const QByteArray &keyword, const QByteArray &argument);
    std::optional<QByteArray> loadQuery(const QByteArray &keyword) const;
    void act(LoadCommandSet::Action action);
    void startTest(LoadTestRunner::Kind kind);
    void stopTest(LoadTestRunner::Kind onlyKind);
    Demand demandAt(double ms) const;
    double dynamicLevel(double ms) const;
    double periodMs() const;
    OperatingPoint meanPointOver(double fromMs, double ms) const;

    SimConfig m_config;
    LoadSettings m_settings;
    SourceModel m_source;
    GeneratorModel m_generator;
    LoadTestRunner m_tests;
    double m_nowMs = 0;
    double m_dynamicSinceMs = 0;
};
