#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "report/RunReport.h"

int RunsCommands::report(const RunsOptions &options)
{
    const CommandArguments words(options.arguments, {});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (words.positional().size() != 2)
        return RunsConsole::misuse(QStringLiteral("report takes one run's UUID and the PDF file to write"));
    QString error;
    std::optional<RunArchive> archive;
    std::optional<StoredRun> run;
    if (!options.openRun(words.positional().first(), archive, run, &error))
        return RunsConsole::fail(error);
    error = RunReport::write(*archive, *run, words.positional().at(1));
    return error.isEmpty() ? RunsConsole::Done : RunsConsole::fail(error);
}
