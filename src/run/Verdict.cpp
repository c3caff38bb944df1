#include "run/Verdict.h"

#include "model/FunctionCatalog.h"

QString Verdict::unit() const
{
    switch (quantity) {
    case Quantity::Volts:
        return QStringLiteral("V");
    case Quantity::Amps:
        return QStringLiteral("A");
    case Quantity::Watts:
        return QStringLiteral("W");
    case Quantity::AmpHours:
        return QStringLiteral("Ah");
    case Quantity::WattHours:
        return QStringLiteral("Wh");
    case Quantity::Unknown:
        break;
    }
    return QString();
}

Verdict::Quantity Verdict::quantityFor(const QString &function)
{
    const FunctionCatalog::Descriptor *descriptor = FunctionCatalog::find(function);
    if (!descriptor)
        return Quantity::Unknown;
    switch (descriptor->loadRun) {
    case FunctionCatalog::LoadRunTest::Protection:
        return descriptor->index == FunctionCatalog::Opp ? Quantity::Watts : Quantity::Amps;
    case FunctionCatalog::LoadRunTest::BatteryDischarge:
        return descriptor->capacityInWh ? Quantity::WattHours : Quantity::AmpHours;
    case FunctionCatalog::LoadRunTest::BatteryProfile:
        return Quantity::Volts;
    case FunctionCatalog::LoadRunTest::SequenceLoad:
    case FunctionCatalog::LoadRunTest::None:
        break;
    }
    return Quantity::Unknown;
}
