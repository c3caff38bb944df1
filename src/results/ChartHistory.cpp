#include "results/ChartHistory.h"

#include "model/FunctionCatalog.h"
#include "results/ColumnEnvelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

void take(ChartHistory::Range &range, double value)
{
    range.min = std::min(range.min, value);
    range.max = std::max(range.max, value);
    range.last = value;
}

void absorb(ChartHistory::Range &into, const ChartHistory::Range &later)
{
    into.min = std::min(into.min, later.min);
    into.max = std::max(into.max, later.max);
    into.last = later.last;
}

ChartHistory::Range first(double value) { return {value, value, value}; }

} // namespace

void ChartHistory::clear()
{
    m_columns.clear();
    m_marks.clear();
    m_secondsPerColumn = FirstColumnSeconds;
    m_samples = 0;
    m_lastSeconds = 0;
    m_stepPending = false;
    m_pendingStep = Mark();
    m_openings.clear();
    m_unopened.clear();
    m_ampHoursBefore = 0;
    m_passAmpHours = 0;
}

void ChartHistory::add(const Sample &sample)
{
    // Time that runs backwards (or is no number) would break the columns' order; such a sample
    // still counts, at the last time seen.
    double seconds = sample.elapsedSeconds;
    if (!std::isfinite(seconds) || seconds < m_lastSeconds)
        seconds = m_lastSeconds;
    // Compared as a double first: a huge time would overflow the integer index.
    while (std::floor(seconds / m_secondsPerColumn) >= MaxColumns)
        mergeNeighbours();
    qint64 index = qint64(std::floor(seconds / m_secondsPerColumn));
    if (!m_columns.empty())
        index = std::max(index, m_columns.back().index);

    // A pass's Ah starts again from zero; a pass of the same row that follows without a step's
    // start in between (a stored run's samples tell rows only) is seen by that.
    if (sample.ampHours < m_passAmpHours)
        m_ampHoursBefore += m_passAmpHours;
    m_passAmpHours = sample.ampHours;
    const double ampHours = m_ampHoursBefore + sample.ampHours;

    const bool opens = !m_unopened.empty();
    for (const int step : m_unopened)
        m_openings.push_back({step, seconds, m_ampHoursBefore});
    m_unopened.clear();

    if (m_columns.empty() || m_columns.back().index != index || opens) {
        if (m_columns.empty())
            m_columns.reserve(MaxColumns);
        Column column;
        column.index = index;
        column.firstSeconds = seconds;
        column.volts = first(sample.volts);
        column.amps = first(sample.amps);
        column.watts = first(sample.watts);
        column.ampHours = first(ampHours);
        column.opensStep = opens;
        m_columns.push_back(column);
    } else {
        Column &column = m_columns.back();
        take(column.volts, sample.volts);
        take(column.amps, sample.amps);
        take(column.watts, sample.watts);
        take(column.ampHours, ampHours);
    }
    Column &column = m_columns.back();
    column.lastSeconds = seconds;
    ++column.samples;
    ++m_samples;
    m_lastSeconds = seconds;

    if (m_stepPending) {
        m_stepPending = false;
        m_pendingStep.seconds = seconds;
        addMark(std::move(m_pendingStep));
        m_pendingStep = Mark();
    }
}

void ChartHistory::stepStarted(int step, const QString &function)
{
    // A step that jumps (FOR, LOOP) takes no sample: the step that does is the one marked.
    m_pendingStep = Mark();
    m_pendingStep.step = step;
    m_pendingStep.function = function;
    m_pendingStep.kind = Mark::Kind::Step;
    m_stepPending = true;
    m_ampHoursBefore += m_passAmpHours;
    m_passAmpHours = 0;
    if (!opening(step) && std::find(m_unopened.begin(), m_unopened.end(), step) == m_unopened.end())
        m_unopened.push_back(step);
}

std::optional<ChartHistory::StepOpening> ChartHistory::opening(int step) const
{
    const auto found = std::find_if(
        m_openings.begin(), m_openings.end(), [step](const StepOpening &opening) { return opening.step == step; });
    if (found == m_openings.end())
        return std::nullopt;
    return *found;
}

