#include "model/StepLayout.h"

#include "model/FunctionCatalog.h"
#include "model/StepColumns.h"

#include <array>

namespace StepLayout {

namespace {

using namespace StepColumns;
using F = CellForm;

CellSource cell(int column, const char *field, CellForm form) { return {column, QString::fromLatin1(field), form}; }

// The shared "Stop Condition" frame, in the order each function lists its fields.
CellSource vStop(F form = F::Number) { return cell(VStop, "DiscVStopText", form); }
CellSource iStop() { return cell(IStop, "DiscIStopText", F::Number); }
CellSource tStop(F form = F::Number) { return cell(TStop, "DiscTStopText", form); }
CellSource stable() { return cell(StableTime, "StableTimeText", F::Number); }
CellSource ahStop(F form = F::Number) { return cell(AhStop, "DiscAhStopText", form); }

std::array<FunctionLayout, FunctionCatalog::Count> buildLayouts()
{
    std::array<FunctionLayout, FunctionCatalog::Count> l;
    using namespace FunctionCatalog;
    l[Discharge].cells = {cell(Mode, "DiscLoadMode", F::Mode), cell(SinkValue, "DiscSinkValueText", F::Number), vStop(),
        iStop(), tStop(), stable(), ahStop()};
    l[Rest].cells = {tStop()};
    l[For].cells = {cell(Times, "ForTimesText", F::Number)};
    l[Short].cells = {cell(SinkValue, "ShortTimeText", F::Number), tStop(), stable()};
    l[Ocp].cells = {cell(Start, "OCPStartText", F::Text), cell(EndValue, "OCPStopText", F::Text),
        cell(Increment, "OCPStepText", F::Text), cell(Vth, "OCPVthText", F::Text),
        cell(LimitHigh, "OCPIhText", F::Text), cell(LimitLow, "OCPIlText", F::Text)};
    l[Opp].cells = {cell(Start, "OPPStartText", F::Text), cell(EndValue, "OPPStopText", F::Text),
        cell(Increment, "OPPStepText", F::Text), cell(Vth, "OPPVthText", F::Text),
        cell(LimitHigh, "OPPWhText", F::Text), cell(LimitLow, "OPPWlText", F::Text)};
    l[Dynamic].cells = {cell(Mode, "DynaLoadMode", F::Mode), cell(High, "DynaHighText", F::Text),
        cell(Low, "DynaLowText", F::Text), cell(THigh, "DynaTHighText", F::Text), cell(TLow, "DynaTLowText", F::Text),
        cell(Rise, "DynaRiseText", F::Text), cell(Fall, "DynaFallText", F::Text), vStop(F::Text), iStop(),
        tStop(F::Text), stable(), ahStop(F::Text)};
    l[Normal].cells = {cell(Mode, "NormalLoadMode", F::Mode), cell(SinkValue, "NormalSinkValueText", F::Number),
        vStop(), iStop(), tStop(), stable(), ahStop(F::Text)};
    l[BatteryRamp].cells = {cell(TotalStep, "RampTotalStepText", F::Text), cell(SinkValue, "RampStartText", F::Text),
        cell(Times, "RampRepeatText", F::Text), cell(LoadOffV, "RampLoadOffVText", F::Text)};
    l[BatteryRamp].packed = PackedSource::Ramp;
    l[BatteryCcCv].cells = {cell(SinkValue, "CCCVSinkValueText", F::Text), cell(CvAdd, "CCCVAddCVText", F::Text),
        vStop(), iStop(), tStop(), stable(), ahStop()};
    l[BatteryCpCv].cells = {cell(SinkValue, "CPCVSinkValueText", F::Text), cell(CvAdd, "CPCVAddCVText", F::Text),
        vStop(), iStop(), tStop(), stable(), ahStop()};
    l[BatteryDischargeCc].cells
        = {cell(SinkValue, "CCSinkValueText", F::Text), vStop(), tStop(), iStop(), stable(), ahStop()};
    l[BatteryDischargeCp].cells
        = {cell(SinkValue, "CPSinkValueText", F::Text), iStop(), vStop(), stable(), tStop(), ahStop()};
    l[BatteryCycleLife].cells = {cell(Times, "CycleRepeatText", F::Text), cell(LoadOffV, "CycleLoadOffVText", F::Text)};
    l[BatteryCycleLife].packed = PackedSource::CycleLife;
    l[CvCurrentLimit].cells
        = {cell(SinkValue, "CVCCText", F::Text), cell(CvAdd, "CVCVText", F::Text), tStop(), stable()};
    l[CvPowerLimit].cells = {cell(SinkValue, "CVCPText", F::Text), cell(CvAdd, "CPCVText", F::Text), tStop(), stable()};
    l[SequenceLoad].cells = {cell(Mode, "SeqLoadTypeCombo", F::Text), cell(TotalStep, "SeqLoadTotalStepText", F::Text),
        cell(LoadOffV, "SeqLoadVthText", F::Text), vStop(), tStop(), iStop(), stable(), ahStop(),
        cell(Times, "SeqRepeatText", F::Number)};
    l[SequenceLoad].packed = PackedSource::Sequence;
    l[SineWaveDynamic].cells = {cell(IDc, "I_DCText", F::Text), cell(IAc, "I_ACText", F::Text),
        {Frequence, FreqTextSine, F::Text}, vStop(), iStop(), tStop(), stable(), ahStop()};
    l[CcDynamicSweep].cells = {cell(High, "I_MaxText", F::Text), cell(Low, "I_MinText", F::Text),
        cell(THigh, "DWellText", F::Text), cell(TLow, "DWellText", F::Text), cell(Rise, "RiseFallText", F::Text),
        cell(Fall, "RiseFallText", F::Text), {Frequence, FreqTextSweep, F::Text}, cell(Duty, "DutyText", F::Text),
        vStop(), iStop(), tStop(), stable(), ahStop()};
    return l;
}

} // namespace

const FunctionLayout &layoutOf(int functionIndex)
{
    static const auto layouts = buildLayouts();
    static const FunctionLayout none;
    return functionIndex >= 0 && functionIndex < FunctionCatalog::Count ? layouts[functionIndex] : none;
}

} // namespace StepLayout
