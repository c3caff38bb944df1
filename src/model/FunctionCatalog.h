#pragma once

#include <QString>
#include <QStringList>

// The 21 test functions, in catalogue order: the order of the function chooser, the index of each
// function's editor frame, and the names written into a step's "Function" column.
namespace FunctionCatalog {

enum Index {
    Discharge,
    Rest,
    For,
    Loop,
    Short,
    Ocp,
    Opp,
    Dynamic,
    Normal,
    BatteryRamp,
    BatteryCcCv,
    BatteryCpCv,
    BatteryDischargeCc,
    BatteryDischargeCp,
    BatteryCycleLife,
    CvCurrentLimit,
    CvPowerLimit,
    DynamicOff,
    SequenceLoad,
    SineWaveDynamic,
    CcDynamicSweep,
    Count
};

const QStringList &names();
QString name(int index);
// The catalogue index of a name (exact, case-sensitive), or -1.
int indexOf(const QString &name);

} // namespace FunctionCatalog
