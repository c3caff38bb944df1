#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "store/StoredRunText.h"

int RunsCommands::show(const RunsOptions &options)
{
    const CommandArguments words(options.arguments, {});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (words.positional().size() != 1)
        return RunsConsole::misuse(QStringLiteral("show takes one run's UUID"));
    QString error;
    std::optional<RunArchive> archive;
    std::optional<StoredRun> run;
    if (!options.openRun(words.positional().first(), archive, run, &error))
        return RunsConsole::fail(error);
    RunsConsole::print(StoredRunText::toText(*run));
    return RunsConsole::Done;
}
