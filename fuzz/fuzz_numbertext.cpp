// Any text as a number: the readings never crash, and a number the program writes reads back
// strictly to the value it wrote (15 significant digits).

#include "model/Fixed4.h"
#include "model/NumberText.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const double lenient = NumberText::lenient(text);
    NumberText::strict(text);
    NumberText::toInt16(lenient);
    NumberText::toInt32(lenient);
    if (const auto fixed = Fixed4::fromDouble(lenient))
        fixed->toText();
    if (std::isfinite(lenient)) {
        const QString written = NumberText::shortest(lenient);
        const auto back = NumberText::strict(written);
        if (!back || (lenient != 0 && std::fabs(*back - lenient) > std::fabs(lenient) * 1e-14))
            std::abort();
        if (NumberText::lenient(written) != *back)
            std::abort();
    }
    return 0;
}
