#include "device/ModelCapabilities.h"

#include "link/InstrumentLink.h"
#include "model/FunctionCatalog.h"

namespace ModelCapabilities {

bool offers(int catalogueIndex, const QString &modelText)
{
    using namespace FunctionCatalog;
    const auto has = [&](const char *text) { return modelText.contains(QLatin1String(text), Qt::CaseSensitive); };
    const bool answered = !modelText.contains(ErrRec, Qt::CaseSensitive);
    switch (catalogueIndex) {
    case Discharge:
    case Rest:
    case For:
    case Loop:
    case Short:
    case Ocp:
    case Opp:
    case Dynamic:
    case Normal:
    case DynamicOff:
        return true;
    case BatteryRamp:
        return answered && (has("G") ? !has("33") : (has("C") || has("E") || has("A")));
    case BatteryCcCv:
    case BatteryCpCv:
    case CvCurrentLimit:
    case CvPowerLimit:
        return answered && (has("C") || has("E") || has("A") || has("G"));
    case BatteryDischargeCc:
    case BatteryDischargeCp:
    case BatteryCycleLife:
        return answered && !has("F");
    case SequenceLoad:
        return answered && (has("C") || has("G")) && !has("331");
    default:
        return false;
    }
}

QStringList offeredFunctions(const QString &modelText, bool generatorEnabled)
{
    QStringList functions;
    for (int index = 0; index <= FunctionCatalog::SequenceLoad; ++index) {
        if (offers(index, modelText))
            functions.append(FunctionCatalog::name(index));
    }
    if (generatorEnabled) {
        functions.append(FunctionCatalog::name(FunctionCatalog::SineWaveDynamic));
        functions.append(FunctionCatalog::name(FunctionCatalog::CcDynamicSweep));
    }
    return functions;
}

} // namespace ModelCapabilities
