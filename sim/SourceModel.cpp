#include "SourceModel.h"

#include <algorithm>
#include <cmath>

SourceModel::Parameters SourceModel::batteryDefaults() { return Parameters{}; }

SourceModel::Parameters SourceModel::supplyDefaults()
{
    Parameters p;
    p.kind = Kind::Supply;
    p.fullVolts = 12.0;
    p.resistanceOhm = 0.01;
    p.currentLimitA = 5.0;
    return p;
}

SourceModel::SourceModel(const Parameters &parameters) : m_parameters(parameters) { }

double SourceModel::openCircuitVolts() const
{
    const Parameters &p = m_parameters;
    if (p.kind == Kind::Supply || p.capacityAh <= 0)
        return p.fullVolts;
    const double charge = 1.0 - m_drawnAh / p.capacityAh;
    if (charge >= 0)
        return p.emptyVolts + (p.fullVolts - p.emptyVolts) * charge;
    // Past its rated capacity a battery gives way quickly: gone at a fifth more.
    return std::max(0.0, p.emptyVolts * (1.0 + 5.0 * charge));
}

double SourceModel::sourceLimitA() const
{
    const double limit
        = m_parameters.kind == Kind::Supply ? m_parameters.currentLimitA : std::numeric_limits<double>::infinity();
    const double r = m_parameters.resistanceOhm;
    const double shortCircuit = r > 0 ? openCircuitVolts() / r : std::numeric_limits<double>::infinity();
    return std::min(limit, shortCircuit);
}

OperatingPoint SourceModel::solve(const Demand &demand) const
{
    if (!demand.on || demand.level < 0)
        return {openCircuitVolts(), 0};
    switch (demand.mode) {
    case LoadMode::CC:
        return constantCurrent(demand.level, demand.cvFloor);
    case LoadMode::CR:
        return constantResistance(demand.level);
    case LoadMode::CV:
        return constantVoltage(demand.level);
    case LoadMode::CP:
        return constantPower(demand.level, demand.cvFloor);
    }
    return {openCircuitVolts(), 0};
}

// When the source cannot deliver what the load asks, the load keeps lowering its impedance and the
// voltage falls to nothing at the most the source can give.
OperatingPoint SourceModel::collapsed() const { return {0, std::min(sourceLimitA(), m_parameters.loadMaxA)}; }

OperatingPoint SourceModel::constantCurrent(double amps, double cvFloor) const
{
    const double voc = openCircuitVolts();
    const double r = m_parameters.resistanceOhm;
    amps = std::min(amps, m_parameters.loadMaxA);
    if (cvFloor > 0) {
        if (voc <= cvFloor)
            return {voc, 0};
        const double atFloor = r > 0 ? (voc - cvFloor) / r : std::numeric_limits<double>::infinity();
        if (atFloor < amps)
            amps = atFloor;
        if (amps > sourceLimitA())
            return {cvFloor, sourceLimitA()};
    }
    const double volts = voc - amps * r;
    if (amps > sourceLimitA() || volts <= 0)
        return collapsed();
    return {volts, amps};
}

OperatingPoint SourceModel::constantResistance(double ohms) const
{
    const double voc = openCircuitVolts();
    const double r = m_parameters.resistanceOhm;
    if (ohms <= 0 || ohms + r <= 0)
        return constantCurrent(m_parameters.loadMaxA, 0);
    double amps = voc / (ohms + r);
    if (amps > m_parameters.loadMaxA)
        return constantCurrent(m_parameters.loadMaxA, 0);
    if (amps > sourceLimitA()) {
        amps = sourceLimitA();
        return {amps * ohms, amps};
    }
    return {voc - amps * r, amps};
}

OperatingPoint SourceModel::constantVoltage(double volts) const
{
    const double voc = openCircuitVolts();
    const double r = m_parameters.resistanceOhm;
    if (volts >= voc)
        return {voc, 0};
    const double wanted = r > 0 ? (voc - volts) / r : std::numeric_limits<double>::infinity();
    const double supplyLimit
        = m_parameters.kind == Kind::Supply ? m_parameters.currentLimitA : std::numeric_limits<double>::infinity();
    if (wanted <= std::min(supplyLimit, m_parameters.loadMaxA))
        return {volts, wanted};
    if (supplyLimit < m_parameters.loadMaxA)
        return {volts, supplyLimit};
    return {voc - m_parameters.loadMaxA * r, m_parameters.loadMaxA};
}

OperatingPoint SourceModel::constantPower(double watts, double cvFloor) const
{
    const double voc = openCircuitVolts();
    const double r = m_parameters.resistanceOhm;
    if (watts == 0 || voc <= 0)
        return {voc, 0};
    double amps = 0;
    if (r > 0) {
        const double discriminant = voc * voc - 4 * r * watts;
        if (discriminant < 0)
            return cvFloor > 0 ? constantCurrent(m_parameters.loadMaxA, cvFloor) : collapsed();
        amps = (voc - std::sqrt(discriminant)) / (2 * r);
    } else {
        amps = watts / voc;
    }
    if (cvFloor > 0)
        return constantCurrent(amps, cvFloor);
    if (amps > sourceLimitA())
        return collapsed();
    if (amps > m_parameters.loadMaxA)
        return constantCurrent(m_parameters.loadMaxA, 0);
    return {voc - amps * r, amps};
}

void SourceModel::draw(const OperatingPoint &point, double seconds)
{
    m_drawnAh += point.amps * seconds / 3600.0;
    m_drawnWh += point.amps * point.volts * seconds / 3600.0;
}
