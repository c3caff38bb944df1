#include "IdentifyMode.h"
#include "ProgramMode.h"
#include "QueryMode.h"
#include "RunnerOptions.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString error;
    const std::optional<RunnerOptions> options = RunnerOptions::parse(QCoreApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "vornic-run: %s\n%s", qPrintable(error), qPrintable(RunnerOptions::usage()));
        return 2;
    }
    switch (options->mode) {
    case RunnerOptions::Mode::Query:
        return runQuery(*options);
    case RunnerOptions::Mode::Identify:
        return runIdentify(*options);
    case RunnerOptions::Mode::RunProgram:
        return runProgram(*options);
    }
    return 2;
}
