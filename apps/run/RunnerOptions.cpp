#include "RunnerOptions.h"

std::optional<RunnerOptions> RunnerOptions::parse(const QStringList &arguments, QString *error)
{
    RunnerOptions options;
    bool query = false;
    bool identify = false;
    auto fail = [error](const QString &reason) {
        *error = reason;
        return std::nullopt;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        auto value = [&](QString &into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments.at(++i);
            return true;
        };
        if (argument == QLatin1String("--settings")) {
            if (!value(options.settingsPath))
                return fail(QStringLiteral("--settings needs a file name"));
        } else if (argument == QLatin1String("--log")) {
            if (!value(options.logPath))
                return fail(QStringLiteral("--log needs a file name"));
        } else if (argument == QLatin1String("--summary")) {
            if (!value(options.summaryPath))
                return fail(QStringLiteral("--summary needs a file name"));
        } else if (argument == QLatin1String("--query")) {
            if (!value(options.queryText))
                return fail(QStringLiteral("--query needs the text to send"));
            query = true;
        } else if (argument == QLatin1String("--identify")) {
            identify = true;
        } else if (argument == QLatin1String("--trace")) {
            options.trace = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option %1").arg(argument));
        } else if (options.programPath.isEmpty()) {
            options.programPath = argument;
        } else {
            return fail(QStringLiteral("more than one test step file: %1").arg(argument));
        }
    }
    if (int(query) + int(identify) + int(!options.programPath.isEmpty()) != 1)
        return fail(QStringLiteral("give one of --query TEXT, --identify or a test step file"));
    if (!options.logPath.isEmpty() && options.programPath.isEmpty())
        return fail(QStringLiteral("--log goes with a test step file"));
    if (!options.summaryPath.isEmpty() && options.programPath.isEmpty())
        return fail(QStringLiteral("--summary goes with a test step file"));
    options.mode = query ? Mode::Query : identify ? Mode::Identify : Mode::RunProgram;
    return options;
}

QString RunnerOptions::usage()
{
    return QStringLiteral(
        "usage: vornic-run [--settings FILE.INI] [--log FILE.CSV] [--summary FILE.json] PROGRAM.TSF\n"
        "       vornic-run [--settings FILE.INI] [--trace] --query TEXT\n"
        "       vornic-run [--settings FILE.INI] --identify\n"
        "\n"
        "  --settings FILE.INI    the settings file (VORN.INI in the program's folder unless given)\n"
        "  --log FILE.CSV         the run's log (TestLog/TEMPLOG.CSV in the program's folder unless given)\n"
        "  --summary FILE.json    each step's end, verdict and totals and the run's result,\n"
        "                         written when the run ends, also when stopped or lost\n"
        "  --trace                every line sent and received, on stderr\n"
        "  --help                 this text\n"
        "  --version              the program's version\n"
        "\n"
        "Exit status: 0 finished, no verdict failed; 1 finished with a failed verdict; 2 could not run,\n"
        "or the load was lost; 3 the load may still be on: its switching off was never confirmed (it is\n"
        "tried again until confirmed or a second signal); 130 interrupted (the load switched off first).\n");
}
