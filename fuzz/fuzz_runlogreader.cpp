// Any bytes as a run's CSV log: reading never crashes; a log read has its rows numbered from 1
// without a gap, ten cells each, one line after the other; and the run it tells has a sample for
// each row that is no verdict, each in a step of its own function.

#include "results/LoggedRun.h"
#include "results/ResultLog.h"
#include "results/RunLogReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const std::optional<RunLogReader::Log> log
        = RunLogReader::parse(bytes, QStringLiteral("in.CSV"), QStringLiteral(";"), &error);
    if (!log) {
        if (!error.startsWith(QStringLiteral("in.CSV:")))
            std::abort();
        return 0;
    }
    qint64 verdicts = 0;
    for (qsizetype index = 0; index < log->rows.size(); ++index) {
        const RunLogReader::Row &row = log->rows.at(index);
        if (row.number != index + 1 || row.line != index + 2 || row.cells.size() != ResultLog::ColumnCount
            || !row.made.isValid())
            std::abort();
        verdicts += row.isVerdict() ? 1 : 0;
    }
    const LoggedRun run(log->rows);
    if (run.sampleCount() + verdicts != log->rows.size())
        std::abort();
    for (qint64 seq = 1; seq <= run.sampleCount(); ++seq) {
        const StepRecord &step = run.steps().at(run.stepOfSample(seq));
        if (step.function != run.sampleRow(seq).function() || run.sample(seq, run.firstStepStart()).step != step.row)
            std::abort();
    }
    return 0;
}
