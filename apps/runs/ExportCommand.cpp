#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "store/RunExport.h"

int RunsCommands::exportRun(const RunsOptions &options)
{
    const QString csv = QStringLiteral("--csv"), json = QStringLiteral("--json");
    const CommandArguments words(options.arguments, {csv, json});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (words.positional().size() != 1 || words.has(csv) == words.has(json))
        return RunsConsole::misuse(QStringLiteral("export takes one run's UUID and one of --csv FILE, --json FILE"));
    QString error;
    std::optional<RunArchive> archive;
    std::optional<StoredRun> run;
    if (!options.openRun(words.positional().first(), archive, run, &error))
        return RunsConsole::fail(error);
    const bool asCsv = words.has(csv);
    const QString path = words.value(asCsv ? csv : json);
    error = asCsv ? RunExport::writeCsv(*archive, *run, path) : RunExport::writeJson(*archive, *run, path);
    return error.isEmpty() ? RunsConsole::Done : RunsConsole::fail(error);
}
