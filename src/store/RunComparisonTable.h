#pragma once

#include <QList>
#include <QStringList>

class RunComparison;

// The comparison's figures as a reader sees them, in units and rounded: a row per run, then the
// mean, minimum, maximum and standard deviation over the runs; the state of health and its verdict
// once a nominal capacity is set. The window's table and the PDF show the same texts.
class RunComparisonTable
{
public:
    // Rows of the spread, after the runs' rows: what their first cell says.
    static inline const QStringList SpreadNames{
        QStringLiteral("Mean"), QStringLiteral("Min"), QStringLiteral("Max"), QStringLiteral("Std dev")};

    explicit RunComparisonTable(const RunComparison &comparison);

    const QStringList &headers() const { return m_headers; }
    // The runs' rows, then the spread's.
    const QList<QStringList> &rows() const { return m_rows; }
    qsizetype runRows() const { return m_runRows; }
    // The column of the run's result, and of its health verdict (-1 without a nominal).
    int resultColumn() const { return 4; }
    int healthColumn() const { return m_healthColumn; }

private:
    QStringList m_headers;
    QList<QStringList> m_rows;
    qsizetype m_runRows = 0;
    int m_healthColumn = -1;
};
