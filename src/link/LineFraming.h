#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// Replies as lines of a byte stream: a line ends at CR, at LF or at CR LF, and its end is no part
// of the reply. Loads end their replies either way, and the LF of a CR LF that comes apart from its
// CR only makes an empty line, which is left out. A line that runs past MaxLineBytes is cut: it is
// said at once, and its bytes are dropped up to its end, so a sender that never ends its line
// cannot take memory.
class LineFraming
{
public:
    // Far above any reply of the instruments (a model name, a reading, a test's state).
    static constexpr qsizetype MaxLineBytes = 1024;

    // A line taken off the stream; a cut line carries no text.
    struct Line
    {
        QByteArray text;
        bool cut = false;

        bool operator==(const Line &) const = default;
    };

    // The lines the bytes complete, in order, empty lines left out.
    QList<Line> take(QByteArrayView bytes);
    // The start of a line whose end has not arrived yet.
    const QByteArray &unfinished() const { return m_unfinished; }
    // Whether the stream stands between lines: nothing under way, nothing being dropped.
    bool betweenLines() const { return m_unfinished.isEmpty() && !m_dropping; }
    // The line under way began before a question: the bytes up to its end are no reply to it.
    void dropLineUnderWay();
    void clear();

    static bool isLineEnd(char byte) { return byte == '\r' || byte == '\n'; }

    // The reply in what one read received: its last line that is not empty, an unterminated end
    // counting as a line, so that a late reply ahead of it or a blank line is no part of it;
    // nothing when there is no such line.
    static std::optional<QByteArray> reply(const QByteArray &received);

private:
    QByteArray m_unfinished;
    bool m_dropping = false;
};
