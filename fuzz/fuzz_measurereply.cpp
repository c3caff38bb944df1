// Any bytes as a reply to "MEAS:VC?": reading it never crashes, the two fields taken are the
// reply's first two, and the numbers a sample derives from them stay readable.

#include "model/NumberText.h"
#include "run/MeasureReply.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<MeasureReply> reading = MeasureReply::read(reply);
    if (reading.has_value() != reply.contains(u','))
        std::abort();
    if (!reading)
        return 0;
    if (reading->voltage.contains(u',') || reading->current.contains(u',')
        || !reply.startsWith(reading->voltage + u',' + reading->current))
        std::abort();
    const double voltage = NumberText::lenient(reading->voltage);
    const double current = NumberText::lenient(reading->current);
    if (!std::isfinite(voltage) || !std::isfinite(current))
        std::abort();
    NumberText::roundToEightDecimals(NumberText::lenient(NumberText::shortest(voltage * current)));
    return 0;
}
