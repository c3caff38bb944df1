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

// Which models a function runs on.
enum class Guard {
    None,
    // The model text holds "C" or "G".
    BatteryModel,
    // The generator is enabled.
    Generator,
};

// The load's command builders, by what they set up.
enum class LoadCommand {
    StaticLevel,
    LoadOn,
    LoadOff,
    ShortTest,
    OcpTest,
    OppTest,
    TestStart,
    DynamicLevels,
    DynamicOff,
    DynamicOn,
    NormalLevels,
    BatteryRampSetup,
    BatteryRampOn,
    SequenceLoadOff,
    SequenceLoadSetup,
    SequenceLoadOn,
    BatteryCcCv,
    BatteryCpCv,
    CvCurrentLimit,
    CvPowerLimit,
    BatteryDischargeCc,
    BatteryDischargeCp,
    BatteryCycleLife,
    BatteryDynamicOn,
    ExternalInput,
};

enum class GeneratorCommand { None, Sine, Pulse };

// The test the load runs by itself once the step's commands are in, and how its end is judged.
enum class LoadRunTest {
    None,
    // OCP, OPP, Short: "TESTING?", "NG?", then the trip value.
    Protection,
    // Battery Discharge CC / CP: "TESTING?", then the capacity or energy drawn.
    BatteryDischarge,
    // Battery RAMP / Cycle Life: "TESTING?", then the voltage at the end.
    BatteryProfile,
    SequenceLoad,
};

// How the step judge weighs a function's fields together, beyond each field's own rule.
struct FieldRelations
{
    // OCP, OPP: the level ramps from Start up to its Stop, which lies above it, and the trip it
    // finds is judged against IH (WH), which is not below IL (WL).
    bool rampToStop = false;
    // Rest: the step is its time, which must be set.
    bool timeRequired = false;
    // Sine Wave Dynamic: the current swings I_AC either side of I_DC, and its peak must be within
    // the load's rated current.
    bool swingAroundLevel = false;
};

// Everything the run needs to know of one function, in one place.
struct Descriptor
{
    Index index;
    Guard guard = Guard::None;
    // Sent in this order when the step starts; the generator's after them.
    QList<LoadCommand> loadCommands;
    GeneratorCommand generatorCommand = GeneratorCommand::None;
    LoadRunTest loadRun = LoadRunTest::None;
    // Ends only by the load's own end, a measured stop or Stop, never by its step time.
    bool exemptFromTimeExpiry = false;
    // The line that ends what the function switched on, sent before "LOAD OFF" when a run ends
    // while it is on; empty when "LOAD OFF" alone does.
    QString offLine;
    // The host counts one second more than the load was given.
    bool graceSecond = false;
    // Its stop cells are read leniently.
    bool lenientCells = false;
    // Its capacity stop is an energy (Wh).
    bool capacityInWh = false;
    FieldRelations relations;
};

const Descriptor &descriptor(int index);
// The descriptor of a function name, or none for a name outside the catalogue.
const Descriptor *find(const QString &name);

const QStringList &names();
QString name(int index);
// The catalogue index of a name (exact, case-sensitive), or -1.
int indexOf(const QString &name);

} // namespace FunctionCatalog
