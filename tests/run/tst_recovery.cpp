#include "RunBench.h"
#include "run/RecoveringLink.h"

#include <QSignalSpy>
#include <QTest>

using Cells = QMap<int, QString>;

namespace {

struct Step
{
    QString function;
    Cells cells;
};

const Cells OcpCells{{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}};
const QStringList OcpSetUp{
    "TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6", "IH 10", "IL 3", "NGENABLE ON", "START"};

Step plain(const QString &function, const QString &mode, const QString &level, const QString &seconds)
{
    return {function, {{2, mode}, {3, level}, {4, "0"}, {30, "0"}, {5, seconds}, {31, "0"}, {6, "0"}}};
}

Step rest(const QString &seconds) { return {QStringLiteral("Rest"), {{5, seconds}}}; }

using Program = QList<Step>;

// How the connection goes when its moment comes.
enum class Drop {
    // The load answers the line, then closes the connection.
    AfterReply,
    // The line arrives, then the connection closes.
    AfterLine,
    // The line goes into a connection that is already dead (a frozen network): it never arrives.
    UnderLine,
};

} // namespace

Q_DECLARE_METATYPE(Program)
Q_DECLARE_METATYPE(Drop)

// A load whose connection goes at a chosen moment and comes back after a while: the run asks who
// answers, gives the load what it was owed, and only then samples again.
class TestRecovery : public QObject
{
    Q_OBJECT

private:
    // Drops the connection at the `occurrence`-th `line`; a connect works again `downMs` later
    // (never, with -1). Returns the tick at which it went.
    static void arm(RunBench &bench, const QString &line, int occurrence, Drop how, int downMs, qint64 *droppedAt)
    {
        auto count = std::make_shared<int>(0);
        auto drop = [&bench, downMs, droppedAt] {
            bench.load.dropConnection();
            *droppedAt = bench.clock.tickMs();
            const qint64 back = bench.clock.tickMs() + downMs;
            bench.load.setConnectWorks([&bench, back, downMs] { return downMs >= 0 && bench.clock.tickMs() >= back; });
        };
        auto watch = [=](const QString &seen) {
            if (seen == line && ++*count == occurrence)
                drop();
        };
        switch (how) {
        case Drop::AfterReply:
            bench.load.onReply(watch);
            break;
        case Drop::AfterLine:
            bench.load.onSend(watch);
            break;
        case Drop::UnderLine:
            bench.load.beforeSend(watch);
            break;
        }
    }

    // The load's tests end a few passes in.
    static void scriptTests(RunBench &bench)
    {
        bench.load.queueReplies(QStringLiteral("TESTING?"), {"1", "1", "1", "1"});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("OCP?"), QStringLiteral("5"));
    }

    static void addProgram(RunBench &bench, const Program &program)
    {
        for (const Step &step : program)
            bench.addStep(step.function, step.cells);
    }

