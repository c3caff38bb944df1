// Any bytes as what the three transports receive. LAN: the lines taken are the same however the
// stream is cut into pieces, none holds a LF, and only the start of an unfinished line stays
// behind. Serial and GPIB: a read's reply holds no LF, is not empty, and is what LAN would take from
// the same bytes. GPIB: the bytes read are the buffer's first ones, as many as the count says.

#include "link/GpibLibrary.h"
#include "link/LineFraming.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Cut at every LF, each line without one CR before it; the rest is the unfinished line.
QList<QByteArray> linesOf(const QByteArray &stream, QByteArray *rest)
{
    QList<QByteArray> pieces = stream.split('\n');
    *rest = pieces.takeLast();
    QList<QByteArray> lines;
    for (QByteArray &piece : pieces) {
        if (piece.endsWith('\r'))
            piece.chop(1);
        if (!piece.isEmpty())
            lines.append(piece);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const long count = provider.ConsumeIntegral<long>();
    QList<qsizetype> cuts;
    for (int n = provider.ConsumeIntegralInRange(0, 8); n > 0; --n)
        cuts.append(provider.ConsumeIntegral<uint16_t>());
    const std::string remaining = provider.ConsumeRemainingBytesAsString();
    const QByteArray stream(remaining.data(), qsizetype(remaining.size()));

    QByteArray rest;
    const QList<QByteArray> expected = linesOf(stream, &rest);
    QByteArray whole = stream;
    if (LineFraming::takeLines(whole) != expected || whole != rest)
        std::abort();

    std::sort(cuts.begin(), cuts.end());
    QByteArray pending;
    QList<QByteArray> pieced;
    qsizetype from = 0;
    cuts.append(stream.size());
    for (const qsizetype cut : cuts) {
        const qsizetype to = std::min(cut, stream.size());
        pending += stream.sliced(from, std::max<qsizetype>(to - from, 0));
        from = std::max(from, to);
        for (const QByteArray &line : LineFraming::takeLines(pending)) {
            if (line.isEmpty() || line.contains('\n'))
                std::abort();
            pieced.append(line);
        }
        if (pending.contains('\n'))
            std::abort();
    }
    if (pieced != expected || pending != rest)
        std::abort();

    const std::optional<QByteArray> reply = LineFraming::reply(stream);
    if (reply && (reply->isEmpty() || reply->contains('\n') || !stream.contains(*reply)))
        std::abort();
    if (stream.endsWith('\n') && (reply.has_value() != !expected.isEmpty() || (reply && *reply != expected.last())))
        std::abort();

    const QByteArray buffer = stream.left(GpibLibrary::ReadBufferSize);
    const QByteArray read = GpibLibrary::bytesRead(buffer, count);
    if (read.size() != std::clamp<long>(count, 0, buffer.size()) || !buffer.startsWith(read))
        std::abort();
    return 0;
}
