#pragma once

#include "SimTypes.h"

#include <QByteArray>
#include <QMap>
#include <array>

// Everything the load has been told: levels, dynamic timing, the configurations of its own tests.
// Times are kept in the units the commands carry them (noted per field).
struct LoadSettings
{
    enum class TestConfig { Short, Ocp, Opp };

    bool remote = false;
    LoadMode mode = LoadMode::CC;
    std::array<double, 4> high{};
    std::array<double, 4> low{};
    bool inputOn = false;

    bool dynamic = false;
    double periodHighMs = 1;
    double periodLowMs = 1;
    double riseAmpsPerMs = 0; // mA/us; 0 = immediate
    double fallAmpsPerMs = 0;

    bool externalInput = false;
    QByteArray ccRange = "R2";
    QByteArray ccrRange = "R2";
    double loadOnVolts = 0;
    double loadOffVolts = 0;
    double cvFloorVolts = 0;
    bool cvFloorOn = false;

    TestConfig testConfig = TestConfig::Ocp;
    double shortMs = 0;
    double ocpStart = 0, ocpStep = 0, ocpStop = 0;
    double oppStart = 0, oppStep = 0, oppStop = 0;
    double thresholdVolts = 0;
    double ih = 0, il = 0, wh = 0, wl = 0;
    bool ngEnable = false;

    int battSteps = 0;
    QMap<int, double> rampAmps; // index 0 .. battSteps
    QMap<int, double> rampSeconds;
    double uvpVolts = 0;
    int battRepeat = 0;
    LoadMode battMode = LoadMode::CC;
    double battAmps = 0;
    double battWatts = 0;
    double battSeconds = 0;
    double battAh = 0;
    double battWh = 0;

    QMap<int, double> cycleHighAmps; // index 1 ..
    QMap<int, double> cycleLowAmps;
    QMap<int, double> cycleHighSeconds;
    QMap<int, double> cycleLowSeconds;
    QMap<int, double> cycleCount;

    LoadMode seqType = LoadMode::CC;
    int seqSteps = 0;
    QMap<int, double> seqLevels; // index 0 .. seqSteps - 1
    QMap<int, double> seqMs;
    int seqRepeat = 1;
};
