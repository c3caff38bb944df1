#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// Replies as lines: a line ends at LF, and its end (CR LF or a lone LF) is not part of the reply.
class LineFraming
{
public:
    // The line without its end; any other bytes stay.
    static QByteArray withoutLineEnd(const QByteArray &line);

    // Takes every complete line off the front of `pending`, which keeps the start of a line whose
    // end has not arrived yet. Empty lines are left out.
    static QList<QByteArray> takeLines(QByteArray &pending);

    // The reply in what one read received: its last line that is not empty, an unterminated end
    // counting as a line, so that a late reply ahead of it or a blank line is no part of it;
    // nothing when there is no such line.
    static std::optional<QByteArray> reply(const QByteArray &received);
};