private Q_SLOTS:
    void deliversWhatTheLoadWasOwed_data()
    {
        QTest::addColumn<Program>("program");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<Drop>("how");
        QTest::addColumn<int>("downMs");
        // What the load hears from the new connection's first line to the run's next question.
        QTest::addColumn<QStringList>("heard");

        const Program cc{plain("Discharge", "CC", "2", "10")};
        const QStringList ccSetUp{"MODE CC", "CC:HIGH 2", "CC:LOW 2", "CC:HIGH 2", "LOAD ON"};
        QTest::newRow("a plain step: closed after a sample")
            << cc << "MEAS:VC?" << 2 << Drop::AfterReply << 2000
            << (QStringList{"name?"} + ccSetUp + QStringList{"MEAS:VC?"});
        QTest::newRow("a plain step: a sample into a dead connection")
            << cc << "MEAS:VC?" << 3 << Drop::UnderLine << 2000
            << (QStringList{"name?"} + ccSetUp + QStringList{"MEAS:VC?"});

        const Program ccThenRest{plain("Discharge", "CC", "2", "2"), rest("3")};
        const QStringList offTwice{"name?", "LOAD OFF", "LOAD OFF", "MEAS:VC?"};
        QTest::newRow("the step's end and a Rest: closed after the last sample")
            << ccThenRest << "MEAS:VC?" << 3 << Drop::AfterReply << 7000 << offTwice;
        QTest::newRow("the step's end and a Rest: its off line into a dead connection")
            << ccThenRest << "LOAD OFF" << 1 << Drop::UnderLine << 7000 << offTwice;

        const Program ccThenCr{plain("Discharge", "CC", "2", "2"), plain("Normal", "CR", "5", "2")};
        const QStringList offThenCr{"name?", "LOAD OFF", "MODE CR", "CR:LOW 5", "CR:HIGH 5", "LOAD ON", "MEAS:VC?"};
        QTest::newRow("the step's end and a CR step: closed after the last sample")
            << ccThenCr << "MEAS:VC?" << 3 << Drop::AfterReply << 7000 << offThenCr;
        QTest::newRow("the step's end and a CR step: its off line into a dead connection")
            << ccThenCr << "LOAD OFF" << 1 << Drop::UnderLine << 7000 << offThenCr;
        QTest::newRow("a CR step: closed in the middle of its set-up")
            << ccThenCr << "CR:LOW 5" << 1 << Drop::AfterLine << 3000 << offThenCr;

        const Program ocp{{QStringLiteral("OCP"), OcpCells}};
        QTest::newRow("the load's own test: its question into a dead connection")
            << ocp << "TESTING?" << 1 << Drop::UnderLine << 2000 << QStringList{"name?", "TESTING?"};
        QTest::newRow("the load's own test: closed after a sample")
            << ocp << "MEAS:VC?" << 2 << Drop::AfterReply << 2000 << QStringList{"name?", "TESTING?"};
        QTest::newRow("the load's own test: its start into a dead connection")
            << ocp << "START" << 1 << Drop::UnderLine << 2000
            << (QStringList{"name?"} + OcpSetUp + QStringList{"MEAS:VC?"});

        const Program sequence{{QStringLiteral("Sequence Load"),
            {{2, "CC"}, {4, "0"}, {5, "1"}, {6, "0"}, {7, "1"}, {20, "0"}, {23, ";1;2"}, {24, ";1500;1500"}, {25, "2"},
                {30, "0"}, {31, "0"}}}};
        QTest::newRow("Sequence Load: closed after a sample")
            << sequence << "MEAS:VC?" << 1 << Drop::AfterReply << 2000 << QStringList{"name?", "TESTING?"};
    }
    void deliversWhatTheLoadWasOwed()
    {
        QFETCH(Program, program);
        QFETCH(QString, line);
        QFETCH(int, occurrence);
        QFETCH(Drop, how);
        QFETCH(int, downMs);
        QFETCH(QStringList, heard);
        RunBench bench;
        addProgram(bench, program);
        scriptTests(bench);
        QSignalSpy gaps(&bench.run.events(), &RunEvents::replyGap);
        qint64 droppedAt = -1;
        arm(bench, line, occurrence, how, downMs, &droppedAt);
        QVERIFY(bench.start());
        const qsizetype heardBefore = bench.load.sent().size();
        bench.runToEnd();

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Pass});
        QVERIFY(droppedAt >= 0);
        const QStringList after = bench.load.sent().mid(heardBefore);
        const qsizetype asked = after.indexOf(QStringLiteral("name?"));
        QVERIFY2(asked >= 0, qPrintable(after.join(u'|')));
        QCOMPARE(after.mid(asked, heard.size()), heard);
        QCOMPARE(after.count(QStringLiteral("name?")), 1);
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
        // No row stands for the time without the load.
        // No row stands for the time without the load: the run has the rows it has without a drop.
        RunBench undisturbed;
        addProgram(undisturbed, program);
        scriptTests(undisturbed);
        QVERIFY(undisturbed.start());
        undisturbed.runToEnd();
        QCOMPARE(bench.csvLines().size(), undisturbed.csvLines().size());
        QVERIFY(gaps.size() <= 1);
    }

    // A test the load runs by itself is started again over a new connection only while no answer
    // showed that its start arrived, and the run says so each time, with the step and the moment.
    void aTestStartedAgainIsSaid_data()
    {
        QTest::addColumn<Program>("program");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<Drop>("how");
        QTest::addColumn<int>("restarts");
        const Program ocp{{QStringLiteral("OCP"), OcpCells}};
        QTest::newRow("closed right after its start") << ocp << "START" << 1 << Drop::AfterLine << 1;
        QTest::newRow("its start into a dead connection") << ocp << "START" << 1 << Drop::UnderLine << 1;
        QTest::newRow("closed in the middle of its set-up") << ocp << "VTH 0.6" << 1 << Drop::AfterLine << 0;
        QTest::newRow("closed after a sample") << ocp << "MEAS:VC?" << 1 << Drop::AfterReply << 0;
        QTest::newRow("a plain step set up again")
            << Program{plain("Discharge", "CC", "2", "10")} << "LOAD ON" << 1 << Drop::AfterLine << 0;
    }
    void aTestStartedAgainIsSaid()
    {
        QFETCH(Program, program);
        QFETCH(QString, line);
        QFETCH(int, occurrence);
        QFETCH(Drop, how);
        QFETCH(int, restarts);
        RunBench bench;
        addProgram(bench, program);
        scriptTests(bench);
        QSignalSpy restarted(&bench.run.events(), &RunEvents::loadTestRestarted);
        qint64 droppedAt = -1;
        arm(bench, line, occurrence, how, 2000, &droppedAt);
        qint64 runStart = -1;
        QObject::connect(&bench.run.events(), &RunEvents::runStarted, [&] { runStart = bench.clock.tickMs(); });
        qint64 startedAt = -1;
        QString lastLine;
        QObject::connect(&bench.run.events(), &RunEvents::loadTestRestarted, [&] {
            startedAt = bench.clock.tickMs();
            lastLine = bench.load.sent().last();
        });
        QVERIFY(bench.start());
        bench.runToEnd();

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Pass});
        QVERIFY(droppedAt >= 0);
        QCOMPARE(restarted.size(), restarts);
        QCOMPARE(bench.load.sent().count(QStringLiteral("START")) + bench.load.lost().count(QStringLiteral("START")),
            program.first().function == u"OCP" ? 1 + restarts : 0);
        if (restarts == 0)
            return;
        // Said once the start has gone out again.
        QCOMPARE(lastLine, QStringLiteral("START"));
        QCOMPARE(restarted.first().at(0).toInt(), 1);
        QCOMPARE(restarted.first().at(1).toString(), QStringLiteral("OCP"));
        QCOMPARE(restarted.first().at(2).toDouble(), double(startedAt - runStart) / 1000.0);
    }

    // A load that does not come back is lost 10 s after the first line that went unanswered,
    // however the time is spent: new connections, questions, pauses and owed lines alike.
    void lostTenSecondsAfterTheFirstUnansweredLine_data()
    {
        QTest::addColumn<Program>("program");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<Drop>("how");
        QTest::addColumn<int>("mode");
        const Program ccThenRest{plain("Discharge", "CC", "2", "2"), rest("3")};
        for (int mode : {0, 2}) {
            const char *link = mode == 0 ? "serial" : "LAN";
            QTest::addRow("%s: closed after a sample", link)
                << ccThenRest << "MEAS:VC?" << 2 << Drop::AfterReply << mode;
            QTest::addRow("%s: closed before the step's off line", link)
                << ccThenRest << "MEAS:VC?" << 3 << Drop::AfterReply << mode;
            QTest::addRow("%s: a sample into a dead connection", link)
                << ccThenRest << "MEAS:VC?" << 2 << Drop::UnderLine << mode;
        }
    }
    void lostTenSecondsAfterTheFirstUnansweredLine()
    {
        QFETCH(Program, program);
        QFETCH(QString, line);
        QFETCH(int, occurrence);
        QFETCH(Drop, how);
        QFETCH(int, mode);
        RunBench bench;
        bench.load.setConnectMode(mode);
        addProgram(bench, program);
        qint64 droppedAt = -1;
        arm(bench, line, occurrence, how, -1, &droppedAt);
        qint64 endedAt = -1;
        QObject::connect(&bench.run.events(), &RunEvents::runEnded, [&] { endedAt = bench.clock.tickMs(); });
        QVERIFY(bench.start());
        bench.runToEnd();

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Lost});
        // The connection goes as a pass ends or inside one; its first line unanswered is in the
        // next pass at the latest.
        const qint64 firstUnanswered
            = how == Drop::AfterReply && occurrence == 2 ? droppedAt + bench.clock.lastSleepMs() : droppedAt;
        QVERIFY2(endedAt - firstUnanswered >= RecoveringLink::SilenceLimitMs
                && endedAt - firstUnanswered <= RecoveringLink::SilenceLimitMs + 100,
            qPrintable(QString::number(endedAt - firstUnanswered)));
        QCOMPARE(bench.load.lost().mid(bench.load.lost().size() - 2), (QStringList{"LOAD OFF", "MEAS:VC?"}));
        QVERIFY(bench.messages.last().contains(QStringLiteral("stopped answering")));
    }

    // Another instrument where the load was is sent nothing past the question that found it out.
    void anotherInstrumentIsSentNothing()
    {
        RunBench bench;
        addProgram(bench, {plain("Discharge", "CC", "2", "10")});
        bench.load.onReply([&](const QString &query) {
            if (query == u"MEAS:VC?" && bench.load.sent().count(QStringLiteral("MEAS:VC?")) == 2) {
                bench.load.dropConnection();
                bench.load.setReply(QStringLiteral("name?"), QStringLiteral("6310A"));
            }
        });
        QVERIFY(bench.start());
        const qsizetype heardBefore = bench.load.sent().size();
        bench.runToEnd();

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Error});
        const QStringList after = bench.load.sent().mid(heardBefore);
        const qsizetype asked = after.indexOf(QStringLiteral("name?"));
        QCOMPARE(after.mid(asked), (QStringList{"name?", "name?"}));
        QVERIFY(bench.load.lost().isEmpty());
        const QString message = bench.messages.last();
        QVERIFY2(message.contains(QStringLiteral("\"6310A\"")) && message.contains(QStringLiteral("\"6312C\""))
                && message.contains(QStringLiteral("fake:1")),
            qPrintable(message));
    }

    // A Stop soon after the connection went, before any sample: the off line goes over a new one.
    void stopAfterADropSwitchesOff()
    {
        RunBench bench;
        Step step = plain("Discharge", "CC", "2", "10");
        step.cells.insert(31, QStringLiteral("5000"));
        addProgram(bench, {step});
        bench.load.onSend([&](const QString &line) {
            if (line == u"LOAD ON" && bench.load.sent().count(line) == 1)
                bench.load.dropConnection();
        });
        bench.clock.onPause([&](int ms) {
            if (ms >= 5000)
                bench.run.stop();
        });
        QVERIFY(bench.start());
        bench.pass();

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Stopped});
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
        QVERIFY(bench.load.lost().isEmpty());
    }

    // Replies that come but cannot be read, to the same question for 10 s in a row, are silence.
    void unusableRepliesCountAsSilence_data()
    {
        QTest::addColumn<Program>("program");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("mode");
        const Program cc{plain("Discharge", "CC", "2", "100")};
        QTest::newRow("samples over LAN") << cc << "MEAS:VC?" << 2;
        QTest::newRow("samples over serial") << cc << "MEAS:VC?" << 0;
        QTest::newRow("the load's own test") << Program{{QStringLiteral("OCP"), OcpCells}} << "TESTING?" << 2;
    }
    void unusableRepliesCountAsSilence()
    {
        QFETCH(Program, program);
        QFETCH(QString, query);
        QFETCH(int, mode);
        RunBench bench;
        bench.load.setConnectMode(mode);
        addProgram(bench, program);
        QVERIFY(bench.start());
        bench.pass();
        bench.pass();
        bench.load.setReply(query, QStringLiteral("#~%GARBLED%~#"));
        const qint64 garbledFrom = bench.clock.tickMs() + bench.clock.lastSleepMs();
        qint64 endedAt = -1;
        QObject::connect(&bench.run.events(), &RunEvents::runEnded, [&] { endedAt = bench.clock.tickMs(); });
        bench.runToEnd(3000);

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Lost});
        QVERIFY2(endedAt - garbledFrom >= RecoveringLink::SilenceLimitMs
                && endedAt - garbledFrom <= RecoveringLink::SilenceLimitMs + 1100,
            qPrintable(QString::number(endedAt - garbledFrom)));
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
    }

    // A usable reply between unusable ones starts the count again.
    void aUsableReplyStartsTheCountAgain()
    {
        RunBench bench;
        addProgram(bench, {plain("Discharge", "CC", "2", "30")});
        QVERIFY(bench.start());
        QStringList replies;
        for (int pass = 0; pass < 25; ++pass)
            replies += pass == 8 ? QStringList{"12.5,2"} : QStringList{"x", "x", "x"};
        bench.load.queueReplies(QStringLiteral("MEAS:VC?"), replies);
        for (int pass = 0; pass < 19; ++pass)
            bench.pass();
        QVERIFY(bench.run.isRunning());
    }

    // A load that never answered who it is: nothing more is sent, and the run ends at once.
    void aLoadThatNeverAnsweredEndsTheRunAtOnce()
    {
        RunBench bench;
        bench.nameLabel = ErrRec;
        addProgram(bench, {plain("Discharge", "CC", "2", "10")});
        QVERIFY(bench.run.start({}));
        bench.settle();

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Error});
        QCOMPARE(bench.load.sent(), QStringList{"name?"});
        QCOMPARE(bench.messages, QStringList{"No load answers at fake:1"});
        QCOMPARE(bench.csvLines().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
