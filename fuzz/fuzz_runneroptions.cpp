// Any bytes as the runner's command line (arguments cut at NUL): parsing never crashes, it gives
// options or a reason, the options it gives fit one mode, and the command line written back from
// them parses to the same options.

#include "RunnerOptions.h"

#include <cstdlib>

namespace {

QStringList commandLine(const RunnerOptions &options)
{
    QStringList arguments{QStringLiteral("vornic-run")};
    if (!options.settingsPath.isEmpty())
        arguments << QStringLiteral("--settings") << options.settingsPath;
    if (!options.logPath.isEmpty())
        arguments << QStringLiteral("--log") << options.logPath;
    if (options.trace)
        arguments << QStringLiteral("--trace");
    switch (options.mode) {
    case RunnerOptions::Mode::Query:
        arguments << QStringLiteral("--query") << options.queryText;
        break;
    case RunnerOptions::Mode::Identify:
        arguments << QStringLiteral("--identify");
        break;
    case RunnerOptions::Mode::RunProgram:
        arguments << options.programPath;
        break;
    }
    return arguments;
}

bool same(const RunnerOptions &a, const RunnerOptions &b)
{
    return a.mode == b.mode && a.settingsPath == b.settingsPath && a.logPath == b.logPath
        && a.programPath == b.programPath && a.queryText == b.queryText && a.trace == b.trace;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList arguments{QStringLiteral("vornic-run")};
    for (const QByteArray &argument : QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0'))
        arguments.append(QString::fromLocal8Bit(argument));
    QString error;
    const std::optional<RunnerOptions> options = RunnerOptions::parse(arguments, &error);
    if (!options) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    const bool program = !options->programPath.isEmpty();
    if (program != (options->mode == RunnerOptions::Mode::RunProgram) || (!options->logPath.isEmpty() && !program))
        std::abort();
    QString again;
    const std::optional<RunnerOptions> reparsed = RunnerOptions::parse(commandLine(*options), &again);
    if (!reparsed || !same(*reparsed, *options))
        std::abort();
    return 0;
}
