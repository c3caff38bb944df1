#include "store/StoredRunText.h"

#include "results/LoadOffText.h"
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

QString StoredRunText::resultText(const StoredRun &run)
{
    QStringList parts{run.resultText()};
    if (const qint64 missing = run.missingSamples(); missing > 0)
        parts.append(QStringLiteral("INCOMPLETE (%1 samples missing)").arg(missing));
    if (const QString note = LoadOffText::note(run.loadOff); !note.isEmpty())
        parts.append(note);
    return parts.join(QStringLiteral(", "));
}

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
    if (const QString loadOff = LoadOffText::detail(run.loadOff); !loadOff.isEmpty())
        text += QStringLiteral("Load off: %1\n").arg(loadOff);
    text += QStringLiteral("Samples:  %L1").arg(run.sampleCount);
    if (const qint64 missing = run.missingSamples(); missing > 0) {
        text += QStringLiteral(" of %L1: INCOMPLETE (%2 samples missing)").arg(*run.samplesMade).arg(missing);
        if (!run.logPath.isEmpty())
            text += QStringLiteral("; the CSV log has them: vornic-runs import %1").arg(run.logPath);
    }
    text += u'\n';
    if (!run.logPath.isEmpty())
        text += QStringLiteral("Log:      %1\n").arg(run.logPath);
    if (!run.importedFrom.isEmpty())
        text += QStringLiteral("Imported: from %1\n").arg(run.importedFrom);
    text += QStringLiteral("Run:      %1\n\n").arg(run.uuid);
    text += RunSummary::stepsText(run.steps);
    if (run.totals)
        text += RunSummary::totalsText(*run.totals);
    return text;
}
