#include "CommandArguments.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "TextTable.h"

namespace {

QString timeText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-");
}

QString fieldsText(const StoredRun &run)
{
    QString model = run.model.isEmpty() ? QStringLiteral("-") : run.model;
    if (!run.ratedCurrent.isEmpty())
        model += QStringLiteral(" (rated %1 A)").arg(run.ratedCurrent);
    TextTable fields({QStringLiteral("Run:"), run.uuid});
    fields.addRow({QStringLiteral("Program:"), run.programName});
    fields.addRow({QStringLiteral("Station:"), run.station});
    fields.addRow({QStringLiteral("Model:"), model});
    fields.addRow({QStringLiteral("Started:"), timeText(run.started)});
    fields.addRow({QStringLiteral("Ended:"), timeText(run.ended)});
    fields.addRow({QStringLiteral("Result:"), run.resultText()});
    if (!run.message.isEmpty())
        fields.addRow({QStringLiteral("Message:"), run.message});
    fields.addRow({QStringLiteral("Samples:"), QString::number(run.sampleCount)});
    return fields.toText();
}

// The columns of the summary a run writes when it ends.
QString stepsText(const QList<RunSummary::Step> &steps)
{
    TextTable table(
        {QStringLiteral("Step"), QStringLiteral("Function"), QStringLiteral("Start"), QStringLiteral("Duration s"),
            QStringLiteral("End"), QStringLiteral("Verdict"), QStringLiteral("Value"), QStringLiteral("Ah"),
            QStringLiteral("Wh"), QStringLiteral("V"), QStringLiteral("I")},
        {0, 2, 3, 7, 8, 9, 10});
    for (const RunSummary::Step &step : steps) {
        table.addRow({QString::number(step.step), step.function, step.started.toString(QStringLiteral("HH:mm:ss")),
            QString::number(step.seconds, 'f', 1), step.end, step.verdict, step.value,
            QString::number(step.ampHours, 'f', 6), QString::number(step.wattHours, 'f', 6),
            QString::number(step.volts, 'f', 3), QString::number(step.amps, 'f', 3)});
    }
    return table.toText();
}

} // namespace

int RunsCommands::show(const RunsOptions &options)
{
    const CommandArguments words(options.arguments, {});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (words.positional().size() != 1)
        return RunsConsole::misuse(QStringLiteral("show takes one run's UUID"));
    QString error;
    std::optional<RunArchive> archive = options.openArchive(&error);
    if (!archive)
        return RunsConsole::fail(error);
    const std::optional<StoredRun> run = archive->run(words.positional().first(), &error);
    if (!run)
        return RunsConsole::fail(error);
    RunsConsole::print(fieldsText(*run) + u'\n' + stepsText(run->steps));
    return RunsConsole::Done;
}
