#include "model/EditorFieldTable.h"

#include "model/FunctionCatalog.h"
#include "model/StepColumns.h"

#include <array>
#include <limits>

namespace EditorFieldTable {

namespace {

Field text(
    const char *label, const char *name, const char *defaultText, const char *unit = "", NumberRule rule = NumberRule())
{
    return {Kind::Text, QString::fromLatin1(label), QString::fromLatin1(name), QString::fromLatin1(defaultText),
        QString::fromLatin1(unit), {}, {}, rule};
}

Field modeUnit(const char *label, const char *name, const char *defaultText, const char *unitLabel)
{
    Field field = text(label, name, defaultText, "A");
    field.unitLabelName = QString::fromLatin1(unitLabel);
    return field;
}

Field special(Kind kind, const char *label, const char *name)
{
    return {kind, QString::fromLatin1(label), QString::fromLatin1(name), {}, {}, {}, {}, {}};
}

Field loadMode(const char *name) { return special(Kind::LoadMode, "Load Mode", name); }

Field stop(const char *label, const char *name, const char *defaultText, const char *unit)
{
    return text(label, name, defaultText, unit, NumberRule::stop(QString::fromLatin1(unit)));
}

// The counts the load keeps in 16 bits (sent as integer16) and in its own repeat counter.
constexpr double Int16Count = std::numeric_limits<qint16>::max();
constexpr double LoadCounter = 65535;

std::array<QList<Field>, FunctionCatalog::Count> buildFields()
{
    using namespace FunctionCatalog;
    std::array<QList<Field>, Count> f;
    // A dynamic level lasts some time: the load cannot switch in no time at all.
    NumberRule period = NumberRule::milliseconds();
    period.aboveMinimum = true;
    NumberRule percent;
    percent.maximum = 100;
    f[Discharge] = {loadMode("DiscLoadMode"), modeUnit("Load Value", "DiscSinkValueText", "1", "DiscUnitLabel")};
    // The run counts the loop in 32 bits.
    f[For] = {text("Times", "ForTimesText", "3", "", NumberRule::count(0, std::numeric_limits<qint32>::max()))};
    NumberRule shortTime = NumberRule::milliseconds();
    shortTime.aboveMinimum = true;
    f[Short] = {text("Short Time", "ShortTimeText", "3", "ms", shortTime)};
    f[Ocp] = {text("Start", "OCPStartText", "0", "A"), text(" Step", "OCPStepText", "0.1", "A", NumberRule::positive()),
        text(" Stop", "OCPStopText", "10", "A", NumberRule::positive()), text("Vth", "OCPVthText", "0.6", "V"),
        text("IH", "OCPIhText", "10", "A"), text("IL", "OCPIlText", "3", "A")};
    f[Opp] = {text("Start", "OPPStartText", "0", "W"), text("Step", "OPPStepText", "0.1", "W", NumberRule::positive()),
        text("Stop", "OPPStopText", "30", "W", NumberRule::positive()), text("Vth", "OPPVthText", "0.6", "V"),
        text("WH", "OPPWhText", "30", "W"), text("WL", "OPPWlText", "3", "W")};
    f[Dynamic] = {loadMode("DynaLoadMode"), modeUnit("High", "DynaHighText", "3", "DyncHUnitLabel"),
        modeUnit("Low", "DynaLowText", "1", "DyncLUnitLabel"), text("T-High", "DynaTHighText", "0.05", "ms", period),
        text("T-Low", "DynaTLowText", "0.05", "ms", period),
        text("RISE", "DynaRiseText", "0.384", "mA/us", NumberRule::positive()),
        text("FALL", "DynaFallText", "0.384", "mA/us", NumberRule::positive())};
    f[Normal] = {loadMode("NormalLoadMode"), modeUnit("Sink Value", "NormalSinkValueText", "1", "NormalUnitLabel")};
    f[BatteryRamp] = {text("Total Step", "RampTotalStepText", "0", "", NumberRule::count(RampMinSteps, RampMaxSteps)),
        text("Start", "RampStartText", "0", "A"), special(Kind::Table, "", "RampGrid"),
        text("Load Off Voltage", "RampLoadOffVText", "0", "V"),
        text("Repeat", "RampRepeatText", "0", "", NumberRule::count(0, Int16Count))};
    f[BatteryCcCv]
        = {text("Sink Value", "CCCVSinkValueText", "20", "A"), text("Add CV Value", "CCCVAddCVText", "50", "V")};
    f[BatteryCpCv]
        = {text("Sink Value", "CPCVSinkValueText", "20", "W"), text("Add CV Value", "CPCVAddCVText", "50", "V")};
    f[BatteryDischargeCc] = {text("Current Value", "CCSinkValueText", "1", "A")};
    f[BatteryDischargeCp] = {text("Power Value", "CPSinkValueText", "20", "W")};
    f[BatteryCycleLife]
        = {special(Kind::Table, "", "CycleLifeGrid"), text("Load Off Voltage", "CycleLoadOffVText", "0", "V"),
            text("Repeat", "CycleRepeatText", "0", "", NumberRule::count(0, Int16Count))};
    f[CvCurrentLimit] = {text("Current Limit", "CVCCText", "20", "A"), text("CV Value", "CVCVText", "50", "V")};
    f[CvPowerLimit] = {text("Power Limit", "CVCPText", "20", "W"), text("CV Value", "CPCVText", "50", "V")};
    Field repeat = text("Repeat", "SeqRepeatText", "1", "", NumberRule::count(0, LoadCounter));
    repeat.toolTip = QStringLiteral("Repeat times 0~65535");
    f[SequenceLoad]
        = {text("Total Step", "SeqLoadTotalStepText", "0", "", NumberRule::count(SequenceMinSteps, SequenceMaxSteps)),
            repeat, special(Kind::Table, "", "SeqLoadGrid"), special(Kind::TypeCombo, "Type", "SeqLoadTypeCombo"),
            text("Vth", "SeqLoadVthText", "0", "V")};
    f[SineWaveDynamic] = {text("I_DC", "I_DCText", "20", "A"), text("I_AC", "I_ACText", "1", "A"),
        text("Freq", "FreqText0", "60", "Hz", NumberRule::positive())};
    f[CcDynamicSweep] = {text("I_DC", "I_MaxText", "20", "A"), text("I_AC", "I_MinText", "1", "A"),
        text("DWell", "DWellText", "60", "us", NumberRule::positive()),
        text("Rise/Fall", "RiseFallText", "60", "us", NumberRule::positive()),
        text("Duty", "DutyText", "50", "%", percent), text("Freq", "FreqText1", "60", "Hz", NumberRule::positive())};
    return f;
}

} // namespace

const QList<Field> &fieldsOf(int functionIndex)
{
    static const auto fields = buildFields();
    static const QList<Field> none;
    return functionIndex >= 0 && functionIndex < FunctionCatalog::Count ? fields[functionIndex] : none;
}

const QList<Field> &stopFields()
{
    static const QList<Field> fields{stop("Voltage", "DiscVStopText", "0", "V"),
        stop("Current", "DiscIStopText", "0", "A"), stop("Time", "DiscTStopText", "10", "s"),
        stop("Stable", "StableTimeText", "0", "ms"), stop("Capacity", "DiscAhStopText", "0", "Ah")};
    return fields;
}

const Field *fieldOf(int functionIndex, const QString &fieldName)
{
    for (const QList<Field> *frame : {&fieldsOf(functionIndex), &stopFields()}) {
        for (const Field &field : *frame) {
            if (field.name == fieldName)
                return &field;
        }
    }
    return nullptr;
}

QString captionOf(const QString &fieldName)
{
    for (int function = 0; function < FunctionCatalog::Count; ++function) {
        for (const Field &field : fieldsOf(function)) {
            if (field.name == fieldName)
                return field.label.trimmed();
        }
    }
    for (const Field &field : stopFields()) {
        if (field.name == fieldName)
            return field.label;
    }
    return fieldName;
}

StopView stopViewOf(int functionIndex)
{
    using namespace FunctionCatalog;
    switch (functionIndex) {
    case Rest:
        return StopView::TimeOnly;
    case Short:
    case CvCurrentLimit:
    case CvPowerLimit:
        return StopView::TimeAndStable;
    case For:
    case Loop:
    case Ocp:
    case Opp:
    case BatteryRamp:
    case BatteryCycleLife:
        return StopView::Hidden;
    default:
        return StopView::All;
    }
}

bool showsStopField(StopView view, const QString &fieldName)
{
    switch (view) {
    case StopView::All:
        return true;
    case StopView::TimeOnly:
        return fieldName == QLatin1String("DiscTStopText");
    case StopView::TimeAndStable:
        return fieldName == QLatin1String("DiscTStopText") || fieldName == QLatin1String("StableTimeText");
    case StopView::Hidden:
        return false;
    }
    return false;
}

const QList<QString> &loadModeCaptions()
{
    static const QList<QString> captions{
        QStringLiteral("CC"), QStringLiteral("CR"), QStringLiteral("CV"), QStringLiteral("CP")};
    return captions;
}

QString unitOfMode(int modeIndex)
{
    static const QList<QString> units{
        QStringLiteral("A"), QStringLiteral("Ohm"), QStringLiteral("V"), QStringLiteral("W")};
    return modeIndex >= 0 && modeIndex < units.size() ? units.at(modeIndex) : QString();
}

const QList<QString> &sequenceTypes()
{
    static const QList<QString> types{QStringLiteral("CC"), QStringLiteral("CP")};
    return types;
}

QString unitOfSequenceType(const QString &type)
{
    if (type == u"CC")
        return QStringLiteral("A");
    return type == u"CP" ? QStringLiteral("W") : QString();
}

const QList<SubStepField> &subStepFieldsOf(StepLayout::PackedSource source)
{
    using namespace StepColumns;
    const auto field = [](int column, const char *label, const char *unit, NumberRule rule = NumberRule()) {
        return SubStepField{column, QString::fromLatin1(label), QString::fromLatin1(unit), rule};
    };
    static const QList<SubStepField> ramp{field(RampCc, "CC(A)", "A"), field(RampTime, "Time(s)", "s")};
    static const QList<SubStepField> sequence = [&] {
        SubStepField level = field(RampCc, "CC(A)", "A");
        level.followsSequenceType = true;
        return QList<SubStepField>{level, field(RampTime, "Time(ms)", "ms", NumberRule::milliseconds())};
    }();
    static const QList<SubStepField> cycleLife{field(High, "CCH", "A"), field(Low, "CCL", "A"),
        field(THigh, "THigh", "s"), field(TLow, "TLow", "s"),
        field(CycleCount, "Cycle", "", NumberRule::count(0, LoadCounter))};
    static const QList<SubStepField> none;
    switch (source) {
    case StepLayout::PackedSource::Ramp:
        return ramp;
    case StepLayout::PackedSource::Sequence:
        return sequence;
    case StepLayout::PackedSource::CycleLife:
        return cycleLife;
    case StepLayout::PackedSource::None:
        break;
    }
    return none;
}

} // namespace EditorFieldTable
