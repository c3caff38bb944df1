#include "link/SystemClock.h"
#include "run/InterruptWatcher.h"
#include "settings/ProgramFolder.h"
#include "station/Engine.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char Usage[] = "usage: vornic-dcload [Qt options]\n"
                     "\n"
                     "The test program's window: compose a program of test steps, connect to the load,\n"
                     "run it and watch it. Settings are kept in VORN.INI beside the program, or, where that\n"
                     "folder cannot be written or the program is installed, in ~/.local/share/vornic, which\n"
                     "vornic-run and vornic-runs share; runs in runs.sqlite beside it.\n"
                     "\n"
                     "  --help       this text\n"
                     "  --version    the program's version\n"
                     "\n"
                     "vornic-run runs a test step file without a window; vornic-runs lists and reports\n"
                     "the stored runs; vornic-sim is a virtual load to try it against.\n";

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the application starts, so that they work without a display.
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[k], "--version") == 0) {
            std::fputs("vornic-dcload " VORNIC_VERSION "\n", stdout);
            return 0;
        }
    }
    // A terminal or pipe that took the program's messages and has gone is no reason to end.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vornic-dcload"));

    Engine engine(SystemClock::instance());
    MainWindow window(engine, ProgramFolder::path());
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &window, &MainWindow::endBySignal);
    window.form()->loadSettingsAndProgram();
    window.show();
    if (const QString moved = ProgramFolder::movedNote(); !moved.isEmpty())
        QMessageBox::information(&window, window.windowTitle(), moved.left(1).toUpper() + moved.mid(1) + u'.');
    return QApplication::exec();
}
