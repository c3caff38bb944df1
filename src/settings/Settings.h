#pragma once

#include "link/LinkSettings.h"
#include "model/Fixed4.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

class MeasureOptions;

// The settings file's values in memory, one record for the whole program.
struct Settings
{
    // The generator's default address differs from the load's in its third part: 192.168.116.128.
    static LinkSettings generatorDefaults();

    QString IniPath;
    // The current test step file; a bare name is resolved against the current directory.
    QString TestFileName = QStringLiteral("TempTestFile.TSF");
    LinkSettings loadLink;
    LinkSettings generatorLink = generatorDefaults();
    // The report folder; empty here stands for the program's folder until the file is loaded.
    QString DefaultPath;
    qint16 AFGEnable = 0;
    // The sampling interval in milliseconds, as the ampere-hour and watt-hour integration uses it.
    Fixed4 MeasureTime = Fixed4::fromCount(1000 * 10000);
    // Measure items; an item is recorded only when its value is exactly 1.
    qint16 MeasureVoltage = 1;
    qint16 MeasureCurrent = 1;
    qint16 MeasurePower = 1;
    qint16 MeasureAh = 1;
    qint16 MeasureWh = 1;
    QString Separate = QStringLiteral(",");

    bool operator==(const Settings &) const = default;
};

// "VORN.INI" in the program's folder.
QString defaultIniPath();

// Reads every key into `settings` and the measure options, a missing key giving its default; the
// file itself is never changed by reading. A value refused by name (a link's "LanPort") is said in
// `problems`.
void LoadSettings(Settings &settings, MeasureOptions &options);
void LoadSettings(Settings &settings, MeasureOptions &options, const QString &iniPath, QStringList *problems = nullptr);

// Takes the sampling interval, measure items and separator from the measure options into `settings`
// and writes all of `settings` to the file. False when the file could not be written: the file is
// then as it was and `settings` keeps its values.
bool SaveSettings(Settings &settings, const MeasureOptions &options);
bool SaveSettings(Settings &settings, const MeasureOptions &options, const QString &iniPath);
