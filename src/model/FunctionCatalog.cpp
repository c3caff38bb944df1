#include "model/FunctionCatalog.h"

#include <algorithm>
#include <array>

namespace FunctionCatalog {

const QStringList &names()
{
    static const QStringList list{
        QStringLiteral("Discharge"),
        QStringLiteral("Rest"),
        QStringLiteral("FOR"),
        QStringLiteral("LOOP"),
        QStringLiteral("Short"),
        QStringLiteral("OCP"),
        QStringLiteral("OPP"),
        QStringLiteral("Dynamic"),
        QStringLiteral("Normal"),
        QStringLiteral("Battery RAMP"),
        QStringLiteral("Battery CC+CV"),
        QStringLiteral("Battery CP+CV"),
        QStringLiteral("Battery Discharge CC"),
        QStringLiteral("Battery Discharge CP"),
        QStringLiteral("Battery Cycle Life"),
        QStringLiteral("CV with Current Limit"),
        QStringLiteral("CV with Power Limit"),
        QStringLiteral("Dynamic Off"),
        QStringLiteral("Sequence Load"),
        QStringLiteral("Sine Wave Dynamic"),
        QStringLiteral("CC Dynamic Sweep"),
    };
    return list;
}

QString name(int index) { return index >= 0 && index < Count ? names().at(index) : QString(); }

int indexOf(const QString &name) { return int(names().indexOf(name)); }

namespace {

using C = LoadCommand;

std::array<Descriptor, Count> buildDescriptors()
{
    std::array<Descriptor, Count> d;
    for (int i = 0; i < Count; ++i)
        d[i].index = Index(i);
    d[Discharge].loadCommands = {C::StaticLevel, C::LoadOn};
    d[Rest].loadCommands = {C::LoadOff};
    for (Index protection : {Short, Ocp, Opp}) {
        d[protection].loadRun = LoadRunTest::Protection;
        d[protection].exemptFromTimeExpiry = true;
    }
    d[Rest].relations.timeRequired = true;
    d[Short].loadCommands = {C::ShortTest};
    d[Ocp].loadCommands = {C::OcpTest, C::TestStart};
    d[Opp].loadCommands = {C::OppTest, C::TestStart};
    d[Ocp].relations.rampToStop = true;
    d[Opp].relations.rampToStop = true;
    d[Dynamic].loadCommands = {C::DynamicLevels, C::LoadOn, C::DynamicOn};
    d[Normal].loadCommands = {C::NormalLevels, C::LoadOn};
    d[DynamicOff].loadCommands = {C::DynamicOff};

    for (Index battery : {BatteryRamp, BatteryCcCv, BatteryCpCv, BatteryDischargeCc, BatteryDischargeCp,
             BatteryCycleLife, CvCurrentLimit, CvPowerLimit, SequenceLoad})
        d[battery].guard = Guard::BatteryModel;
    d[BatteryRamp].loadCommands = {C::BatteryRampSetup, C::BatteryRampOn};
    d[BatteryCycleLife].loadCommands = {C::BatteryCycleLife, C::BatteryDynamicOn};
    for (Index profile : {BatteryRamp, BatteryCycleLife}) {
        d[profile].loadRun = LoadRunTest::BatteryProfile;
        d[profile].exemptFromTimeExpiry = true;
    }
    d[BatteryCcCv].loadCommands = {C::BatteryCcCv};
    d[BatteryCpCv].loadCommands = {C::BatteryCpCv};
    d[CvCurrentLimit].loadCommands = {C::CvCurrentLimit};
    d[CvCurrentLimit].lenientCells = true;
    d[CvPowerLimit].loadCommands = {C::CvPowerLimit};
    d[CvPowerLimit].lenientCells = true;
    d[BatteryDischargeCc].loadCommands = {C::BatteryDischargeCc};
    d[BatteryDischargeCp].loadCommands = {C::BatteryDischargeCp};
    d[BatteryDischargeCp].capacityInWh = true;
    for (Index discharge : {BatteryDischargeCc, BatteryDischargeCp}) {
        d[discharge].loadRun = LoadRunTest::BatteryDischarge;
        d[discharge].graceSecond = true;
    }
    d[SequenceLoad].loadCommands = {C::SequenceLoadOff, C::SequenceLoadSetup, C::SequenceLoadOn};
    d[SequenceLoad].loadRun = LoadRunTest::SequenceLoad;
    d[SequenceLoad].exemptFromTimeExpiry = true;
    d[SequenceLoad].graceSecond = true;
    d[SequenceLoad].offLine = QStringLiteral("SEQLD:TEST OFF");

    for (Index generator : {SineWaveDynamic, CcDynamicSweep}) {
        d[generator].guard = Guard::Generator;
        d[generator].loadCommands = {C::ExternalInput};
    }
    d[SineWaveDynamic].generatorCommand = GeneratorCommand::Sine;
    d[SineWaveDynamic].relations.swingAroundLevel = true;
    d[CcDynamicSweep].generatorCommand = GeneratorCommand::Pulse;
    return d;
}

} // namespace

const Descriptor &descriptor(int index)
{
    static const std::array<Descriptor, Count> descriptors = buildDescriptors();
    return descriptors.at(std::size_t(std::clamp(index, 0, Count - 1)));
}

const Descriptor *find(const QString &name)
{
    const int index = indexOf(name);
    return index < 0 ? nullptr : &descriptor(index);
}

} // namespace FunctionCatalog
