#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "TextTable.h"

#include <QFileInfo>

namespace {

const QStringList Results{QStringLiteral("PASS"), QStringLiteral("FAIL"), QStringLiteral("STOPPED"),
    QStringLiteral("LOST"), QStringLiteral("ERROR"), QStringLiteral("UNFINISHED")};

// A day as YYYY-MM-DD; an invalid date, with the reason in `error`, for anything else.
QDate dayFrom(const CommandArguments &words, const QString &option, QString *error)
{
    if (!words.has(option))
        return QDate();
    const QDate day = QDate::fromString(words.value(option), Qt::ISODate);
    if (!day.isValid())
        *error = QStringLiteral("%1 needs a day as YYYY-MM-DD, not \"%2\"").arg(option, words.value(option));
    return day;
}

} // namespace

int RunsCommands::list(const RunsOptions &options)
{
    const CommandArguments words(options.arguments,
        {QStringLiteral("--program"), QStringLiteral("--model"), QStringLiteral("--station"),
            QStringLiteral("--result"), QStringLiteral("--from"), QStringLiteral("--to")},
        {QStringLiteral("--waiting")});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (!words.positional().isEmpty())
        return RunsConsole::misuse(QStringLiteral("list takes no \"%1\"").arg(words.positional().first()));
    RunArchive::Filter filter;
    filter.program = words.value(QStringLiteral("--program"));
    filter.model = words.value(QStringLiteral("--model"));
    filter.station = words.value(QStringLiteral("--station"));
    filter.result = words.value(QStringLiteral("--result")).toUpper();
    if (words.has(QStringLiteral("--result")) && !Results.contains(filter.result))
        return RunsConsole::misuse(QStringLiteral("--result is one of %1").arg(Results.join(u'|')));
    filter.waiting = words.has(QStringLiteral("--waiting"));
    if (filter.waiting && options.server)
        return RunsConsole::misuse(
            QStringLiteral("list --waiting reads what a bench knows of its runs: leave out --server"));
    QString error;
    filter.from = dayFrom(words, QStringLiteral("--from"), &error);
    filter.to = dayFrom(words, QStringLiteral("--to"), &error);
    if (!error.isEmpty())
        return RunsConsole::misuse(error);

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
            QFileInfo(run.programName).fileName(), run.model, run.resultText(), QString::number(run.sampleCount)};
        if (filter.waiting)
            cells.append(run.refusal.isEmpty() ? QStringLiteral("not sent yet")
                                               : QStringLiteral("refused: ") + run.refusal.simplified());
        table.addRow(cells);
    }
    RunsConsole::print(table.toText());
    return RunsConsole::Done;
}
