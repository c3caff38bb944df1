#include "results/ChartHistoryBytes.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr quint32 Magic = 0x56434831; // "VCH1"
// The fewest bytes a column, a mark and an opening take: a count the bytes left cannot hold is a
// damaged blob, not a reason to allocate gigabytes.
constexpr qint64 ColumnBytes = 8 + 8 + 8 + 4 * 3 * 8 + 8 + 1;
constexpr qint64 MarkBytes = 8 + 4 + 4 + 4 + 4;
constexpr qint64 OpeningBytes = 4 + 8 + 8;

bool holds(const QDataStream &in, quint32 count, qint64 itemBytes)
{
    return qint64(count) * itemBytes <= in.device()->bytesAvailable();
}

void writeRange(QDataStream &out, const ChartHistory::Range &range) { out << range.min << range.max << range.last; }

void readRange(QDataStream &in, ChartHistory::Range &range) { in >> range.min >> range.max >> range.last; }

void prepare(QDataStream &stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
    stream.setVersion(QDataStream::Qt_6_0);
}

} // namespace

QByteArray ChartHistoryBytes::write(const ChartHistory &history)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    prepare(out);
    out << Magic << qint32(Format) << history.m_secondsPerColumn << qint64(history.m_samples) << history.m_lastSeconds;
    out << quint32(history.m_columns.size());
    for (const ChartHistory::Column &column : history.m_columns) {
        out << qint64(column.index) << column.firstSeconds << column.lastSeconds;
        for (const ChartHistory::Range *range : {&column.volts, &column.amps, &column.watts, &column.ampHours})
            writeRange(out, *range);
        out << qint64(column.samples) << column.opensStep;
    }
    out << quint32(history.m_marks.size());
    for (const ChartHistory::Mark &mark : history.m_marks)
        out << mark.seconds << qint32(mark.step) << mark.function << qint32(mark.kind) << mark.value;
    out << quint32(history.m_openings.size());
    for (const ChartHistory::StepOpening &opening : history.m_openings)
        out << qint32(opening.step) << opening.seconds << opening.ampHoursBefore;
    return bytes;
}

std::optional<ChartHistory> ChartHistoryBytes::read(const QByteArray &bytes)
{
    QDataStream in(bytes);
    prepare(in);
    quint32 magic = 0;
    qint32 format = 0;
    ChartHistory history;
    qint64 samples = 0;
    in >> magic >> format;
    if (magic != Magic || format != Format)
        return std::nullopt;
    in >> history.m_secondsPerColumn >> samples >> history.m_lastSeconds;
    history.m_samples = samples;
    quint32 count = 0;
    in >> count;
    if (!holds(in, count, ColumnBytes))
        return std::nullopt;
    history.m_columns.resize(count);
    for (ChartHistory::Column &column : history.m_columns) {
        qint64 index = 0, columnSamples = 0;
        in >> index >> column.firstSeconds >> column.lastSeconds;
        for (ChartHistory::Range *range : {&column.volts, &column.amps, &column.watts, &column.ampHours})
            readRange(in, *range);
        in >> columnSamples >> column.opensStep;
        column.index = index;
        column.samples = columnSamples;
    }
    in >> count;
    if (!holds(in, count, MarkBytes))
        return std::nullopt;
    history.m_marks.resize(count);
    for (ChartHistory::Mark &mark : history.m_marks) {
        qint32 step = 0, kind = 0;
        in >> mark.seconds >> step >> mark.function >> kind >> mark.value;
        mark.step = step;
        if (kind < qint32(ChartHistory::Mark::Kind::Step) || kind > qint32(ChartHistory::Mark::Kind::Fail))
            return std::nullopt;
        mark.kind = ChartHistory::Mark::Kind(kind);
    }
    in >> count;
    if (!holds(in, count, OpeningBytes))
        return std::nullopt;
    history.m_openings.resize(count);
    for (ChartHistory::StepOpening &opening : history.m_openings) {
        qint32 step = 0;
        in >> step >> opening.seconds >> opening.ampHoursBefore;
        opening.step = step;
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return history;
}
