#include "IdentifyMode.h"

#include "RunnerOptions.h"
#include "device/Identification.h"
#include "device/RatingTable.h"
#include "link/InstrumentLink.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"
#include "settings/MeasureOptions.h"
#include "settings/Settings.h"

#include <QFileInfo>
#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

int runIdentify(const RunnerOptions &options)
{
    const QString iniPath = options.settingsPath.isEmpty() ? defaultIniPath() : options.settingsPath;
    Settings settings;
    MeasureOptions measureOptions;
    LoadSettings(settings, measureOptions, iniPath);

    TraceList trace;
    if (options.trace)
        QObject::connect(&trace, &TraceList::rowsInserted,
            [&trace](const QModelIndex &, int, int last) { printLine(stderr, trace.lines().at(last)); });
    const auto report = [](const QString &text) { printLine(stderr, QStringLiteral("vornic-run: ") + text); };
    TransportLink load(
        LinkRole::Load, [&settings] { return settings.loadLink; }, SystemClock::instance(), trace);
    TransportLink generator(
        LinkRole::Generator, [&settings] { return settings.generatorLink; }, SystemClock::instance(), trace);
    QObject::connect(&load, &TransportLink::message, report);
    QObject::connect(&generator, &TransportLink::message, report);

    // A lab's own rating table sits beside the settings file.
    QStringList problems;
    Identification identification(load, RatingTable::load(QFileInfo(iniPath).absolutePath(), &problems));
    for (const QString &problem : problems)
        report(problem);
    identification.setGeneratorLink(&generator);
    identification.setAFGEnable([&settings] { return int(settings.AFGEnable); });
    identification.Timer2_Timer();

    for (const QString &line : identification.summaryLines())
        printLine(stdout, line);
    const QString &model = identification.ModelName();
    return model.isEmpty() || model == ErrRec ? 2 : 0;
}
