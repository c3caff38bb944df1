#include "results/RunLogWriter.h"

#include "results/LogRowCells.h"
#include "results/ResultLog.h"
#include "run/RunController.h"

RunLogWriter::RunLogWriter(
    const RunRecorder &recorder, ResultLog &results, std::function<QString()> separatorText, QObject *parent)
    : QObject(parent), m_recorder(recorder), m_results(results), m_separatorText(std::move(separatorText))
{
    connect(&recorder, &RunRecorder::runStarted, this, [this] {
        m_gate.start(bool(m_keepAll));
        m_results.clear();
    });
    connect(&recorder, &RunRecorder::sampleAdded, this, [this] { m_gate.sampleMade(); });
    connect(&recorder, &RunRecorder::rowAdded, this, [this](const LogRow &row) {
        const QStringList cells = LogRowCells::cells(row, m_recorder.record().options.measure);
        m_results.appendRow(cells);
        writeRows(m_gate.rowMade(cells));
    });
    connect(&recorder, &RunRecorder::runEnded, this, &RunLogWriter::onRunEnded);
}

void RunLogWriter::bindTo(RunController &run)
{
    run.addStartCheck([this] { return open(); });
    connect(
        this, &RunLogWriter::failed, &run, [&run](const QString &message) { run.abort(RunResult::Error, message); });
}

QString RunLogWriter::open()
{
    QString error;
    if (m_file.open(m_path, &error))
        return QString();
    return QStringLiteral("The test cannot start: the log file cannot be written.\n%1").arg(error);
}

void RunLogWriter::samplesKept(qint64 count) { writeRows(m_gate.samplesKept(count)); }

void RunLogWriter::writeRows(const QList<QStringList> &rows)
{
    if (m_file.isOpen() && !m_file.WriteLogLines(rows, m_separatorText()))
        Q_EMIT failed(QStringLiteral("The run was stopped: the log file cannot be written.\n%1").arg(m_file.path()));
}

void RunLogWriter::onRunEnded()
{
    if (m_gate.isHolding() && m_keepAll)
        m_keepAll();
    writeRows(m_gate.releaseAll());
    m_file.close();
}
