// The window from process start to its first paint, on whatever platform QT_QPA_PLATFORM names
// (the benchmark runs it offscreen). It builds the window as vornic-dcload does, over a settings
// file and program folder in DIR, and ends once the first paint is done.
// Usage: bench-first-paint DIR
// Prints "main_ns M painted_ns P" on CLOCK_MONOTONIC: the caller stamps the process's start on the
// same clock just before it starts it.

#include "FirstPaintWatch.h"
#include "link/SystemClock.h"
#include "station/Engine.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <ctime>

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

} // namespace

int main(int argc, char *argv[])
{
    const long long mainNs = monotonicNs();
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-first-paint DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    Engine engine(SystemClock::instance(), dir.filePath(QStringLiteral("VORN.INI")));
    MainWindow window(engine, dir.path());
    window.form()->setMessageFunction([](const QString &) {});
    FirstPaintWatch watch(&window, [mainNs] {
        std::printf("main_ns %lld painted_ns %lld\n", mainNs, monotonicNs());
        QCoreApplication::quit();
    });
    window.form()->loadSettingsAndProgram();
    window.show();
    return QApplication::exec();
}
