#include "IdentifyMode.h"

#include "Console.h"
#include "RunnerOptions.h"
#include "link/InstrumentLink.h"
#include "link/SystemClock.h"
#include "station/Engine.h"

#include <QCoro/QCoroTask>

int runIdentify(const RunnerOptions &options)
{
    Engine engine(SystemClock::instance(), options.settingsPath);
    engine.loadSettings();
    for (TransportLink *link : {&engine.loadLink(), &engine.generatorLink()})
        QObject::connect(link, &TransportLink::message,
            [](const QString &text) { Console::printLine(stderr, QStringLiteral("vornic-run: ") + text); });
    QCoro::waitFor(engine.identification().identify());
    for (const QString &line : engine.identification().summaryLines())
        Console::printLine(stdout, line);
    const QString &model = engine.identification().ModelName();
    if (model.isEmpty() || model == ErrRec) {
        Console::printLine(stderr, QStringLiteral("vornic-run: the load did not answer \"name?\""));
        return 2;
    }
    return 0;
}
