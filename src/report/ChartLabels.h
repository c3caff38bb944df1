#pragma once

#include "results/ChartHistory.h"

#include <QFontMetricsF>
#include <QString>
#include <functional>
#include <vector>

// Where a chart's step and verdict labels go: step labels in rows above the readings, verdicts in
// rows below them, none over another and none past the plot's right edge.
class ChartLabels
{
public:
    struct Label
    {
        // Where the text starts.
        double x = 0;
        // Counted from the plot's top edge for steps, from its bottom edge for verdicts.
        int row = 0;
        QString text;
        ChartHistory::Mark::Kind kind = ChartHistory::Mark::Kind::Step;
    };

    // `xAt` places a time in seconds; `pad` is the room kept around each text.
    ChartLabels(const std::vector<ChartHistory::Mark> &marks, const std::function<double(double)> &xAt,
        double plotRight, double plotWidth, const QFontMetricsF &metrics, double pad);

    const std::vector<Label> &labels() const { return m_labels; }
    int stepRows() const { return m_stepRows; }
    int verdictRows() const { return m_verdictRows; }
    // Step starts too close together to label: each would only cover the next.
    bool denseSteps() const { return m_denseSteps; }

private:
    std::vector<Label> m_labels;
    int m_stepRows = 0, m_verdictRows = 0;
    bool m_denseSteps = false;
};
