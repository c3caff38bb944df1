#include "link/LineFraming.h"

#include <algorithm>

QList<LineFraming::Line> LineFraming::take(QByteArrayView bytes)
{
    QList<Line> lines;
    const char *at = bytes.begin();
    const char *const end = bytes.end();
    while (at != end) {
        const char *const lineEnd = std::find_if(at, end, isLineEnd);
        if (!m_dropping) {
            const qsizetype room = MaxLineBytes - m_unfinished.size();
            if (lineEnd - at > room) {
                m_unfinished.clear();
                m_dropping = true;
                lines.append({{}, true});
            } else {
                m_unfinished.append(at, lineEnd - at);
            }
        }
        if (lineEnd == end)
            break;
        if (!m_dropping && !m_unfinished.isEmpty())
            lines.append({std::exchange(m_unfinished, {}), false});
        m_dropping = false;
        at = lineEnd + 1;
    }
    return lines;
}

void LineFraming::dropLineUnderWay()
{
    if (!m_unfinished.isEmpty())
        m_dropping = true;
    m_unfinished.clear();
}

void LineFraming::clear()
{
    m_unfinished.clear();
    m_dropping = false;
}

std::optional<QByteArray> LineFraming::reply(const QByteArray &received)
{
    LineFraming framing;
    std::optional<QByteArray> last;
    for (const Line &line : framing.take(received))
        last = line.cut ? std::nullopt : std::optional<QByteArray>(line.text);
    if (!framing.unfinished().isEmpty())
        return framing.unfinished();
    if (framing.m_dropping)
        return std::nullopt;
    return last;
}
