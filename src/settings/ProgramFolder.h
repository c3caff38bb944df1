#pragma once

#include <QString>

// The folder that holds the settings file, the store of runs, the "TestLog" folder and the default
// report folder: one folder for the window, vornic-run and vornic-runs, so that each finds what the
// others keep.
class ProgramFolder
{
public:
    // The store of runs' file in this folder; the store names its file by this.
    static inline const QString StoreFileName = QStringLiteral("runs.sqlite");

    // The executable's folder when it is writable and not an installed program's; otherwise the
    // user's data folder "vornic" (in XDG_DATA_HOME, ~/.local/share unless set), created when missing.
    static QString path();
    // The same choice for a given executable folder.
    static QString choose(const QString &executableFolder);
    // What the choice did with a folder an earlier version kept the user's files in, for the
    // program to say; empty when it did nothing. Only the process that moved it has it, so it is
    // said once.
    static QString movedNote();
};
