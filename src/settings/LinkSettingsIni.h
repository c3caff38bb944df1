#pragma once

#include "settings/IniFile.h"
#include "settings/LinkSettings.h"

#include <QStringView>

// The transport keys of one instrument link in a section of the settings file ("Load Option" or
// "AFG Option"), from "ConnectMode" to "LanPort".
namespace LinkSettingsIni {

inline constexpr qint32 MinLanPort = 1;
inline constexpr qint32 MaxLanPort = 65535;

// Reads the keys in the order "ConnectMode", "BaudRate", "HandShake", "COMPort", "BoardNo", "Address",
// "LanIP1" to "LanIP4", "LanPort"; a missing or unusable value takes its field from `defaults`.
LinkSettings read(const IniFile &ini, QStringView section, const LinkSettings &defaults);

// Writes the keys in the order in which they are read.
void write(IniFile &ini, QStringView section, const LinkSettings &link);

} // namespace LinkSettingsIni
