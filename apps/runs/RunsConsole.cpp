#include "RunsConsole.h"

#include <cstdio>

namespace RunsConsole {

void print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void note(const QString &text) { std::fprintf(stderr, "vornic-runs: %s\n", text.toUtf8().constData()); }

int fail(const QString &reason)
{
    note(reason);
    return Failed;
}

int misuse(const QString &reason)
{
    std::fprintf(stderr, "vornic-runs: %s (see vornic-runs --help)\n", reason.toUtf8().constData());
    return UsageError;
}

} // namespace RunsConsole
