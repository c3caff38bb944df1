#pragma once

#include <QList>
#include <QStringList>
#include <limits>

// Holds the log's rows until the samples made before them are kept elsewhere (the run store), so
// that a killed program's log never holds a row its store lacks. Rows come out in the order made.
class LogRowGate
{
public:
    static constexpr qint64 AllKept = std::numeric_limits<qint64>::max();

    // A new run; `hold` false lets every row through as it is made.
    void start(bool hold);
    void sampleMade() { ++m_samples; }
    // The rows that may be written now that `cells` was made.
    QList<QStringList> rowMade(const QStringList &cells);
    // The rows that may be written now that the first `count` samples are kept.
    QList<QStringList> samplesKept(qint64 count);
    // Every row still held.
    QList<QStringList> releaseAll();
    bool isHolding() const { return m_hold; }

private:
    struct Row
    {
        qint64 afterSamples = 0;
        QStringList cells;
    };
    QList<QStringList> due();

    bool m_hold = false;
    qint64 m_samples = 0;
    qint64 m_kept = 0;
    QList<Row> m_rows;
};
