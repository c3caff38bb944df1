#pragma once

#include "results/ChartHistory.h"
#include "store/RunFigures.h"
#include "store/StoredRun.h"

#include <QList>
#include <optional>

// Several stored runs side by side: each run's figures, how they spread over the selection and,
// against the capacity the part is rated for, each run's state of health.
class RunComparison
{
public:
    struct Entry
    {
        StoredRun run;
        RunFigures figures;
        // What its curve is drawn from.
        ChartHistory chart;
    };

    // A figure of one run; NaN where the run has none (a voltage without samples).
    using Figure = double (*)(const Entry &);

    struct Spread
    {
        double mean = 0, min = 0, max = 0;
        // The sample standard deviation (n - 1); 0 for a single value.
        double stddev = 0;
    };

    // A capacity test's pass mark, the share of the nominal capacity a healthy part still holds.
    static constexpr double DefaultThreshold = 0.8;

    void add(Entry entry) { m_entries.append(std::move(entry)); }
    const QList<Entry> &entries() const { return m_entries; }

    // The capacity in Ah the parts are rated for; state of health is judged once it is set.
    void setNominal(double ampHours, double threshold = DefaultThreshold);
    std::optional<double> nominal() const { return m_nominal; }
    double threshold() const { return m_threshold; }
    // The run's capacity over the nominal one; NaN without a nominal.
    double stateOfHealth(const Entry &entry) const;
    bool healthy(const Entry &entry) const { return stateOfHealth(entry) >= m_threshold; }

    // Over the runs that have the figure; nothing when none has it.
    std::optional<Spread> spread(Figure figure) const;
    std::optional<Spread> stateOfHealthSpread() const;

private:
    static std::optional<Spread> spreadOf(const QList<double> &values);

    QList<Entry> m_entries;
    std::optional<double> m_nominal;
    double m_threshold = DefaultThreshold;
};
