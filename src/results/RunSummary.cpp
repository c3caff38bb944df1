#include "results/RunSummary.h"

#include "model/WholeFile.h"
#include "results/LoadOffText.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// Local time without an offset, to the millisecond, as the log's times are local too.
QString isoText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

} // namespace

RunSummary::RunSummary(const RunRecorder &recorder, QObject *parent) : QObject(parent), m_recorder(recorder)
{
    connect(&recorder, &RunRecorder::runEnded, this, &RunSummary::finished);
}

QJsonObject RunSummary::stepJson(const StepRecord &step)
{
    return QJsonObject{
        {QStringLiteral("step"), step.row},
        {QStringLiteral("function"), step.function},
        {QStringLiteral("started"), isoText(step.started)},
        {QStringLiteral("end"), stepEndText(step.end)},
        {QStringLiteral("verdict"), step.verdict ? step.verdict->passText() : QString()},
        {QStringLiteral("value"), step.verdict ? step.verdict->value : QString()},
        {QStringLiteral("unit"), step.verdict ? step.verdict->unit() : QString()},
        {QStringLiteral("ah"), step.ampHours},
        {QStringLiteral("wh"), step.wattHours},
        {QStringLiteral("v"), step.volts},
        {QStringLiteral("i"), step.amps},
        {QStringLiteral("seconds"), step.seconds},
    };
}

QJsonObject RunSummary::totalsJson(const RunTotals &totals)
{
    return QJsonObject{
        {QStringLiteral("ah"), totals.ampHours},
        {QStringLiteral("wh"), totals.wattHours},
        {QStringLiteral("seconds"), totals.seconds},
    };
}

QJsonObject RunSummary::toJson(const RunRecord &run)
{
    QJsonArray steps;
    for (const StepRecord &step : run.steps)
        steps.append(stepJson(step));
    return QJsonObject{
        {QStringLiteral("result"), run.resultText()},
        {QStringLiteral("program"), run.options.programFile},
        {QStringLiteral("model"), run.model},
        {QStringLiteral("started"), isoText(run.startedAt)},
        {QStringLiteral("ended"), isoText(run.endedAt)},
        {QStringLiteral("message"), run.message},
        {QStringLiteral("load_off"), LoadOffText::json(run.loadOff)},
        {QStringLiteral("totals"), totalsJson(run.totals)},
        {QStringLiteral("steps"), steps},
    };
}

QString RunSummary::stepsText(const QList<StepRecord> &steps)
{
    qsizetype functionWidth = 8;
    for (const StepRecord &step : steps)
        functionWidth = std::max(functionWidth, step.function.size());
    const auto line = [functionWidth](const QStringList &cells) {
        static constexpr int Widths[] = {4, 0, 8, 10, 8, 7, 10, 10, 10, 8, 8};
        QString text;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const int width = i == 1 ? int(functionWidth) : Widths[i];
            // Names read from the left, numbers from the right.
            text += i == 1 || i == 4 || i == 5 ? cells.at(i).leftJustified(width) : cells.at(i).rightJustified(width);
            text += u' ';
        }
        while (text.endsWith(u' '))
            text.chop(1);
        return text + u'\n';
    };
    QString text = line({QStringLiteral("Step"), QStringLiteral("Function"), QStringLiteral("Start"),
        QStringLiteral("Duration s"), QStringLiteral("End"), QStringLiteral("Verdict"), QStringLiteral("Value"),
        QStringLiteral("Ah"), QStringLiteral("Wh"), QStringLiteral("V"), QStringLiteral("I")});
    for (const StepRecord &step : steps)
        text += line({QString::number(step.row), step.function, step.started.toString(QStringLiteral("HH:mm:ss")),
            QString::number(step.seconds, 'f', 1), stepEndText(step.end),
            step.verdict ? step.verdict->passText() : QString(), step.verdict ? step.verdict->valueText() : QString(),
            QString::number(step.ampHours, 'f', 6), QString::number(step.wattHours, 'f', 6),
            QString::number(step.volts, 'f', 3), QString::number(step.amps, 'f', 3)});
    return text;
}

QString RunSummary::totalsText(const RunTotals &totals)
{
    return QStringLiteral("Run total: %1 Ah, %2 Wh in %3 s\n")
        .arg(QString::number(totals.ampHours, 'f', 6), QString::number(totals.wattHours, 'f', 6),
            QString::number(totals.seconds, 'f', 1));
}

QString RunSummary::toText(const RunRecord &run)
{
    QString text = stepsText(run.steps);
    text += totalsText(run.totals);
    text += QStringLiteral("Result: %1\n").arg(run.resultText());
    if (!run.message.isEmpty())
        text += run.message + u'\n';
    return text;
}

QString RunSummary::writeJson(const QString &path) const
{
    const std::optional<QString> failed = WholeFile::replace(
        path, QJsonDocument(toJson()).toJson(QJsonDocument::Indented), OutputFile::Dash::StandardOutput);
    return failed ? QStringLiteral("%1: %2").arg(path, *failed) : QString();
}
