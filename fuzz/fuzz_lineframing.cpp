// Any bytes as what the three transports receive. A stream: the lines taken are the same however
// it is cut into pieces, none is empty or holds a CR or LF or more than the longest line's bytes,
// and the unfinished line stays within the longest. A read (serial, GPIB): its reply holds no line
// end, is not empty, and is in the bytes. GPIB: the bytes read are the buffer's first ones, as many
// as the count says.

#include "link/GpibLibrary.h"
#include "link/LineFraming.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

bool holdsLineEnd(const QByteArray &bytes) { return bytes.contains('\r') || bytes.contains('\n'); }

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

    LineFraming whole;
    const QList<LineFraming::Line> expected = whole.take(stream);
    for (const LineFraming::Line &line : expected)
        if ((line.cut && !line.text.isEmpty()) || (!line.cut && (line.text.isEmpty() || holdsLineEnd(line.text)))
            || line.text.size() > LineFraming::MaxLineBytes)
            std::abort();
    if (whole.unfinished().size() > LineFraming::MaxLineBytes || holdsLineEnd(whole.unfinished()))
        std::abort();

    std::sort(cuts.begin(), cuts.end());
    LineFraming pieced;
    QList<LineFraming::Line> lines;
    qsizetype from = 0;
    cuts.append(stream.size());
    for (const qsizetype cut : cuts) {
        const qsizetype to = std::min(cut, stream.size());
        lines += pieced.take(stream.sliced(from, std::max<qsizetype>(to - from, 0)));
        from = std::max(from, to);
        if (pieced.unfinished().size() > LineFraming::MaxLineBytes)
            std::abort();
    }
    if (lines != expected || pieced.unfinished() != whole.unfinished() || pieced.betweenLines() != whole.betweenLines())
        std::abort();

    const std::optional<QByteArray> reply = LineFraming::reply(stream);
    if (reply && (reply->isEmpty() || holdsLineEnd(*reply) || !stream.contains(*reply)))
        std::abort();

    const QByteArray buffer = stream.left(GpibLibrary::ReadBufferSize);
    const QByteArray read = GpibLibrary::bytesRead(buffer, count);
    if (read.size() != std::clamp<long>(count, 0, buffer.size()) || !buffer.startsWith(read))
        std::abort();
    return 0;
}
