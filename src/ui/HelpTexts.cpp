#include "ui/HelpTexts.h"

#include "ui/MainForm.h"

#include <QDir>
#include <QFileInfo>

namespace HelpTexts {

QString about()
{
    return QStringLiteral("%1\nVersion %2 (Qt %3)\n\nComposes test programs for a programmable DC electronic load, "
                          "runs them over RS-232/USB, GPIB or LAN and keeps every run.")
        .arg(QLatin1String(MainForm::Caption), QStringLiteral(VORNIC_VERSION), QLatin1String(qVersion()));
}

QString keys()
{
    return QStringLiteral("Ctrl+R\tRuns…: the runs kept on this bench and on the lab's server\n"
                          "Ctrl+B\tLab…: every station of the lab, live, from the lab's server\n"
                          "Ctrl+L\tLarge Readout: the run in digits to read from across the bench\n"
                          "Esc\tStop the running test (in this window and its panels)\n"
                          "\n"
                          "Double-click a step\tLoad it back into the step editor\n"
                          "Double-click \"Measure Item\"\tShow or hide the instrument traffic\n"
                          "Chart: drag across\tZoom in on a span\n"
                          "Chart: wheel\tZoom about the cursor\n"
                          "Chart: right-drag\tPan in time\n"
                          "Chart: right-click\tFit one axis or all of them to every reading in view\n"
                          "Chart: double-click\tFollow the whole run again");
}

QString places(const QString &iniPath, const QString &logPath, const QString &storePath)
{
    const auto shown = [](const QString &path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); };
    return QStringLiteral("Settings: %1\nIn the folder %2\n\nRun logs: %3 (the last run's log is %4; Save Log "
                          "keeps a copy)\n\nRuns: %5")
        .arg(shown(iniPath), shown(QFileInfo(iniPath).absolutePath()), shown(QFileInfo(logPath).absolutePath()),
            QFileInfo(logPath).fileName(), shown(storePath));
}

} // namespace HelpTexts
