#pragma once

#include "FakeClock.h"
#include "FakeLink.h"
#include "link/TraceList.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "run/RunController.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

// A run controller on a fake load, a fake generator and a fake clock, with its timers ticked by
// hand: each pass() is one tick of the sequencer.
struct RunBench
{
    TestProgram program;
    FakeLink load;
    FakeLink generator;
    FakeClock clock;
    TraceList trace;
    ResultLog results;
    QTemporaryDir dir;
    QString nameLabel = QStringLiteral("6312C");
    QString measTime = QStringLiteral("1000");
    QString separator = QStringLiteral(",");
    RunController run{{program, load, &generator, clock, trace, results}};
    QStringList messages;
    int finished = 0;
    QList<RunController::RunEnd> ends;

    RunBench()
    {
        run.setManualTicks(true);
        run.setLogFilePath(logPath());
        run.setNameLabelAccess([this] { return nameLabel; }, [this](const QString &text) { nameLabel = text; });
        run.setMeasTimeText([this] { return measTime; });
        run.setSeparatorText([this] { return separator; });
        run.setRatedCurrent([] { return QStringLiteral("60"); });
        QObject::connect(&run, &RunController::message, [this](const QString &text) { messages.append(text); });
        QObject::connect(&run, &RunController::testFinished, [this] { ++finished; });
        QObject::connect(&run, &RunController::runEnded, [this](RunController::RunEnd end) { ends.append(end); });
        load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,2"));
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

    bool start(RunOptions options = {})
    {
        if (!run.RunCommand_Click(options))
            return false;
        run.Timer2_Timer();
        return true;
    }
    void pass() { run.Timer1_Timer(); }
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

    QList<QByteArray> csvLines() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = file.readAll().split('\n');
        lines.removeLast();
        return lines;
    }
    // The lines sent that are not samples.
    QStringList commands() const
    {
        QStringList lines = load.sent();
        lines.removeAll(QStringLiteral("MEAS:VC?"));
        return lines;
    }
};
