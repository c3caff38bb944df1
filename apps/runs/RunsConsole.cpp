#include "RunsConsole.h"

#include <cstdio>

namespace RunsConsole {

void print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

int fail(const QString &reason)
{
    std::fprintf(stderr, "vornic-runs: %s\n", reason.toUtf8().constData());
    return Failed;
}

int misuse(const QString &reason)
{
    std::fprintf(stderr, "vornic-runs: %s (see vornic-runs --help)\n", reason.toUtf8().constData());
    return UsageError;
}

} // namespace RunsConsole
