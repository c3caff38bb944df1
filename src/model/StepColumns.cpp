#include "model/StepColumns.h"

namespace StepColumns {

const QStringList &headers()
{
    static const QStringList list{
        QStringLiteral("StepNo."),
        QStringLiteral("Function"),
        QStringLiteral("Mode"),
        QStringLiteral("SinkValue"),
        QStringLiteral("VStop"),
        QStringLiteral("TStop"),
        QStringLiteral("AhStop"),
        QStringLiteral("Times"),
        QStringLiteral("Start"),
        QStringLiteral("Step"),
        QStringLiteral("Stop"),
        QStringLiteral("Vth"),
        QStringLiteral("Limit High"),
        QStringLiteral("Limit Low"),
        QStringLiteral("High"),
        QStringLiteral("Low"),
        QStringLiteral("T-High"),
        QStringLiteral("T-Low"),
        QStringLiteral("Rise"),
        QStringLiteral("Fall"),
        QStringLiteral("Load Off V"),
        QStringLiteral("CV Add"),
        QStringLiteral("Cycle Count"),
        QStringLiteral("Ramp CC"),
        QStringLiteral("Ramp Time"),
        QStringLiteral("Total Step"),
        QStringLiteral("I_DC"),
        QStringLiteral("I_AC"),
        QStringLiteral("Frequence"),
        QStringLiteral("Duty"),
        QStringLiteral("IStop"),
        QStringLiteral("StableTime"),
    };
    return list;
}

} // namespace StepColumns
