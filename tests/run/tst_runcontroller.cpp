#include "RunBench.h"
#include "TestFiles.h"
#include "TinyDisk.h"
#include "results/RunLogFile.h"
#include "run/RecoveringLink.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using Cells = QMap<int, QString>;

class TestRunController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Run with no step the run knows would end at once as a PASS that tested nothing: it does not
    // start, says why, and leaves the load and the last log alone.
    void programWithoutAKnownStepDoesNotStart_data()
    {
        QTest::addColumn<QStringList>("functions");
        QTest::newRow("no steps") << QStringList{};
        QTest::newRow("unknown functions") << QStringList{"", "Dischage", "discharge"};
    }
    void programWithoutAKnownStepDoesNotStart()
    {
        QFETCH(QStringList, functions);
        RunBench bench;
        for (const QString &function : functions)
            bench.addStep(function, {{5, "10"}});
        QVERIFY(QDir().mkpath(QFileInfo(bench.logPath()).path()));
        TestFiles::writeBytes(bench.logPath(), "the last run's log\r\n");
        QVERIFY(!bench.run.start({}));
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(
            bench.messages, QStringList{"The test cannot start: no step of the program names a known test function."});
        QVERIFY(bench.load.sent().isEmpty());
        QCOMPARE(bench.ends.size(), 0);
        QCOMPARE(TestFiles::readBytes(bench.logPath()), "the last run's log\r\n");
    }

    // The load check is asked once identification has named the load; its refusal ends the run
    // there, with nothing sent but the question: no step, no off line.
    void loadCheckRefusalSendsNothingMore_data()
    {
        QTest::addColumn<QString>("refusal");
        QTest::newRow("refused") << "Step 1, Load Value: 100 A is more than the load's rated 60 A.";
        QTest::newRow("accepted") << "";
    }
    void loadCheckRefusalSendsNothingMore()
    {
        QFETCH(QString, refusal);
        RunBench bench;
        bench.addDischarge(QStringLiteral("100"));
        QStringList askedOf;
        bench.run.setLoadCheck([&] {
            askedOf.append(bench.identification.ModelName());
            return refusal;
        });
        bench.load.setReply(QStringLiteral("name?"), bench.nameLabel);
        QVERIFY(bench.run.start({}));
        bench.settle();
        QCOMPARE(askedOf, QStringList{"6312C"});
        QCOMPARE(bench.load.sent(), QStringList{"name?"});
        QCOMPARE(bench.run.isRunning(), refusal.isEmpty());
        if (refusal.isEmpty()) {
            bench.pass();
            QVERIFY(bench.load.sent().contains(QStringLiteral("CC:HIGH 100")));
            return;
        }
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Error});
        QCOMPARE(bench.messages, QStringList{refusal});
        QCOMPARE(bench.finished, 0);
    }

    void startTable_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("generator");
        QTest::addColumn<QStringList>("lines");
        const Cells stops{{4, "0"}, {30, "0"}, {5, "10"}, {31, "0"}, {6, "0"}};
        auto with = [&](Cells cells) {
            for (auto it = stops.begin(); it != stops.end(); ++it)
                if (!cells.contains(it.key()))
                    cells.insert(it.key(), it.value());
            return cells;
        };
        QTest::newRow("Discharge") << "Discharge" << with({{2, "CR"}, {3, "8"}}) << "6312C" << false
                                   << QStringList{"MODE CR", "CR:HIGH 8", "CR:LOW 8", "CR:HIGH 8", "LOAD ON"};
        QTest::newRow("Rest") << "Rest" << Cells{{5, "3"}} << "6312C" << false << QStringList{"LOAD OFF"};
        QTest::newRow("OCP") << "OCP" << Cells{{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}}
                             << "6312C" << false
                             << QStringList{"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6",
                                    "IH 10", "IL 3", "NGENABLE ON", "START"};
        QTest::newRow("Short") << "Short" << Cells{{3, "0.123456"}, {5, "1"}, {31, "0"}} << "6312C" << false
                               << QStringList{"TCONFIG SHORT", "STIME 0.1235", "START"};
        QTest::newRow("Normal CV") << "Normal" << with({{2, "CV"}, {3, "12"}}) << "6312C" << false
                                   << QStringList{"MODE CV", "CV:LOW 12", "CV:HIGH 12", "LOAD ON"};
        QTest::newRow("Dynamic Off") << "Dynamic Off" << Cells{} << "6312C" << false << QStringList{"DYN OFF"};
        QTest::newRow("battery on a model without C or G")
            << "Battery Discharge CC" << with({{3, "1"}}) << "6312A" << false << QStringList{};
        QTest::newRow("Battery Discharge CC")
            << "Battery Discharge CC" << with({{3, "2"}, {4, "10.50"}}) << "6312C" << false
            << QStringList{"BATT:CURR 2", "BATT:UVP 10.5", "BATT:TIME 10", "BATT:AH 0", "BATT:TEST ON"};
        QTest::newRow("sine without a generator")
            << "Sine Wave Dynamic" << with({{26, "20"}, {27, "1"}, {28, "60"}}) << "6312C" << false << QStringList{};
        QTest::newRow("sine with a generator")
            << "Sine Wave Dynamic" << with({{26, "20"}, {27, "1"}, {28, "60"}}) << "6312C" << true
            << QStringList{"EXT:AIN ON", "CCR R2", "CC:HIGH 0.0010", "CC:LOW 0.0010", "CC:HIGH 0.0010", "LDONV 0.5",
                   "LDOFFV 0", "LOAD ON"};
        QTest::newRow("Battery CC+CV") << "Battery CC+CV" << with({{3, "20"}, {21, "50"}}) << "6312C" << false
                                       << QStringList{"MODE CC", "CC:HIGH 20", "LIM:ADDCV:VOLT 50", "LIM:ADDCV ON"};
        QTest::newRow("Battery CP+CV") << "Battery CP+CV" << with({{3, "20"}, {21, "50"}}) << "6312C" << false
                                       << QStringList{"MODE CP", "CP:HIGH 20", "LIM:ADDCV:VOLT 50", "LIM:ADDCV ON"};
        QTest::newRow("CV with Current Limit reads its stops leniently")
            << "CV with Current Limit" << Cells{{3, "5"}, {21, "11"}, {5, "2s"}, {31, "x"}} << "6312C" << false
            << QStringList{"MODE CC", "CC:HIGH 5", "LIM:ADDCV:VOLT 11", "LIM:ADDCV ON"};
        QTest::newRow("CV with Power Limit")
            << "CV with Power Limit" << with({{3, "50"}, {21, "11"}}) << "6312C" << false
            << QStringList{"MODE CP", "CP:HIGH 50", "LIM:ADDCV:VOLT 11", "LIM:ADDCV ON"};
        QTest::newRow("Dynamic CR puts LOW first")
            << "Dynamic" << with({{2, "CR"}, {14, "8"}, {15, "4"}, {16, "1"}, {17, "2"}, {18, "0.5"}, {19, "0.6"}})
            << "6312C" << false
            << QStringList{"MODE CR", "CR:LOW 4", "CR:HIGH 8", "PERD:HIGH 1", "PERD:LOW 2", "RISE 0.5", "FALL 0.6",
                   "LOAD ON", "DYN ON"};
        QTest::newRow("Battery Cycle Life")
            << "Battery Cycle Life"
            << Cells{{14, ";2"}, {15, ";1"}, {16, ";5"}, {17, ";6"}, {22, ";3"}, {20, "10"}, {7, "2"}} << "6312G"
            << false
            << QStringList{"BATT:CCH1 2", "BATT:CCL1 1", "BATT:TH1 5", "BATT:TL1 6", "BATT:CYCLE1 3", "LDOFFV 10",
                   "BATT:UVP 10", "BATT:REPEAT 2", "BATT:DYN ON"};
    }
    void startTable()
    {
        QFETCH(QString, function);
        QFETCH(Cells, cells);
        QFETCH(QString, model);
        QFETCH(bool, generator);
        QFETCH(QStringList, lines);
        RunBench bench;
        bench.nameLabel = model;
        bench.addStep(function, cells);
        RunOptions options;
        options.afgEnabled = generator;
        QVERIFY(bench.start(options));
        bench.pass();
        QCOMPARE(bench.commands().mid(0, lines.size()), lines);
        if (generator)
            QVERIFY(!bench.generator.sent().isEmpty());
        QCOMPARE(bench.samplesAsked(), 1);
        QVERIFY(bench.messages.isEmpty());
    }

    void forLoop_data()
    {
        QTest::addColumn<QString>("times");
        QTest::addColumn<int>("bodyRuns");
        QTest::newRow("3") << "3" << 3;
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("0") << "0" << 1;
    }
    void forLoop()
    {
        QFETCH(QString, times);
        QFETCH(int, bodyRuns);
        RunBench bench;
        bench.addStep(QStringLiteral("FOR"), {{7, times}});
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("1"));
        bench.addStep(QStringLiteral("LOOP"));
        bench.addDischarge(QStringLiteral("9"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.runToEnd();
        QCOMPARE(bench.finished, 1);
        QCOMPARE(bench.load.sent().count(QStringLiteral("MODE CC")), 2 * bodyRuns + 1);
        QCOMPARE(bench.load.sent().count(QStringLiteral("CC:LOW 2")), bodyRuns);
        // The body's last step is followed by LOOP, not by its own function: its expiry switches the
        // load off; the first step of the body is followed by another Discharge and does not.
        // After the body: the last step's expiry and Finish.
        QCOMPARE(bench.load.sent().count(QStringLiteral("LOAD OFF")), bodyRuns + 2);
    }

    void loopWithoutForGoesOn()
    {
        RunBench bench;
        bench.addStep(QStringLiteral("LOOP"));
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.runToEnd();
        QCOMPARE(bench.load.sent().count(QStringLiteral("MODE CC")), 1);
        QCOMPARE(bench.finished, 1);
    }

    void stepTimeCountsPasses()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("10"));
        bench.addStep(QStringLiteral("Rest"), {{5, "5"}});
        QVERIFY(bench.start());
        for (int pass = 1; pass <= 10; ++pass) {
            bench.pass();
            QCOMPARE(bench.function(), QStringLiteral("Discharge"));
        }
        QCOMPARE(bench.results.rowCount(), 10);
        bench.pass();
        QCOMPARE(bench.function(), QStringLiteral("Rest"));
        // The expiry switched the load off, and so does the Rest's own start.
        QCOMPARE(bench.commands().mid(5), (QStringList{"LOAD OFF", "LOAD OFF"}));
        QCOMPARE(bench.results.rowCount(), 11);
    }

    void sameFunctionNextKeepsTheLoadOn()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.runToEnd();
        const QStringList lines = bench.commands();
        QCOMPARE(lines.count(QStringLiteral("LOAD OFF")), 2); // the second step's expiry, then Finish
        QCOMPARE(lines.indexOf(QStringLiteral("LOAD OFF")), lines.lastIndexOf(QStringLiteral("LOAD ON")) + 1);
    }

    void allThreeStopsRestartTheStep()
    {
        RunBench bench;
        bench.addStep(
            QStringLiteral("Discharge"), {{2, "CC"}, {3, "1"}, {4, "1"}, {30, "0.5"}, {5, "2"}, {31, "0"}, {6, "100"}});
        bench.addStep(QStringLiteral("Rest"), {{5, "1"}});
        QVERIFY(bench.start());
        for (int pass = 0; pass < 5; ++pass)
            bench.pass();
        // Started in passes 1, 3 and 5, the totals from scratch each time.
        QCOMPARE(bench.load.sent().count(QStringLiteral("MODE CC")), 3);
        QCOMPARE(bench.function(), QStringLiteral("Discharge"));
        QCOMPARE(bench.record().last.ampHours, 0.00055556);
        // The run's total keeps what each start of the step drew: two passes, two, then one.
        QVERIFY(qFuzzyCompare(bench.record().totals.ampHours, 5 * 0.00055556));
    }

    void measuredStops_data()
    {
        QTest::addColumn<Cells>("stops");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("passesInStep");
        QTest::addColumn<int>("rows");
        QTest::newRow("voltage below VStop") << Cells{{4, "10"}} << "9.99,1" << 1 << 2;
        QTest::newRow("current below IStop") << Cells{{30, "2"}} << "12,1.5" << 1 << 2;
        QTest::newRow("VStop 0 never stops") << Cells{{4, "0"}} << "0,0" << 60 << 60;
        QTest::newRow("capacity reached") << Cells{{6, "0.01"}} << "12,3.6" << 10 << 11;
        QTest::newRow("two stops, one end") << Cells{{4, "10"}, {30, "2"}} << "9,1" << 1 << 2;
    }
    void measuredStops()
    {
        QFETCH(Cells, stops);
        QFETCH(QString, reply);
        QFETCH(int, passesInStep);
        QFETCH(int, rows);
        RunBench bench;
        Cells cells{{2, "CC"}, {3, "1"}, {4, "0"}, {30, "0"}, {5, "60"}, {31, "0"}, {6, "0"}};
        for (auto it = stops.begin(); it != stops.end(); ++it)
            cells.insert(it.key(), it.value());
        bench.addStep(QStringLiteral("Discharge"), cells);
        bench.addStep(QStringLiteral("Rest"), {{5, "10"}});
        bench.load.setReply(QStringLiteral("MEAS:VC?"), reply);
        QVERIFY(bench.start());
        int passes = 0;
        do {
            bench.pass();
            ++passes;
        } while (bench.record().steps.last().end == StepEnd::None && passes < 60);
        QCOMPARE(passes, passesInStep);
        // The next step starts at the regular interval, not at once.
        QCOMPARE(bench.clock.lastSleepMs(), 1000);
        QCOMPARE(bench.results.rowCount(), rows);
        bench.pass();
        QCOMPARE(bench.function(), QStringLiteral("Rest"));
    }

    void integration_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<double>("ahPerPass");
        QTest::addColumn<double>("whPerPass");
        QTest::newRow("3.6 A") << "10,3.6" << 0.001 << 0.01;
        QTest::newRow("1 A") << "1,1" << 0.00027778 << 0.00027778;
    }
    void integration()
    {
        QFETCH(QString, reply);
        QFETCH(double, ahPerPass);
        QFETCH(double, whPerPass);
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("100"));
        bench.load.setReply(QStringLiteral("MEAS:VC?"), reply);
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.record().last.ampHours, ahPerPass);
        QCOMPARE(bench.record().last.wattHours, whPerPass);
        bench.pass();
        QCOMPARE(bench.record().last.ampHours, 2 * ahPerPass);
    }

    // Three unreadable replies in a pass over LAN leave their marks and no row: no reading is
    // made up for them.
    void lanSampleRetries()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"));
        bench.load.queueReplies(QStringLiteral("MEAS:VC?"), {"x", "y", "z", "12.5,2"});
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.run.errorTrail().text(), QStringLiteral("Err1,Err2"));
        QCOMPARE(bench.load.sent().count(QStringLiteral("MEAS:VC?")), 3);
        QCOMPARE(bench.results.rowCount(), 0);
        QCOMPARE(bench.record().samples, 0);
        QCOMPARE(bench.trace.lines().filter(QStringLiteral("timer1(1)=>")).size(), 2);
        bench.pass();
        QCOMPARE(bench.results.rowCount(), 1);
        QCOMPARE(bench.results.rowAt(0).mid(0, 5), (QStringList{"1", bench.results.rowAt(0).at(1), "12.5", "2", "25"}));
    }

    void serialSampleRetriesOnce()
    {
        RunBench bench;
        bench.load.setConnectMode(0);
        bench.addDischarge(QStringLiteral("1"));
        bench.load.queueReplies(QStringLiteral("MEAS:VC?"), {"ErrRec", "11,1", "", "10.5,3", "nocomma"});
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.run.errorTrail().text(), QStringLiteral("Err3"));
        QCOMPARE(bench.results.rowAt(0).mid(2, 2), (QStringList{"11", "1"}));
        bench.pass(); // an empty reply counts as no reply
        QCOMPARE(bench.run.errorTrail().text(), QStringLiteral("Err3Err3"));
        QCOMPARE(bench.results.rowAt(1).mid(2, 2), (QStringList{"10.5", "3"}));
        bench.pass(); // a reply that is no reading makes no row
        QCOMPARE(bench.results.rowCount(), 2);
        QCOMPARE(bench.record().samples, 2);
    }

    // A reply that is no reading is as good as none, on every transport: the pass makes no sample
    // and no row, the totals do not grow, no stop is judged on it, and the step's time stands
    // still; the next reading goes on from the last.
    void unusableReplyMakesNoSample_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("reply");
        const QStringList replies{"abc,def", "nan,nan", "inf,-inf", "12,5;1,0", "=cmd|x,1", "1,2,3", "13,200"};
        for (const int mode : {0, 1, 2})
            for (const QString &reply : replies)
                QTest::addRow("%s, mode %d", qPrintable(reply), mode) << mode << reply;
    }
    void unusableReplyMakesNoSample()
    {
        QFETCH(int, mode);
        QFETCH(QString, reply);
        RunBench bench;
        bench.load.setConnectMode(mode);
        // A voltage stop that any reading of 0 V would meet.
        bench.addStep(
            QStringLiteral("Discharge"), {{2, "CC"}, {3, "1"}, {4, "10"}, {30, "0"}, {5, "60"}, {31, "0"}, {6, "0"}});
        bench.load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,3.6"));
        QVERIFY(bench.start());
        QSignalSpy samples(&bench.run.events(), &RunEvents::sample);
        bench.pass();
        const Fixed4 timeLeft = *bench.record().stepTimeLeft;
        // Over LAN a pass asks three times.
        bench.load.queueReplies(QStringLiteral("MEAS:VC?"), QList<QString>(mode == 2 ? 3 : 1, reply));
        bench.pass();

        QCOMPARE(samples.size(), 1);
        QCOMPARE(bench.results.rowCount(), 1);
        QCOMPARE(bench.record().last.ampHours, 0.001);
        QCOMPARE(*bench.record().stepTimeLeft, timeLeft);
        QCOMPARE(bench.record().steps.last().end, StepEnd::None);
        QVERIFY(bench.run.isRunning());
        bench.pass();
        QCOMPARE(samples.size(), 2);
        QCOMPARE(bench.results.rowCount(), 2);
        QCOMPARE(bench.results.rowAt(1).mid(2, 2), (QStringList{"12.5", "3.6"}));
        QCOMPARE(bench.record().last.ampHours, 0.002);
    }

    // A load that misses replies is reached again over a reopened link, and the run goes on with
    // no row for the gap; one silent for 10 s in a row is lost, and its off lines go out over a
    // fresh connection. Alike on every transport, for samples and for the load's own test.
    void silentLoad_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("missed"); // -1: never answers again
        QTest::newRow("LAN sample, 3 missed") << 2 << "MEAS:VC?" << 3;
        QTest::newRow("serial sample, 3 missed") << 0 << "MEAS:VC?" << 3;
        QTest::newRow("GPIB sample, 20 missed") << 1 << "MEAS:VC?" << 20;
        QTest::newRow("LAN TESTING?, 3 missed") << 2 << "TESTING?" << 3;
        QTest::newRow("LAN sample, silent") << 2 << "MEAS:VC?" << -1;
        QTest::newRow("serial sample, silent") << 0 << "MEAS:VC?" << -1;
        QTest::newRow("serial TESTING?, silent") << 0 << "TESTING?" << -1;
    }
    void silentLoad()
    {
        QFETCH(int, mode);
        QFETCH(QString, query);
        QFETCH(int, missed);
        RunBench bench;
        bench.load.setConnectMode(mode);
        if (query == u"TESTING?")
            bench.addStep(QStringLiteral("Short"), {{3, "100"}, {5, "100"}, {31, "0"}});
        else
            bench.addDischarge(QStringLiteral("1"));
        QSignalSpy gaps(&bench.run.events(), &RunEvents::replyGap);
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.results.rowCount(), 1);
        const int connects = bench.load.connects();
        const qint64 silentFrom = bench.clock.tickMs();
        bench.load.queueReplies(query, QStringList(missed < 0 ? 1000 : missed, QStringLiteral("ErrRec")));
        bench.pass();
        const qint64 silence = bench.clock.tickMs() - silentFrom - bench.clock.lastSleepMs();
        if (missed >= 0) {
            QVERIFY(bench.run.isRunning());
            QCOMPARE(bench.results.rowCount(), 2);
            QCOMPARE(bench.load.connects() - connects, missed);
            QCOMPARE(gaps.size(), 1);
            QVERIFY(gaps.first().at(2).toDouble() - gaps.first().at(1).toDouble() >= missed * 0.25);
            QCOMPARE(bench.trace.lines().filter(QStringLiteral("answers again")).size(), 1);
            QVERIFY(silence < RecoveringLink::SilenceLimitMs);
            QVERIFY(bench.messages.isEmpty());
            return;
        }
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Lost});
        QVERIFY(silence >= RecoveringLink::SilenceLimitMs);
        QVERIFY(silence < RecoveringLink::SilenceLimitMs + RecoveringLink::ReopenPauseMs + 20);
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
        // Each new connection asks who answers and is given what the load was owed; one more
        // carries the off lines.
        const qsizetype asked = bench.load.sent().count(QStringLiteral("name?"));
        QVERIFY(asked >= 20);
        QCOMPARE(bench.load.connects() - connects, asked + 1);
        QCOMPARE(bench.messages.size(), 1);
        QVERIFY(bench.messages.last().contains(QStringLiteral("stopped answering")));
        QCOMPARE(bench.csvLines().size(), 2);
    }

    void rowLimitAndLogFile()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("2000"));
        QVERIFY(bench.start());
        for (int pass = 0; pass < 1001; ++pass)
            bench.pass();
        QCOMPARE(bench.results.rowCount(), 1000);
        QCOMPARE(bench.results.rowAt(0).first(), QStringLiteral("2"));
        QCOMPARE(bench.results.rowAt(999).first(), QStringLiteral("1001"));
        const auto lines = bench.csvLines();
        QCOMPARE(lines.size(), 1002);
        QVERIFY(lines.at(1).startsWith("1,00:00:00,12.5,2,25,0.00055556,0.00694444,2026/12/07 12:00:01,Discharge,\r"));
        QVERIFY(lines.last().startsWith("1001,"));
    }

    // Only the digits of a reply that reads as numbers reach the log, without the blanks around
    // them; a reply holding anything else (a tab, a NUL, the separator, a CR, a formula, an escape)
    // makes no row at all. Every line the log has keeps its ten fields.
    void onlyTheLoadsDigitsReachTheLog_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QByteArray>("fields"); // empty: no row
        QTest::newRow("blanks around") << " 12.50 ,\t2 "
                                       << "<Tab>" << QByteArray("12.50\t2");
        QTest::newRow("exponent") << "1.25E+01,2e0"
                                  << "|" << QByteArray("1.25E+01|2e0");
        QTest::newRow("tab and NUL in a reply")
            << QStringLiteral("12\t5,2%1x").arg(QChar(0)) << "<Tab>" << QByteArray();
        QTest::newRow("separator in a reply") << "1|2,3|"
                                              << "|" << QByteArray();
        QTest::newRow("CR in a reply") << "12.5\r,2"
                                       << "," << QByteArray();
        QTest::newRow("formula") << "=cmd|' /C calc'!A0,1"
                                 << "," << QByteArray();
        QTest::newRow("escape") << "\x1b]0;x\x07 12,1"
                                << "," << QByteArray();
    }
    void onlyTheLoadsDigitsReachTheLog()
    {
        QFETCH(QString, reply);
        QFETCH(QString, separator);
        QFETCH(QByteArray, fields);
        RunBench bench;
        bench.options.setSeparateText(separator);
        bench.addDischarge(QStringLiteral("1"));
        bench.load.setReply(QStringLiteral("MEAS:VC?"), reply);
        QVERIFY(bench.start());
        bench.pass();
        if (fields.isEmpty()) {
            QCOMPARE(bench.csvLines().size(), 1);
            return;
        }
        const QByteArray sep = separator == u"<Tab>" ? QByteArray("\t") : separator.toLatin1();
        const QByteArray line = bench.csvLines().at(1).chopped(1);
        QCOMPARE(line.count(sep), 9);
        QVERIFY2(line.contains(sep + fields + sep), line.constData());
    }

    // The disk fills during a run: the run ends with the load off, and the log holds whole rows
    // only, as many as are reported.
    void fullDiskLeavesWholeRows()
    {
        TinyDisk disk(16);
        if (!disk.isMounted())
            QSKIP("a tmpfs cannot be mounted here");
        RunBench bench;
        const QString path = disk.filePath(QStringLiteral("TEMPLOG.CSV"));
        bench.log.setPath(path);
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1000"));
        QVERIFY(bench.start());
        disk.fill(1000);
        bench.runToEnd();
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Error});
        QVERIFY(bench.messages.last().contains(path));
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
        const QByteArray log = TestFiles::readBytes(path);
        QVERIFY(log.endsWith("\r\n"));
        QCOMPARE(log.count('\n'), 1 + bench.log.rowsLogged());
        QVERIFY(bench.log.rowsLogged() > 0);
        QVERIFY(bench.results.rowCount() > bench.log.rowsLogged());
    }

    // Rows released together go out in one write; a disk that takes only some of them keeps those,
    // each whole and in order.
    void rowsReleasedTogetherKeepWhatTheDiskTakes()
    {
        TinyDisk disk(16);
        if (!disk.isMounted())
            QSKIP("a tmpfs cannot be mounted here");
        RunLogFile log;
        QString error;
        QVERIFY2(log.open(disk.filePath(QStringLiteral("TEMPLOG.CSV")), &error), qPrintable(error));
        disk.fill();
        QList<QStringList> rows;
        for (int row = 1; row <= 100; ++row)
            rows.append(
                {QString::number(row), QStringLiteral("00:00:01"), QStringLiteral("12.000"), QString(70, u'x')});
        QVERIFY(!log.WriteLogLines(rows, QStringLiteral(",")));
        QVERIFY(log.rows() > 0);
        QVERIFY(log.rows() < rows.size());
        log.close();
        QList<QByteArray> lines = TestFiles::readBytes(disk.filePath(QStringLiteral("TEMPLOG.CSV"))).split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        QCOMPARE(lines.size(), 1 + log.rows());
        for (int row = 1; row < lines.size(); ++row)
            QVERIFY(lines.at(row).startsWith(QByteArray::number(row) + ",00:00:01,12.000,xxx"));
    }

    void separatorAndMeasureItems()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"));
        RunOptions options;
        options.measure = {false, true, true, false, true};
        QVERIFY(bench.start(options));
        bench.pass();
        bench.options.setSeparateText(QStringLiteral("<Tab>"));
        bench.pass();
        bench.options.setSeparateText(QStringLiteral("|"));
        bench.pass();
        const auto lines = bench.csvLines();
        QCOMPARE(lines.at(0).count(','), 9);
        QCOMPARE(lines.at(1).split(',').mid(2, 5), (QList<QByteArray>{"", "2", "25", "", "0.00694444"}));
        QCOMPARE(lines.at(2).count('\t'), 9);
        QCOMPARE(lines.at(3).count('|'), 9);
    }

    void stopInsideAPass()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"));
        bench.load.onSend([&](const QString &line) {
            if (line == u"LOAD ON")
                bench.run.stop();
        });
        QVERIFY(bench.start());
        bench.pass();
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
        QCOMPARE(bench.samplesAsked(), 0);
        QCOMPARE(bench.results.rowCount(), 0);
        QCOMPARE(bench.csvLines().size(), 1);
        bench.pass();
        QCOMPARE(bench.results.rowCount(), 0);
    }

    void stopDuringSequenceLoad()
    {
        RunBench bench;
        bench.addStep(QStringLiteral("Sequence Load"),
            {{2, "CC"}, {25, "1"}, {23, ";1"}, {24, ";10"}, {20, "0"}, {4, "0"}, {30, "0"}, {5, "10"}, {31, "0"},
                {6, "0"}, {7, "1"}});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.pass();
        bench.run.stop();
        bench.settle();
        QCOMPARE(bench.load.sent().mid(bench.load.sent().size() - 3),
            (QStringList{"SEQLD:TEST OFF", "LOAD OFF", "MEAS:VC?"}));
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Stopped});
    }

    void badCellEndsTheRunBeforeSending_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<QString>("named");
        QTest::newRow("step time not a number")
            << "Discharge" << Cells{{2, "CC"}, {3, "1"}, {4, "0"}, {30, "0"}, {5, "abc"}, {31, "0"}, {6, "0"}}
            << "column 5 \"TStop\": \"abc\"";
        QTest::newRow("empty FOR count") << "FOR" << Cells{} << "column 7";
        QTest::newRow("ramp list too short")
            << "Battery RAMP" << Cells{{3, "1"}, {25, "3"}, {23, ";1;2"}, {24, ";1;2"}, {20, "10"}, {7, "1"}}
            << "Step 1";
    }
    void badCellEndsTheRunBeforeSending()
    {
        QFETCH(QString, function);
        QFETCH(Cells, cells);
        QFETCH(QString, named);
        RunBench bench;
        bench.nameLabel = QStringLiteral("6312G");
        bench.addStep(function, cells);
        QVERIFY(bench.start());
        bench.pass();
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(bench.load.sent(), (QStringList{"LOAD OFF", "MEAS:VC?"}));
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Error});
        QVERIFY2(bench.messages.last().contains(named), qPrintable(bench.messages.last()));
    }

    void logFileThatCannotBeMade()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"));
        QFile blocker(bench.dir.filePath(QStringLiteral("TestLog")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!bench.run.start({}));
        QVERIFY(!bench.run.isRunning());
        QVERIFY(bench.messages.last().contains(bench.dir.filePath(QStringLiteral("TestLog"))));
        QVERIFY(bench.load.sent().isEmpty());
    }

    void runTwiceStartsAfresh()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.runToEnd();
        QCOMPARE(bench.csvLines().size(), 2);
        QVERIFY(bench.start());
        QCOMPARE(bench.csvLines().size(), 1);
        bench.runToEnd();
        QCOMPARE(bench.csvLines().at(1).left(2), QByteArray("1,"));
        QCOMPARE(bench.finished, 2);
    }

    // Stop inside each kind of wait, then Run: the old run sends nothing after its off line, and
    // the new one runs every step.
    void stopThenRunInsideAWait_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<Cells>("cells");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("pauseMs");
        const Cells discharge{{2, "CC"}, {3, "1"}, {4, "0"}, {30, "0"}, {5, "2"}, {31, "0"}, {6, "0"}};
        const Cells ocp{{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}};
        Cells stable = discharge;
        stable.insert(31, "500");
        QTest::newRow("pause after a line") << "Discharge" << discharge << "" << 101;
        QTest::newRow("stable time") << "Discharge" << stable << "" << 501;
        QTest::newRow("reply wait") << "OCP" << ocp << "TESTING?" << -1;
        QTest::newRow("wait after OCP?") << "OCP" << ocp << "" << 101;
        QTest::newRow("sampling interval") << "Discharge" << discharge << "MEAS:VC?" << -1;
    }
    void stopThenRunInsideAWait()
    {
        QFETCH(QString, function);
        QFETCH(Cells, cells);
        QFETCH(QString, line);
        QFETCH(int, pauseMs);
        RunBench bench;
        bench.addStep(function, cells);
        bench.addStep(QStringLiteral("Rest"), {{5, "1"}});
        bench.load.queueReplies(QStringLiteral("TESTING?"), {"0"});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("1"));
        bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("OCP?"), QStringLiteral("5"));
        qsizetype stoppedAt = -1;
        const auto stop = [&] {
            if (stoppedAt < 0 && bench.run.isRunning()) {
                stoppedAt = bench.load.sent().size();
                bench.run.stop();
            }
        };
        QVERIFY(bench.start());
        bench.load.onSend([&](const QString &sent) {
            if (sent == line)
                stop();
        });
        bench.clock.onPause([&](int ms) {
            if (ms == pauseMs)
                stop();
        });
        bench.runToEnd(3);
        QVERIFY(!bench.run.isRunning());
        QVERIFY(stoppedAt >= 0);
        QCOMPARE(bench.load.sent().mid(stoppedAt), (QStringList{"LOAD OFF", "MEAS:VC?"}));
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Stopped});

        bench.load.onSend({});
        bench.clock.onPause({});
        bench.load.takeSent();
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        QVERIFY(bench.start());
        bench.runToEnd();
        QCOMPARE(bench.ends.last(), RunResult::Pass);
        QCOMPARE(bench.function(), QStringLiteral("Rest"));
        QCOMPARE(bench.commands().last(), QStringLiteral("LOAD OFF"));
    }

    // However a run ends, its last lines switch the load off and read it, and a function's own off line
    // goes only when that function was switched on.
    void offLinesOnEveryEnd_data()
    {
        QTest::addColumn<QList<Cells>>("steps");
        QTest::addColumn<QString>("testing");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QStringList>("last");
        const Cells discharge{
            {1, "Discharge"}, {2, "CC"}, {3, "1"}, {4, "13"}, {30, "0"}, {5, "60"}, {31, "0"}, {6, "0"}};
        const Cells sequence{{1, "Sequence Load"}, {2, "CC"}, {25, "2"}, {23, ";1;2"}, {24, ";10;20"}, {20, "0"},
            {4, "0"}, {30, "0"}, {5, "10"}, {31, "0"}, {6, "0"}, {7, "1"}};
        Cells unbuildable = sequence;
        unbuildable.insert(25, "3");
        QTest::newRow("unbuildable step after a measured stop")
            << QList<Cells>{discharge, unbuildable} << "1" << false << QStringList{"MEAS:VC?", "LOAD OFF", "MEAS:VC?"};
        QTest::newRow("stopped sequence load")
            << QList<Cells>{sequence} << "1" << true << QStringList{"SEQLD:TEST OFF", "LOAD OFF", "MEAS:VC?"};
        QTest::newRow("finished after a sequence load that ended")
            << QList<Cells>{sequence} << "0" << false << QStringList{"MEAS:VC?", "LOAD OFF", "MEAS:VC?"};
    }
    void offLinesOnEveryEnd()
    {
        QFETCH(QList<Cells>, steps);
        QFETCH(QString, testing);
        QFETCH(bool, stop);
        QFETCH(QStringList, last);
        RunBench bench;
        for (Cells cells : steps)
            bench.addStep(cells.take(1), cells);
        bench.load.setReply(QStringLiteral("TESTING?"), testing);
        QVERIFY(bench.start());
        bench.runToEnd(stop ? 2 : 20);
        if (stop) {
            bench.run.stop();
            bench.settle();
        }
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(bench.load.sent().mid(bench.load.sent().size() - last.size()), last);
    }

    // A FOR with a huge count directly followed by its LOOP still lets Stop in.
    void emptyLoopBodyCanBeStopped()
    {
        int turns = 0;
        RunBench bench;
        bench.addStep(QStringLiteral("FOR"), {{7, "2000000000"}});
        bench.addStep(QStringLiteral("LOOP"));
        QVERIFY(bench.start());
        bench.clock.onPause([&](int) { ++turns; });
        bench.clock.releaseSleep();
        // Each time round, the loop lets the event loop turn once.
        QTRY_VERIFY_WITH_TIMEOUT(turns >= 3, 30000);
        QVERIFY(bench.run.isRunning());
        bench.run.stop();
        bench.settle();
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(bench.load.sent(), (QStringList{"LOAD OFF", "MEAS:VC?"}));
    }

    // An identification asked for during a run waits for its end: the two never share the link.
    void identificationWaitsForTheRun()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("2"));
        QVERIFY(bench.start());
        bench.pass();
        bench.identification.identifyWhenFree();
        bench.runToEnd();
        QVERIFY(!bench.load.sent().contains(QStringLiteral("name?")));
        QVERIFY(bench.identification.isIdentificationRequested());
    }

    void highlightFollowsTheStep()
    {
        RunBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.pass();
        QVERIFY(bench.program.isHighlighted(1));
        bench.pass();
        QVERIFY(!bench.program.isHighlighted(1));
        QVERIFY(bench.program.isHighlighted(2));
        bench.runToEnd();
        QVERIFY(!bench.program.isHighlighted(2));
    }
};

QTEST_GUILESS_MAIN(TestRunController)
#include "tst_runcontroller.moc"
