#pragma once

#include "link/LinkSettings.h"
#include "settings/IniFile.h"

#include <QStringView>

// The transport keys of one instrument link in a section of the settings file ("Load Option" or
// "AFG Option"), from "ConnectMode" to "LanPort".
namespace LinkSettingsIni {

inline constexpr qint32 MinLanPort = 1;
inline constexpr qint32 MaxLanPort = 65535;

// Reads the keys in the order "ConnectMode", "BaudRate", "HandShake", "COMPort", "BoardNo", "Address",
// "LanIP1" to "LanIP4", "LanPort"; a missing or unusable value takes its field from `defaults`.
LinkSettings read(const IniFile &ini, QStringView section, const LinkSettings &defaults);

// The connection dialog writes "Address" before "BoardNo"; the order matters only for keys that are
// new to the file, which are appended in the order written.
enum class WriteOrder { BoardFirst, AddressFirst };

// Writes the keys in the order in which they are read, "BoardNo" and "Address" as `order` says.
void write(IniFile &ini, QStringView section, const LinkSettings &link, WriteOrder order = WriteOrder::BoardFirst);

} // namespace LinkSettingsIni
