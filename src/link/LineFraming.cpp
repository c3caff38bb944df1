#include "link/LineFraming.h"

QByteArray LineFraming::withoutLineEnd(const QByteArray &line)
{
    if (line.endsWith("\r\n"))
        return line.chopped(2);
    if (line.endsWith('\n'))
        return line.chopped(1);
    return line;
}

QList<QByteArray> LineFraming::takeLines(QByteArray &pending)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    qsizetype end;
    while ((end = pending.indexOf('\n', start)) >= 0) {
        const QByteArray line = withoutLineEnd(pending.sliced(start, end + 1 - start));
        if (!line.isEmpty())
            lines.append(line);
        start = end + 1;
    }
    pending.remove(0, start);
    return lines;
}

std::optional<QByteArray> LineFraming::reply(const QByteArray &received)
{
    const qsizetype lastEnd = received.lastIndexOf('\n');
    if (lastEnd + 1 < received.size())
        return received.sliced(lastEnd + 1);
    QByteArray complete = received;
    const QList<QByteArray> lines = takeLines(complete);
    if (lines.isEmpty())
        return std::nullopt;
    return lines.last();
}
