#include "settings/Settings.h"

#include "model/NumberText.h"
#include "settings/IniFile.h"
#include "settings/IniNumber.h"
#include "settings/LinkSettingsIni.h"
#include "settings/MeasureOptions.h"
#include "settings/ProgramFolder.h"

#include <array>

namespace {

const QString vornSection = QStringLiteral("VORN");
const QString loadSection = QStringLiteral("Load Option");
const QString generatorSection = QStringLiteral("AFG Option");
const QString systemSection = QStringLiteral("System");
const QString defaultTestFileName = QStringLiteral("TempTestFile.TSF");

// A check box holds 0 (clear), 1 (checked) or 2 (greyed).
constexpr qint16 MaxMeasureValue = 2;

struct MeasureKey
{
    const char16_t *key;
    qint16 Settings::*field;
    MeasureOptions::MeasureItem item;
};

const std::array<MeasureKey, MeasureOptions::MeasureItemCount> measureKeys{{
    {u"MeasureVoltage", &Settings::MeasureVoltage, MeasureOptions::Voltage},
    {u"MeasureCurrent", &Settings::MeasureCurrent, MeasureOptions::Current},
    {u"MeasurePower", &Settings::MeasurePower, MeasureOptions::Power},
    {u"MeasureAh", &Settings::MeasureAh, MeasureOptions::Ah},
    {u"MeasureWh", &Settings::MeasureWh, MeasureOptions::Wh},
}};

Fixed4 measureTimeOf(const QString &text) { return Fixed4::fromDoubleOrZero(NumberText::lenient(text)); }

} // namespace

LinkSettings Settings::generatorDefaults()
{
    LinkSettings link;
    link.LanIP3 = 116;
    return link;
}

QString defaultIniPath() { return ProgramFolder::path() + QStringLiteral("/VORN.INI"); }

void LoadSettings(Settings &settings, MeasureOptions &options) { LoadSettings(settings, options, defaultIniPath()); }

void LoadSettings(Settings &settings, MeasureOptions &options, const QString &iniPath, QStringList *problems)
{
    settings.IniPath = iniPath;
    IniFile ini(iniPath);
    ini.load();

    settings.TestFileName = ini.value(vornSection, u"TestFileName", defaultTestFileName);
    if (settings.TestFileName.isEmpty())
        settings.TestFileName = defaultTestFileName;

    settings.loadLink = LinkSettingsIni::read(ini, loadSection, LinkSettings(), problems);
    settings.DefaultPath = ini.value(loadSection, u"DefaultPath", ProgramFolder::path());

    settings.AFGEnable = IniNumber::readInt16(ini, generatorSection, u"AFGEnable", 0);
    settings.generatorLink = LinkSettingsIni::read(ini, generatorSection, Settings::generatorDefaults(), problems);

    settings.MeasureTime = measureTimeOf(ini.value(systemSection, u"MeasureTime", QStringLiteral("1000")));
    options.setMeasTimeText(settings.MeasureTime.toText());

    for (const MeasureKey &measure : measureKeys) {
        settings.*measure.field = IniNumber::readInt16(ini, systemSection, measure.key, 1, 0, MaxMeasureValue);
        options.setMeasureCheck(measure.item, settings.*measure.field);
    }

    settings.Separate = ini.value(systemSection, u"Separate", QStringLiteral(","));
    options.setSeparateText(settings.Separate);
}

bool SaveSettings(Settings &settings, const MeasureOptions &options)
{
    return SaveSettings(settings, options, defaultIniPath());
}

bool SaveSettings(Settings &settings, const MeasureOptions &options, const QString &iniPath)
{
    settings.IniPath = iniPath;
    settings.MeasureTime = measureTimeOf(options.measTimeText());
    for (const MeasureKey &measure : measureKeys)
        settings.*measure.field = qint16(options.measureCheck(measure.item));
    settings.Separate = options.separateText();

    // One read and one write of the whole file, with the keys changed in the order single-key
    // writes would change them: the file comes out the same, at the cost of one replacement.
    IniFile ini(iniPath);
    if (!ini.load())
        return false;
    ini.setValue(vornSection, u"TestFileName", settings.TestFileName);
    LinkSettingsIni::write(ini, loadSection, settings.loadLink);
    ini.setValue(loadSection, u"DefaultPath", settings.DefaultPath);
    ini.setValue(generatorSection, u"AFGEnable", QString::number(settings.AFGEnable));
    LinkSettingsIni::write(ini, generatorSection, settings.generatorLink);
    ini.setValue(systemSection, u"MeasureTime", settings.MeasureTime.toText());
    for (const MeasureKey &measure : measureKeys)
        ini.setValue(systemSection, measure.key, QString::number(settings.*measure.field));
    ini.setValue(systemSection, u"Separate", settings.Separate);
    return ini.save();
}
