#include "editor/EditorFieldTable.h"

#include "model/FunctionCatalog.h"

#include <array>

namespace EditorFieldTable {

namespace {

Field text(const char *label, const char *name, const char *defaultText, const char *unit = "")
{
    return {Kind::Text, QString::fromLatin1(label), QString::fromLatin1(name), QString::fromLatin1(defaultText),
        QString::fromLatin1(unit), {}, {}};
}

Field modeUnit(const char *label, const char *name, const char *defaultText, const char *unitLabel)
{
    Field field = text(label, name, defaultText, "A");
    field.unitLabelName = QString::fromLatin1(unitLabel);
    return field;
}

Field special(Kind kind, const char *label, const char *name)
{
    return {kind, QString::fromLatin1(label), QString::fromLatin1(name), {}, {}, {}, {}};
}

Field loadMode(const char *name) { return special(Kind::LoadMode, "Load Mode", name); }

std::array<QList<Field>, FunctionCatalog::Count> buildFields()
{
    using namespace FunctionCatalog;
    std::array<QList<Field>, Count> f;
    f[Discharge] = {loadMode("DiscLoadMode"), modeUnit("Load Value", "DiscSinkValueText", "1", "DiscUnitLabel")};
    f[For] = {text("Times", "ForTimesText", "3")};
    f[Short] = {text("Short Time", "ShortTimeText", "3", "ms")};
    f[Ocp] = {text("Start", "OCPStartText", "0", "A"), text(" Step", "OCPStepText", "0.1", "A"),
        text(" Stop", "OCPStopText", "10", "A"), text("Vth", "OCPVthText", "0.6", "V"),
        text("IH", "OCPIhText", "10", "A"), text("IL", "OCPIlText", "3", "A")};
    f[Opp] = {text("Start", "OPPStartText", "0", "W"), text("Step", "OPPStepText", "0.1", "W"),
        text("Stop", "OPPStopText", "30", "W"), text("Vth", "OPPVthText", "0.6", "V"),
        text("WH", "OPPWhText", "30", "W"), text("WL", "OPPWlText", "3", "W")};
    f[Dynamic] = {loadMode("DynaLoadMode"), modeUnit("High", "DynaHighText", "3", "DyncHUnitLabel"),
        modeUnit("Low", "DynaLowText", "1", "DyncLUnitLabel"), text("T-High", "DynaTHighText", "0.05", "ms"),
        text("T-Low", "DynaTLowText", "0.05", "ms"), text("RISE", "DynaRiseText", "0.384", "mA/us"),
        text("FALL", "DynaFallText", "0.384", "mA/us")};
    f[Normal] = {loadMode("NormalLoadMode"), modeUnit("Sink Value", "NormalSinkValueText", "1", "NormalUnitLabel")};
    f[BatteryRamp] = {text("Total Step", "RampTotalStepText", "0"), text("Start", "RampStartText", "0", "A"),
        special(Kind::Table, "", "RampGrid"), text("Load Off Voltage", "RampLoadOffVText", "0", "V"),
        text("Repeat", "RampRepeatText", "0")};
    f[BatteryCcCv]
        = {text("Sink Value", "CCCVSinkValueText", "20", "A"), text("Add CV Value", "CCCVAddCVText", "50", "V")};
    f[BatteryCpCv]
        = {text("Sink Value", "CPCVSinkValueText", "20", "W"), text("Add CV Value", "CPCVAddCVText", "50", "V")};
    f[BatteryDischargeCc] = {text("Current Value", "CCSinkValueText", "1", "A")};
    f[BatteryDischargeCp] = {text("Power Value", "CPSinkValueText", "20", "W")};
    f[BatteryCycleLife] = {special(Kind::Table, "", "CycleLifeGrid"),
        text("Load Off Voltage", "CycleLoadOffVText", "0", "V"), text("Repeat", "CycleRepeatText", "0")};
    f[CvCurrentLimit] = {text("Current Limit", "CVCCText", "20", "A"), text("CV Value", "CVCVText", "50", "V")};
    f[CvPowerLimit] = {text("Power Limit", "CVCPText", "20", "W"), text("CV Value", "CPCVText", "50", "V")};
    Field repeat = text("Repeat", "SeqRepeatText", "1");
    repeat.toolTip = QStringLiteral("Repeat times 0~65535");
    f[SequenceLoad] = {text("Total Step", "SeqLoadTotalStepText", "0"), repeat, special(Kind::Table, "", "SeqLoadGrid"),
        special(Kind::TypeCombo, "Type", "SeqLoadTypeCombo"), text("Vth", "SeqLoadVthText", "0", "V")};
    f[SineWaveDynamic] = {
        text("I_DC", "I_DCText", "20", "A"), text("I_AC", "I_ACText", "1", "A"), text("Freq", "FreqText0", "60", "Hz")};
    f[CcDynamicSweep] = {text("I_DC", "I_MaxText", "20", "A"), text("I_AC", "I_MinText", "1", "A"),
        text("DWell", "DWellText", "60", "us"), text("Rise/Fall", "RiseFallText", "60", "us"),
        text("Duty", "DutyText", "50", "%"), text("Freq", "FreqText1", "60", "Hz")};
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
    static const QList<Field> fields{text("Voltage", "DiscVStopText", "0", "V"),
        text("Current", "DiscIStopText", "0", "A"), text("Time", "DiscTStopText", "10", "s"),
        text("Stable", "StableTimeText", "0", "ms"), text("Capacity", "DiscAhStopText", "0", "Ah")};
    return fields;
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

} // namespace EditorFieldTable
