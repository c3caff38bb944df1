#include "report/ChartLabels.h"

#include <QStringList>
#include <algorithm>

namespace {

constexpr int StepRows = 3, VerdictRows = 2;

} // namespace

ChartLabels::ChartLabels(const std::vector<ChartHistory::Mark> &marks, const std::function<double(double)> &xAt,
    double plotRight, double plotWidth, const QFontMetricsF &metrics, double pad)
{
    // What each row holds, as [from, to) spans.
    std::vector<std::vector<std::pair<double, double>>> taken(StepRows + VerdictRows);
    // A label takes the first of its rows where it overlaps no other; where all are taken, it is
    // cut to the step number or the verdict, and else left out.
    const auto place = [&](int firstRow, int rows, const ChartHistory::Mark &mark, const QStringList &texts) {
        for (const QString &text : texts) {
            const double width = metrics.horizontalAdvance(text) + 2 * pad;
            const double from = std::min(xAt(mark.seconds) + pad, plotRight - width);
            const double to = from + width;
            for (int row = firstRow; row < firstRow + rows; ++row) {
                auto &spans = taken[std::size_t(row)];
                if (std::any_of(spans.begin(), spans.end(),
                        [&](const std::pair<double, double> &span) { return from < span.second && span.first < to; }))
                    continue;
                spans.emplace_back(from, to);
                m_labels.push_back({from, row - firstRow, text, mark.kind});
                return;
            }
        }
    };
    const auto steps = std::count_if(marks.begin(), marks.end(),
        [](const ChartHistory::Mark &mark) { return mark.kind == ChartHistory::Mark::Kind::Step; });
    // The table of steps names them all where the chart has no room to.
    m_denseSteps = double(steps) * (metrics.horizontalAdvance(QStringLiteral("000")) + 3 * pad) > plotWidth;
    if (!m_denseSteps) {
        for (const ChartHistory::Mark &mark : marks) {
            if (mark.kind == ChartHistory::Mark::Kind::Step) {
                const QString number = QString::number(mark.step);
                place(0, StepRows, mark, {number + u' ' + mark.function, number});
            }
        }
    }
    // Failures first: where verdicts crowd, those are the ones to read.
    for (const ChartHistory::Mark::Kind kind : {ChartHistory::Mark::Kind::Fail, ChartHistory::Mark::Kind::Pass}) {
        const QString verdict
            = kind == ChartHistory::Mark::Kind::Pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
        for (const ChartHistory::Mark &mark : marks) {
            if (mark.kind == kind)
                place(StepRows, VerdictRows, mark,
                    {mark.value.isEmpty() ? verdict : verdict + u' ' + mark.value, verdict});
        }
    }
    for (const Label &label : m_labels) {
        int &rows = label.kind == ChartHistory::Mark::Kind::Step ? m_stepRows : m_verdictRows;
        rows = std::max(rows, label.row + 1);
    }
}
