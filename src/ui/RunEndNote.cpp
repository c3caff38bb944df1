#include "ui/RunEndNote.h"

#include "run/RunRecord.h"

RunEndNote RunEndNote::of(const RunRecord &run)
{
    const QString finished = QStringLiteral("Test Finished: %1").arg(run.resultText());
    if (run.result != RunResult::Fail)
        return {finished, QMessageBox::Information};
    const QString failed = run.failVerdicts == 1 ? QStringLiteral("1 verdict failed")
                                                 : QStringLiteral("%1 verdicts failed").arg(run.failVerdicts);
    return {QStringLiteral("%1 (%2)").arg(finished, failed), QMessageBox::Critical};
}
