#include "store/StoredRunText.h"

#include "store/RunListModel.h"
#include "store/StoredRun.h"

#include <QStringList>

namespace {

QString timeText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-");
}

QString stepTable(const QList<RunSummary::Step> &steps)
{
    qsizetype functionWidth = 8;
    for (const RunSummary::Step &step : steps)
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
    for (const RunSummary::Step &step : steps)
        text += line({QString::number(step.step), step.function, step.started.toString(QStringLiteral("HH:mm:ss")),
            QString::number(step.seconds, 'f', 1), step.end, step.verdict, step.value,
            QString::number(step.ampHours, 'f', 6), QString::number(step.wattHours, 'f', 6),
            QString::number(step.volts, 'f', 3), QString::number(step.amps, 'f', 3)});
    return text;
}

} // namespace

QString StoredRunText::toText(const StoredRun &run)
{
    QString model = run.model.isEmpty() ? QStringLiteral("-") : run.model;
    if (!run.ratedCurrent.isEmpty())
        model += QStringLiteral(" (%1 A)").arg(run.ratedCurrent);
    const QString duration = RunListModel::durationText(run);
    QString text = QStringLiteral("Program:  %1\nStation:  %2\nModel:    %3\nStarted:  %4\nEnded:    %5%6\n"
                                  "Result:   %7\n")
                       .arg(run.programName, run.station, model, timeText(run.started), timeText(run.ended),
                           duration.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(duration), run.resultText());
    if (!run.message.isEmpty())
        text += QStringLiteral("Message:  %1\n").arg(run.message);
    text += QStringLiteral("Samples:  %L1\nRun:      %2\n\n").arg(run.sampleCount).arg(run.uuid);
    return text + stepTable(run.steps);
}
