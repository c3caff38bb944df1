// Any bytes as the load's reply to "name?" and the generator's to "*idn?": reading them never
// crashes, a rated current is a number, and the generator's model is one field of its reply.

#include "device/ModelCapabilities.h"
#include "device/ModelReply.h"
#include "model/NumberText.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString reply = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const RatingTable &table = RatingTable::builtIn();
    const ModelReply::Rating rating = ModelReply::rating(reply, table);
    const bool dashed = reply.contains(table.dashPrefix());
    if (rating.readable != (!dashed || reply.count(u'-') >= 3))
        std::abort();
    if (rating.current) {
        const std::optional<double> amperes = NumberText::strict(*rating.current);
        if (!amperes || !std::isfinite(*amperes) || (!dashed && *amperes <= 0))
            std::abort();
    } else if (rating.readable && !dashed && table.ratingFor(reply)) {
        std::abort();
    }
    if (rating.voltage && !(*rating.voltage > 0 && std::isfinite(*rating.voltage)))
        std::abort();

    const std::optional<QString> model = ModelReply::generatorModel(reply);
    if (model.has_value() != reply.contains(u',')
        || (model && (model->contains(u',') || !reply.contains(u',' + *model))))
        std::abort();
    ModelCapabilities::of(model ? reply + QStringLiteral(" + ") + *model : reply, model.has_value()).offeredFunctions();
    return 0;
}
