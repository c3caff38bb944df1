#include "CommandArguments.h"
#include "RunFilterWords.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "TextTable.h"
#include "store/StoredRunText.h"

#include <QFileInfo>

int RunsCommands::list(const RunsOptions &options)
{
    const CommandArguments words(options.arguments, RunFilterWords::options(), {QStringLiteral("--waiting")});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (!words.positional().isEmpty())
        return RunsConsole::misuse(QStringLiteral("list takes no \"%1\"").arg(words.positional().first()));
    QString error;
    std::optional<RunArchive::Filter> picked = RunFilterWords::filterOf(words, &error);
    if (!picked)
        return RunsConsole::misuse(error);
    RunArchive::Filter filter = *picked;
    filter.waiting = words.has(QStringLiteral("--waiting"));
    if (filter.waiting && options.server)
        return RunsConsole::misuse(
            QStringLiteral("list --waiting reads what a bench knows of its runs: leave out --server"));

    std::optional<RunArchive> archive = options.openArchive(&error);
    if (!archive)
        return RunsConsole::fail(error);
    error.clear();
    const QList<StoredRun> runs = archive->runs(filter, &error);
    if (!error.isEmpty())
        return RunsConsole::fail(QStringLiteral("%1: %2").arg(archive->describe(), error));
    QStringList headers{QStringLiteral("STARTED"), QStringLiteral("UUID"), QStringLiteral("STATION"),
        QStringLiteral("PROGRAM"), QStringLiteral("MODEL"), QStringLiteral("RESULT"), QStringLiteral("SAMPLES")};
    if (filter.waiting)
        headers.append(QStringLiteral("WAITING"));
    TextTable table(headers, {6});
    for (const StoredRun &run : runs) {
        QStringList cells{run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), run.uuid.left(8), run.station,
            QFileInfo(run.programName).fileName(), run.model, StoredRunText::resultText(run),
            QString::number(run.sampleCount)};
        if (filter.waiting)
            cells.append(run.refusal.isEmpty() ? QStringLiteral("not sent yet")
                                               : QStringLiteral("refused: ") + run.refusal.simplified());
        table.addRow(cells);
    }
    RunsConsole::print(table.toText());
    return RunsConsole::Done;
}
