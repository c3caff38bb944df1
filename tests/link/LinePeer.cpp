#include "LinePeer.h"

#include <QTimer>

void LinePeer::answer(const QByteArray &line, const QList<QByteArray> &pieces, int gapMs)
{
    m_answers[line] = pieces;
    m_gaps[line] = gapMs;
}

void LinePeer::feed(const QByteArray &bytes)
{
    m_received += bytes;
    m_pending += bytes;
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_lines.append(line);
        Q_EMIT lineReceived(line);
        const QList<QByteArray> pieces = m_answers.value(line);
        const int gap = m_gaps.value(line);
        for (int i = 0; i < pieces.size(); ++i) {
            if (i == 0 && gap == 0)
                send(pieces.at(i));
            else
                QTimer::singleShot(gap * (i + 1), this, [this, piece = pieces.at(i)] { send(piece); });
        }
    }
}
