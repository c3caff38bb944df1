#pragma once

#include "SimTypes.h"

#include <limits>

// The electrical source on the load's input: a battery whose open-circuit voltage falls with the
// charge drawn, or a supply that holds its voltage up to a current limit. Both have an internal
// resistance. The load never sinks more than its rated current.
class SourceModel
{
public:
    enum class Kind { Battery, Supply };

    struct Parameters
    {
        Kind kind = Kind::Battery;
        double fullVolts = 12.6; // battery: open-circuit voltage when full; supply: set voltage
        double emptyVolts = 10.0; // battery: open-circuit voltage when the capacity is drawn
        double capacityAh = 2.0;
        double resistanceOhm = 0.05;
        double currentLimitA = 5.0; // supply only
        double loadMaxA = 60.0; // the load's rated current
    };

    static Parameters batteryDefaults();
    static Parameters supplyDefaults();

    explicit SourceModel(const Parameters &parameters = batteryDefaults());

    const Parameters &parameters() const { return m_parameters; }
    double openCircuitVolts() const;
    double drawnAh() const { return m_drawnAh; }
    double drawnWh() const { return m_drawnWh; }

    // Where the load settles against the source for a demand.
    OperatingPoint solve(const Demand &demand) const;
    // Counts the charge and energy taken; only a battery's voltage falls with them.
    void draw(const OperatingPoint &point, double seconds);

private:
    double sourceLimitA() const;
    OperatingPoint constantCurrent(double amps, double cvFloor) const;
    OperatingPoint constantResistance(double ohms) const;
    OperatingPoint constantVoltage(double volts) const;
    OperatingPoint constantPower(double watts, double cvFloor) const;
    OperatingPoint collapsed() const;

    Parameters m_parameters;
    double m_drawnAh = 0;
    double m_drawnWh = 0;
};
