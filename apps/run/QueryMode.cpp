#include "QueryMode.h"

#include "Console.h"
#include "RunnerOptions.h"
#include "link/InstrumentLink.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"
#include "settings/MeasureOptions.h"
#include "settings/Settings.h"

#include <QCoro/QCoroTask>

int runQuery(const RunnerOptions &options)
{
    Settings settings;
    MeasureOptions measureOptions;
    QStringList problems;
    LoadSettings(
        settings, measureOptions, options.settingsPath.isEmpty() ? defaultIniPath() : options.settingsPath, &problems);
    for (const QString &problem : problems)
        Console::printLine(stderr, QStringLiteral("vornic-run: ") + problem);

    TraceList trace;
    if (options.trace)
        QObject::connect(&trace, &TraceList::rowsInserted,
            [&trace](const QModelIndex &, int, int last) { Console::printLine(stderr, trace.lines().at(last)); });
    TransportLink load(
        LinkRole::Load, [&settings] { return settings.loadLink; }, SystemClock::instance(), trace);
    QObject::connect(&load, &TransportLink::message,
        [](const QString &text) { Console::printLine(stderr, QStringLiteral("vornic-run: ") + text); });

    QCoro::waitFor(load.LinkConnect());
    const QString reply = QCoro::waitFor(load.ask(options.queryText));
    if (reply.isEmpty() || reply == ErrRec) {
        Console::printLine(stdout, ErrRec);
        return 2;
    }
    Console::printLine(stdout, reply);
    return 0;
}
