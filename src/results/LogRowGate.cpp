#include "results/LogRowGate.h"

void LogRowGate::start(bool hold)
{
    m_hold = hold;
    m_samples = 0;
    m_kept = 0;
    m_rows.clear();
}

QList<QStringList> LogRowGate::rowMade(const QStringList &cells)
{
    if (!m_hold)
        return {cells};
    m_rows.append({m_samples, cells});
    return due();
}

QList<QStringList> LogRowGate::samplesKept(qint64 count)
{
    m_kept = count;
    return due();
}

QList<QStringList> LogRowGate::releaseAll()
{
    m_kept = AllKept;
    return due();
}

QList<QStringList> LogRowGate::due()
{
    QList<QStringList> rows;
    while (!m_rows.isEmpty() && m_rows.first().afterSamples <= m_kept)
        rows.append(m_rows.takeFirst().cells);
    return rows;
}
