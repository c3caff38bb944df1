#pragma once

#include "FakeClock.h"
#include "FakeLink.h"
#include "device/Identification.h"
#include "link/TraceList.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "results/RunLogWriter.h"
#include "run/RunController.h"
#include "run/RunRecorder.h"
#include "settings/MeasureOptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

// A run controller and its recorder on a fake load, a fake generator and a fake clock: what every
// listener of a run needs beside it.
struct RunParts
{
    TestProgram program;
    FakeLink load;
    FakeLink generator;
    FakeClock clock;
    TraceList trace;
    ResultLog results;
    MeasureOptions options;
    Identification identification{load};
    QTemporaryDir dir;
    RunController run{{program, load, &generator, clock, trace, identification, options}};
    RunRecorder recorder{run.events(), clock, [this] { return identification.runModel(); }};
};

// The run's parts and its log, on a clock whose sampling intervals wait for the test: each pass()
// is one pass of the sequencer.
struct RunBench : RunParts
{
    // The model the load names when the run identifies it.
    QString nameLabel = QStringLiteral("6312C");
    RunLogWriter log{recorder, results, [this] { return options.separateText(); }};
    QStringList messages;
    int finished = 0;
    QList<RunResult> ends;

    RunBench()
    {
        clock.setHoldSleeps(true);
        options.setMeasTimeText(QStringLiteral("1000"));
        log.setPath(logPath());
        log.bindTo(run);
        QObject::connect(&run, &RunController::message, [this](const QString &text) { messages.append(text); });
        QObject::connect(&run, &RunController::testFinished, [this] { ++finished; });
        QObject::connect(&run.events(), &RunEvents::runEnded, [this](RunResult end) { ends.append(end); });
        load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,2"));
        load.setOffReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,0"));
        // A load whose own test is still under way.
        load.setReply(QStringLiteral("TESTING?"), QStringLiteral("1"));
    }
    ~RunBench()
    {
        if (run.isRunning()) {
            run.stop();
            settle();
        }
    }

    QString logPath() const { return dir.filePath(QStringLiteral("TestLog/TEMPLOG.CSV")); }

    // A step row: the function and its cells by column.
    void addStep(const QString &function, const QMap<int, QString> &cells = {})
    {
        const int row = program.StepCount() + 1;
        program.setGridRowCount(row + 2);
        program.setCell(row, 0, QString::number(row));
        program.setCell(row, 1, function);
        for (auto it = cells.begin(); it != cells.end(); ++it)
            program.setCell(row, it.key(), it.value());
    }
    // A Discharge step at a level, with a step time and no other stop.
    void addDischarge(const QString &level, const QString &seconds = QStringLiteral("10"))
    {
        addStep(QStringLiteral("Discharge"),
            {{2, "CC"}, {3, level}, {4, "0"}, {30, "0"}, {5, seconds}, {31, "0"}, {6, "0"}});
    }

    // Run, up to the wait before the first pass (identification done; its lines are not kept).
    bool start(RunOptions options = {})
    {
        load.setReply(QStringLiteral("name?"), nameLabel);
        if (!run.start(options))
            return false;
        settle();
        load.takeSent();
        return true;
    }
    // Serves events until the run waits for its next pass or has ended.
    void settle()
    {
        while (run.isRunning() && clock.heldSleeps() == 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // One pass of the sequencer.
    void pass()
    {
        if (!run.isRunning())
            return;
        clock.releaseSleep();
        settle();
    }
    // Passes until the run ends (at most `limit`).
    int runToEnd(int limit = 1000)
    {
        int passes = 0;
        while (run.isRunning() && passes < limit) {
            pass();
            ++passes;
        }
        return passes;
    }

    const RunRecord &record() const { return recorder.record(); }
    // The function of the step that runs, or that ran last.
    QString function() const { return record().steps.isEmpty() ? QString() : record().steps.last().function; }

    QList<QByteArray> csvLines() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().split('\n');
        lines.removeLast();
        return lines;
    }
    // The samples asked for: once the run is over, the reading that proved its off lines is none.
    qsizetype samplesAsked() const
    {
        QStringList lines = load.sent();
        if (!run.isRunning())
            lines = lines.mid(0, lines.lastIndexOf(QStringLiteral("LOAD OFF")));
        return lines.count(QStringLiteral("MEAS:VC?"));
    }
    // The lines sent that are not samples.
    QStringList commands() const
    {
        QStringList lines = load.sent();
        lines.removeAll(QStringLiteral("MEAS:VC?"));
        return lines;
    }
};