std::vector<ChartHistory::Column>::const_iterator ChartHistory::columnAt(const StepOpening &opening) const
{
    auto column = std::lower_bound(m_columns.begin(), m_columns.end(), opening.seconds,
        [](const Column &column, double seconds) { return column.firstSeconds < seconds; });
    // Time the clock held back can start a column before it at the same second.
    while (column != m_columns.end() && !column->opensStep && column->firstSeconds == opening.seconds)
        ++column;
    return column;
}

void ChartHistory::verdict(int step, const Verdict &verdict)
{
    Mark mark;
    mark.seconds = m_lastSeconds;
    mark.step = step;
    mark.kind = verdict.pass ? Mark::Kind::Pass : Mark::Kind::Fail;
    mark.value = verdict.value.isEmpty() ? QString() : verdict.valueText();
    addMark(std::move(mark));
}

void ChartHistory::mergeNeighbours()
{
    // Every column lands on index / 2; neighbours that meet there become one. Done in place, in
    // order, so the columns stay sorted and each merge costs one pass over at most MaxColumns.
    std::size_t out = 0;
    for (std::size_t in = 0; in < m_columns.size(); ++in) {
        Column column = m_columns[in];
        column.index /= 2;
        if (out > 0 && m_columns[out - 1].index == column.index && !column.opensStep) {
            Column &into = m_columns[out - 1];
            absorb(into.volts, column.volts);
            absorb(into.amps, column.amps);
            absorb(into.watts, column.watts);
            absorb(into.ampHours, column.ampHours);
            into.lastSeconds = column.lastSeconds;
            into.samples += column.samples;
        } else {
            m_columns[out++] = column;
        }
    }
    m_columns.resize(out);
    m_secondsPerColumn *= 2;
}

void ChartHistory::addMark(Mark mark)
{
    // Marks come per step, not per sample: shifting the few thousand kept is cheap enough.
    if (m_marks.size() >= std::size_t(MaxMarks))
        m_marks.erase(m_marks.begin(), m_marks.begin() + std::ptrdiff_t(m_marks.size() - MaxMarks + 1));
    m_marks.push_back(std::move(mark));
}

QList<QPointF> ChartHistory::envelope(Range Column::*range, double from, double to, int displayColumns) const
{
    return columnEnvelope(
        m_columns, [](const Column &column) { return (column.firstSeconds + column.lastSeconds) / 2; },
        [range](const Column &column) -> const Range & { return column.*range; }, from, to, displayColumns);
}

std::vector<std::pair<double, double>> ChartHistory::finishedTripTests() const
{
    static const QStringList tripTests{FunctionCatalog::name(FunctionCatalog::Short),
        FunctionCatalog::name(FunctionCatalog::Ocp), FunctionCatalog::name(FunctionCatalog::Opp)};
    std::vector<std::pair<double, double>> spans;
    const Mark *open = nullptr;
    for (const Mark &mark : m_marks) {
        if (mark.kind != Mark::Kind::Step)
            continue;
        if (open)
            spans.emplace_back(open->seconds, mark.seconds);
        open = tripTests.contains(mark.function) ? &mark : nullptr;
    }
    return spans;
}

std::optional<std::pair<double, double>> ChartHistory::extent(
    Range Column::*range, double from, double to, bool tripPeaks) const
{
    const std::vector<std::pair<double, double>> tripTests
        = tripPeaks ? std::vector<std::pair<double, double>>() : finishedTripTests();
    const auto inTripTest = [&tripTests](const Column &column) {
        return std::any_of(tripTests.begin(), tripTests.end(), [&column](const std::pair<double, double> &span) {
            return column.lastSeconds >= span.first && column.firstSeconds < span.second;
        });
    };
    std::optional<std::pair<double, double>> all, kept;
    const auto widen = [](std::optional<std::pair<double, double>> &into, const Range &values) {
        if (!into)
            into.emplace(values.min, values.max);
        into->first = std::min(into->first, values.min);
        into->second = std::max(into->second, values.max);
    };
    for (const Column &column : m_columns) {
        if (column.lastSeconds < from || column.firstSeconds > to)
            continue;
        widen(all, column.*range);
        if (!inTripTest(column))
            widen(kept, column.*range);
    }
    return kept ? kept : all;
}
