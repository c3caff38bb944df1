#include "IdentifyMode.h"

#include "Console.h"
#include "RunnerOptions.h"
#include "link/InstrumentLink.h"
#include "link/SystemClock.h"
#include "run/Engine.h"

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
    return engine.identification().ModelName() == ErrRec ? 2 : 0;
}
