// Any bytes as a reply to "MEAS:VC?": reading it never crashes; a reading is two finite numbers
// within the bounds, each of sign, digits, point and exponent only, found in the reply around its
// one comma, and the numbers a sample derives from them stay readable.

#include "model/NumberText.h"
#include "run/MeasureReply.h"

#include <cmath>
#include <cstdlib>

namespace {

bool onlyNumberCharacters(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!(c.isDigit() && c.unicode() < 128) && c != u'.' && c != u'+' && c != u'-' && c != u'e' && c != u'E')
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const MeasureReply::Bounds bounds = MeasureReply::Bounds::forRatedCurrent(QStringLiteral("60"));
    const std::optional<MeasureReply> reading = MeasureReply::read(reply, bounds);
    if (!reading)
        return 0;
    if (reply.size() > MeasureReply::MaxChars || reply.count(u',') != 1 || !onlyNumberCharacters(reading->voltage)
        || !onlyNumberCharacters(reading->current) || !reply.contains(reading->voltage)
        || !reply.contains(reading->current))
        std::abort();
    if (!std::isfinite(reading->volts) || !std::isfinite(reading->amps) || std::abs(reading->volts) > bounds.volts
        || std::abs(reading->amps) > bounds.amps || NumberText::strict(reading->voltage) != reading->volts
        || NumberText::strict(reading->current) != reading->amps)
        std::abort();
    NumberText::roundToEightDecimals(NumberText::lenient(NumberText::shortest(reading->volts * reading->amps)));
    return 0;
}
