#include "results/LoggedRun.h"

#include "model/NumberText.h"
#include "results/ResultLog.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

double figure(const QString &cell)
{
    return cell.isEmpty() ? std::numeric_limits<double>::quiet_NaN() : NumberText::strict(cell).value_or(0);
}

double reading(const QString &cell)
{
    return cell.isEmpty() ? std::numeric_limits<double>::quiet_NaN() : NumberText::lenient(cell);
}

// What a step drew and read last, for the step's totals; 0 for what its log leaves empty.
double orZero(double value) { return std::isnan(value) ? 0 : value; }

} // namespace

LoggedRun::LoggedRun(QList<RunLogReader::Row> rows) : m_rows(std::move(rows))
{
    for (qsizetype index = 0; index < m_rows.size(); ++index) {
        const RunLogReader::Row &row = m_rows.at(index);
        const bool newStep = m_steps.isEmpty() || row.function() != m_steps.last().function
            || row.stepSeconds < m_rows.at(index - 1).stepSeconds;
        if (newStep) {
            StepRecord step;
            step.row = int(m_steps.size()) + 1;
            step.function = row.function();
            step.started = row.made.addSecs(-row.stepSeconds);
            m_steps.append(step);
            m_firstLines.append(row.line);
        }
        StepRecord &step = m_steps.last();
        step.ended = row.made;
        step.seconds = double(row.stepSeconds);
        if (row.isVerdict()) {
            Verdict verdict;
            verdict.pass = row.cells.at(ResultLog::Result) == u"PASS";
            verdict.quantity = Verdict::quantityFor(row.function());
            for (int column = ResultLog::V; column <= ResultLog::WH; ++column) {
                if (!row.cells.at(column).isEmpty())
                    verdict.value = row.cells.at(column);
            }
            step.verdict = verdict;
            continue;
        }
        m_samples.append(index);
        m_stepOfSample.append(int(m_steps.size()) - 1);
        const Sample taken = sample(m_samples.size(), step.started);
        step.sampled = true;
        step.volts = orZero(taken.volts);
        step.amps = orZero(taken.amps);
        step.ampHours = orZero(taken.ampHours);
        step.wattHours = orZero(taken.wattHours);
    }
}

Sample LoggedRun::sample(qint64 seq, const QDateTime &started) const
{
    const RunLogReader::Row &row = sampleRow(seq);
    Sample sample;
    sample.elapsedSeconds = double(started.msecsTo(row.made)) / 1000.0;
    sample.volts = reading(row.cells.at(ResultLog::V));
    sample.amps = reading(row.cells.at(ResultLog::I));
    sample.watts = figure(row.cells.at(ResultLog::W));
    sample.ampHours = figure(row.cells.at(ResultLog::AH));
    sample.wattHours = figure(row.cells.at(ResultLog::WH));
    sample.step = m_steps.at(stepOfSample(seq)).row;
    return sample;
}

void LoggedRun::setStepRows(const QList<int> &rows)
{
    for (qsizetype step = 0; step < m_steps.size() && step < rows.size(); ++step)
        m_steps[step].row = rows.at(step);
}

QDateTime LoggedRun::firstStepStart() const { return m_steps.isEmpty() ? QDateTime() : m_steps.first().started; }

QDateTime LoggedRun::lastRowMade() const { return m_rows.isEmpty() ? QDateTime() : m_rows.last().made; }

bool LoggedRun::anyVerdictFailed() const
{
    return std::any_of(
        m_steps.cbegin(), m_steps.cend(), [](const StepRecord &step) { return step.verdict && !step.verdict->pass; });
}
