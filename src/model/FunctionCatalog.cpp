#include "model/FunctionCatalog.h"

namespace FunctionCatalog {

const QStringList &names()
{
    static const QStringList list{
        QStringLiteral("Discharge"),
        QStringLiteral("Rest"),
        QStringLiteral("FOR"),
        QStringLiteral("LOOP"),
        QStringLiteral("Short"),
        QStringLiteral("OCP"),
        QStringLiteral("OPP"),
        QStringLiteral("Dynamic"),
        QStringLiteral("Normal"),
        QStringLiteral("Battery RAMP"),
        QStringLiteral("Battery CC+CV"),
        QStringLiteral("Battery CP+CV"),
        QStringLiteral("Battery Discharge CC"),
        QStringLiteral("Battery Discharge CP"),
        QStringLiteral("Battery Cycle Life"),
        QStringLiteral("CV with Current Limit"),
        QStringLiteral("CV with Power Limit"),
        QStringLiteral("Dynamic Off"),
        QStringLiteral("Sequence Load"),
        QStringLiteral("Sine Wave Dynamic"),
        QStringLiteral("CC Dynamic Sweep"),
    };
    return list;
}

QString name(int index) { return index >= 0 && index < Count ? names().at(index) : QString(); }

int indexOf(const QString &name) { return int(names().indexOf(name)); }

} // namespace FunctionCatalog
