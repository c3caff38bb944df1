// Loading and saving a 10,000-step test step file, and reading and writing the settings file,
// each timed over many rounds. The files are left in DIR (program.TSF, VORN.INI) so that other
// readers can be timed on the very same bytes.
// Usage: bench-files DIR
// Prints "op NAME median_us M min_us L rounds N" per operation.

#include "model/TestProgram.h"
#include "model/TestStepFile.h"
#include "settings/MeasureOptions.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Steps = 10000;

// Steps of the kinds a long program repeats, fields 1..31 as a stored file holds them.
const char *const stepTexts[] = {
    "Discharge,CC,1,0,1,0,,,,,,,,,,,,,,,,,,,,,,,,0,0",
    "Normal,CR,24,0,0.5,0,,,,,,,,,,,,,,,,,,,,,,,,0,0",
    "Dynamic,CC,,0,0.5,0,,,,,,,,3,1,0.05,0.05,0.384,0.384,,,,,,,,,,,0,0",
    "Rest,,,,0.5,,,,,,,,,,,,,,,,,,,,,,,,,,",
};

void fillProgram(TestProgram &program)
{
    program.SetupStepGrid();
    program.setGridRowCount(Steps + 2);
    for (int row = 1; row <= Steps; ++row) {
        const QStringList fields = QString::fromLatin1(stepTexts[(row - 1) % std::size(stepTexts)]).split(u',');
        program.setCell(row, 0, QString::number(row));
        for (int column = 0; column < fields.size(); ++column)
            program.setCell(row, column + 1, fields.at(column));
    }
}

void timeIt(const char *name, int rounds, const std::function<bool()> &operation)
{
    QList<double> microseconds;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!operation()) {
            std::fprintf(stderr, "bench-files: %s failed\n", name);
            std::exit(2);
        }
        microseconds.append(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(microseconds.begin(), microseconds.end());
    std::printf("op %s median_us %.1f min_us %.1f rounds %d\n", name, microseconds.at(rounds / 2), microseconds.first(),
        rounds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-files DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QString programPath = dir.filePath(QStringLiteral("program.TSF"));
    const QString iniPath = dir.filePath(QStringLiteral("VORN.INI"));

    TestProgram program;
    fillProgram(program);
    timeIt("save-program", 30, [&] { return TestStepFile::SaveTestFile(program, programPath).ok; });
    TestProgram loaded;
    timeIt("load-program", 30, [&] {
        loaded.SetupStepGrid();
        return TestStepFile::LoadTestFile(loaded, programPath).ok && loaded.StepCount() == Steps;
    });

    Settings settings;
    MeasureOptions options;
    timeIt("write-settings", 500, [&] { return SaveSettings(settings, options, iniPath); });
    timeIt("read-settings", 500, [&] {
        LoadSettings(settings, options, iniPath);
        return true;
    });
    return 0;
}
