#pragma once

#include <QString>

// The folder that holds the settings file, the "TestLog" folder and the default report folder.
class ProgramFolder
{
public:
    // The executable's folder when it is writable and not an installed program's; otherwise the
    // user's data folder for the program, created when missing.
    static QString path();
    // The same choice for a given executable folder.
    static QString choose(const QString &executableFolder);
};
