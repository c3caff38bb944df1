// Any bytes as the load's replies during its own tests ("TESTING?", "NG?", the trip value,
// "BATT:RAH?", "BATT:RVOLT?"): reading them never crashes, a verdict passes only on a number that
// meets its limit, and what a verdict row shows is the reply or, after a failure code, a number.

#include "link/InstrumentLink.h"
#include "model/NumberText.h"
#include "run/LoadTestReplies.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<double> leading = NumberText::leading(reply);

    const std::optional<double> state = LoadTestReplies::testingState(reply);
    if (state && (std::isnan(*state) || *state != NumberText::lenient(reply) || reply == ErrRec))
        std::abort();
    if (LoadTestReplies::verdictReady(reply) && (!leading || (*leading != 0 && *leading != 1)))
        std::abort();
    if (LoadTestReplies::tripWithin(reply, 3, 10) && (!leading || *leading < 3 || *leading > 10))
        std::abort();
    if (LoadTestReplies::tripWithin(reply, 10, 3))
        std::abort();

    const std::optional<double> whole = NumberText::strict(reply);
    const LoadTestReplies::Verdict drawn = LoadTestReplies::discharge(reply, 2);
    if (drawn.shown != reply || drawn.readable != whole.has_value() || (drawn.pass && !(*whole < 2)))
        std::abort();

    for (const std::optional<double> loadOff : {std::optional<double>(10), std::optional<double>()}) {
        const LoadTestReplies::Verdict end = LoadTestReplies::profile(reply, loadOff);
        if (end.pass && !(whole && loadOff && *whole > *loadOff))
            std::abort();
        if (end.shown != reply && (!end.readable || !NumberText::strict(end.shown) || !reply.contains(end.shown)))
            std::abort();
    }
    return 0;
}
