#include "IdentifyMode.h"

#include "Console.h"
#include "RunnerOptions.h"
#include "link/SystemClock.h"
#include "link/TransportLink.h"
#include "station/Engine.h"

#include <QCoro/QCoroTask>

int runIdentify(const RunnerOptions &options)
{
    Engine engine(SystemClock::instance(), options.settingsPath);
    engine.loadSettings();
    for (const QString &problem : engine.settingsProblems() + engine.ratingTableProblems())
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + problem);
    for (TransportLink *link : {&engine.loadLink(), &engine.generatorLink()})
        QObject::connect(link, &TransportLink::message,
            [](const QString &text) { Console::printLine(stderr, QStringLiteral("vornic-run: ") + text); });
    QCoro::waitFor(engine.identification().identify());
    // A script reads standard output as the model: a load that did not answer leaves it empty.
    if (!engine.identification().loadAnswered()) {
        Console::printLine(stderr,
            QStringLiteral("vornic-run: the load did not answer \"name?\" at %1").arg(engine.loadLink().address()));
        return 2;
    }
    for (const QString &line : engine.identification().summaryLines())
        Console::printLine(stdout, line);
    return 0;
}
