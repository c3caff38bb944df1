#include "store/StoredRunText.h"

#include "results/RunSummary.h"
#include "store/RunListModel.h"
#include "store/StoredRun.h"

#include <QStringList>

namespace {

QString timeText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("-");
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
    text += RunSummary::stepsText(run.steps);
    if (run.totals)
        text += RunSummary::totalsText(*run.totals);
    return text;
}
