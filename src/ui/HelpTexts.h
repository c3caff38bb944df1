#pragma once

#include <QString>

// The texts of the Help menu.
namespace HelpTexts {

// The program, its version and the Qt it runs on.
QString about();
// The keys and mouse actions of the window that no button shows.
QString keys();
// Where this window keeps its settings, its run logs and its runs.
QString places(const QString &iniPath, const QString &logPath, const QString &storePath);

} // namespace HelpTexts
