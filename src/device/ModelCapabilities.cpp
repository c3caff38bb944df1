#include "device/ModelCapabilities.h"

#include "link/InstrumentLink.h"
#include "model/FunctionCatalog.h"

namespace {

bool baseOffers(int catalogueIndex, const QString &modelText)
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

} // namespace

ModelCapabilities::ModelCapabilities(const QString &modelText, bool generatorEnabled)
    : m_batteryTests(modelText.contains(u'C') || modelText.contains(u'G')), m_batteryProfiles(modelText.contains(u'G'))
{
    for (int index = 0; index <= FunctionCatalog::SequenceLoad; ++index)
        m_offered[std::size_t(index)] = baseOffers(index, modelText);
    m_offered[FunctionCatalog::SineWaveDynamic] = generatorEnabled;
    m_offered[FunctionCatalog::CcDynamicSweep] = generatorEnabled;
}

bool ModelCapabilities::offers(int catalogueIndex) const
{
    return catalogueIndex >= 0 && std::size_t(catalogueIndex) < m_offered.size()
        && m_offered[std::size_t(catalogueIndex)];
}

QStringList ModelCapabilities::offeredFunctions() const
{
    QStringList functions;
    // The catalogue lists the two generator functions last, as the chooser shows them.
    for (int index = 0; index <= FunctionCatalog::CcDynamicSweep; ++index)
        if (offers(index))
            functions.append(FunctionCatalog::name(index));
    return functions;
}
