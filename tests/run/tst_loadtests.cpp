#include "RunBench.h"

#include <QTest>

using Cells = QMap<int, QString>;

namespace {

const Cells OcpCells{{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}};
const Cells StopCells{{4, "0"}, {30, "0"}, {5, "10"}, {31, "0"}, {6, "2"}};

Cells withStops(Cells cells)
{
    for (auto it = StopCells.begin(); it != StopCells.end(); ++it)
        if (!cells.contains(it.key()))
            cells.insert(it.key(), it.value());
    return cells;
}

// The numbers of the CSV's data lines, which must run 1, 2, 3, ... with no gap and no repeat.
QList<int> csvNumbers(const RunBench &bench)
{
    QList<int> numbers;
    const auto lines = bench.csvLines();
    for (qsizetype i = 1; i < lines.size(); ++i)
        numbers.append(lines.at(i).split(',').first().toInt());
    return numbers;
}

QList<int> oneTo(int n)
{
    QList<int> numbers;
    for (int i = 1; i <= n; ++i)
        numbers.append(i);
    return numbers;
}

} // namespace

class TestLoadTests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void protectionVerdicts_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("trip");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("result");
        QTest::newRow("OCP 5.2 within") << "OCP"
                                        << "5.2" << 3 << "5.2"
                                        << "PASS";
        QTest::newRow("OCP 10.5 above") << "OCP"
                                        << "10.5" << 3 << "10.5"
                                        << "FAIL";
        QTest::newRow("OCP 10 on the limit") << "OCP"
                                             << "10" << 3 << "10"
                                             << "PASS";
        QTest::newRow("OCP 2.9 below") << "OCP"
                                       << "2.9" << 3 << "2.9"
                                       << "FAIL";
        QTest::newRow("OCP no trip value") << "OCP"
                                           << "ERR" << 3 << "ERR"
                                           << "FAIL";
        QTest::newRow("OCP trip with its unit") << "OCP"
                                                << "5.2A" << 3 << "5.2A"
                                                << "PASS";
        QTest::newRow("OCP trip without a number") << "OCP"
                                                   << "A5.2" << 3 << "A5.2"
                                                   << "FAIL";
        QTest::newRow("OPP in column W") << "OPP"
                                         << "5" << 4 << "5"
                                         << "PASS";
        QTest::newRow("Short shows its current") << "Short"
                                                 << "" << 3 << "2"
                                                 << "PASS";
    }
    void protectionVerdicts()
    {
        QFETCH(QString, function);
        QFETCH(QString, trip);
        QFETCH(int, column);
        QFETCH(QString, shown);
        QFETCH(QString, result);
        RunBench bench;
        if (function == u"Short")
            bench.addStep(function, {{3, "100"}, {5, "1"}, {31, "0"}});
        else
            bench.addStep(function, OcpCells);
        bench.addStep(QStringLiteral("Rest"), {{5, "5"}});
        bench.load.queueReplies(QStringLiteral("TESTING?"), {"1"});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("1"));
        bench.load.setReply(QStringLiteral("OCP?"), trip);
        bench.load.setReply(QStringLiteral("OPP?"), trip);
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.results.rowCount(), 1);
        bench.load.takeSent();
        bench.pass();
        QCOMPARE(bench.results.rowCount(), 3);
        const QStringList verdict = bench.results.rowAt(1);
        QCOMPARE(verdict.at(column), shown);
        QCOMPARE(verdict.at(8), function);
        QCOMPARE(verdict.at(9), result);
        QCOMPARE(verdict.at(2), QString());
        QCOMPARE(bench.record().failVerdicts, result == u"FAIL" ? 1 : 0);
        QStringList expected{"MEAS:VC?", "TESTING?", "NG?"};
        if (function != u"Short")
            expected.append(function + u'?');
        expected.append(QStringLiteral("STOP"));
        QCOMPARE(bench.load.sent(), expected);
        bench.pass();
        QCOMPARE(bench.function(), QStringLiteral("Rest"));
        QCOMPARE(csvNumbers(bench), oneTo(4));
    }

    void missingAnswersAreAskedAgain_data()
    {
        QTest::addColumn<QString>("testing");
        QTest::addColumn<QString>("ng");
        QTest::newRow("NG? neither 0 nor 1") << "0"
                                             << "5";
        QTest::newRow("garbled reply to TESTING?") << "#?!"
                                                   << "0";
        QTest::newRow("garbled reply to NG?") << "0"
                                              << "ok";
    }
    void missingAnswersAreAskedAgain()
    {
        QFETCH(QString, testing);
        QFETCH(QString, ng);
        RunBench bench;
        bench.addStep(QStringLiteral("Short"), {{3, "100"}, {5, "1"}, {31, "0"}});
        bench.load.setReply(QStringLiteral("TESTING?"), testing);
        bench.load.setReply(QStringLiteral("NG?"), ng);
        QVERIFY(bench.start());
        for (int pass = 0; pass < 3; ++pass)
            bench.pass();
        QCOMPARE(bench.results.rowCount(), 3);
        QCOMPARE(bench.load.sent().count(QStringLiteral("STOP")), 0);
        QCOMPARE(bench.function(), QStringLiteral("Short"));
        QCOMPARE(bench.run.errorTrail().text().contains(QStringLiteral("ErrT,")), testing != u"0");
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("0"));
        bench.pass();
        QCOMPARE(bench.results.rowAt(3).at(9), QStringLiteral("PASS"));
    }

    void batteryDischargeVerdicts_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("result");
        QTest::newRow("1.95 below the limit") << "Battery Discharge CC"
                                              << "1.95" << 5 << "PASS";
        QTest::newRow("2 on the limit") << "Battery Discharge CC"
                                        << "2" << 5 << "FAIL";
        QTest::newRow("2.1 above") << "Battery Discharge CC"
                                   << "2.1" << 5 << "FAIL";
        QTest::newRow("not a number") << "Battery Discharge CC"
                                      << "n/a" << 5 << "FAIL";
        QTest::newRow("energy in column WH") << "Battery Discharge CP"
                                             << "1.5" << 6 << "PASS";
    }
    void batteryDischargeVerdicts()
    {
        QFETCH(QString, function);
        QFETCH(QString, reply);
        QFETCH(int, column);
        QFETCH(QString, result);
        RunBench bench;
        bench.addStep(function, withStops({{3, "1"}}));
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("BATT:RAH?"), reply);
        bench.load.setReply(QStringLiteral("BATT:RWH?"), reply);
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.results.rowCount(), 2);
        QCOMPARE(bench.results.rowAt(0).at(column), reply);
        QCOMPARE(bench.results.rowAt(0).at(9), result);
        QCOMPARE(bench.results.rowAt(1).at(9), QString());
        QCOMPARE(bench.trace.lines().filter(QStringLiteral("not a number")).size(), reply == u"n/a" ? 1 : 0);
        bench.pass();
        QCOMPARE(bench.finished, 1);
        QCOMPARE(csvNumbers(bench), oneTo(2));
    }

    void batteryProfileVerdicts_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("result");
        QTest::newRow("held above load-off") << "10.5"
                                             << "10.5"
                                             << "PASS";
        QTest::newRow("shorter number above") << "12"
                                              << "12"
                                              << "PASS";
        QTest::newRow("sank to load-off") << "9.95"
                                          << "9.95"
                                          << "FAIL";
        QTest::newRow("failure code") << "NG:9.8"
                                      << "9.8"
                                      << "FAIL";
        QTest::newRow("not a value") << "ERR"
                                     << "ERR"
                                     << "FAIL";
        QTest::newRow("failure code before no number") << "01+."
                                                       << "01+."
                                                       << "FAIL";
    }
    void batteryProfileVerdicts()
    {
        QFETCH(QString, reply);
        QFETCH(QString, shown);
        QFETCH(QString, result);
        RunBench bench;
        bench.nameLabel = QStringLiteral("6312G");
        bench.addStep(
            QStringLiteral("Battery RAMP"), {{3, "1"}, {25, "2"}, {23, ";1;2"}, {24, ";10;20"}, {20, "10"}, {7, "1"}});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("BATT:RVOLT?"), reply);
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.results.rowAt(0).at(2), shown);
        QCOMPARE(bench.results.rowAt(0).at(9), result);
    }

    // A RAMP reads no stop cells: the stops of a run before, which ended by its voltage stop, must not
    // end it at its first sample.
    void stopsOfTheRunBeforeEndNoStepOfTheNext()
    {
        RunBench bench;
        bench.nameLabel = QStringLiteral("6312G");
        bench.addStep(QStringLiteral("Discharge"), withStops({{2, "CC"}, {3, "1"}, {4, "13"}}));
        QVERIFY(bench.start());
        bench.runToEnd();
        QCOMPARE(bench.record().steps.first().end, StepEnd::Voltage);
        bench.program.setCell(1, 1, QStringLiteral("Battery RAMP"));
        for (const auto &[column, text] : std::initializer_list<std::pair<int, const char *>>{
                 {3, "1"}, {25, "1"}, {23, ";1"}, {24, ";10"}, {20, "10"}, {7, "1"}})
            bench.program.setCell(1, column, QString::fromLatin1(text));
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.record().steps.first().end, StepEnd::None);
        QVERIFY(bench.load.sent().contains(QStringLiteral("TESTING?")));
    }

    void batteryStepOnAModelWithoutCOrG()
    {
        RunBench bench;
        bench.nameLabel = QStringLiteral("6312A");
        bench.addStep(QStringLiteral("Battery Discharge CC"), withStops({{3, "1"}}));
        bench.addDischarge(QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.pass();
        // Nothing of the battery step is sent; with no step time left by a step before, its expiry
        // moves on at once.
        QCOMPARE(bench.commands().filter(QStringLiteral("BATT:")), QStringList());
        QCOMPARE(bench.function(), QStringLiteral("Discharge"));
    }

    void rampOnACModelIsStartedThenSkipped()
    {
        RunBench bench;
        bench.addStep(
            QStringLiteral("Battery RAMP"), {{3, "1"}, {25, "1"}, {23, ";1"}, {24, ";10"}, {20, "10"}, {7, "1"}});
        QVERIFY(bench.start());
        bench.pass();
        QVERIFY(bench.commands().contains(QStringLiteral("BATT:RAMP:CC ON")));
        QVERIFY(!bench.load.sent().contains(QStringLiteral("TESTING?")));
        QCOMPARE(bench.record().steps.last().end == StepEnd::None, false);
    }

    void sequenceLoad_data()
    {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QString>("nameLabel");
        QTest::newRow("2, 2, 2 marks the model") << QStringList{"2", "2", "2"} << false << "6312C-2-3";
        QTest::newRow("2 then 0 ends") << QStringList{"2", "0"} << true << "6312C";
        QTest::newRow("0 ends") << QStringList{"0"} << true << "6312C";
        QTest::newRow("1 runs on") << QStringList{"1"} << false << "6312C";
        QTest::newRow("2 then no reply runs on") << QStringList{"2", "ErrRec"} << false << "6312C";
    }
    void sequenceLoad()
    {
        QFETCH(QStringList, replies);
        QFETCH(bool, ended);
        QFETCH(QString, nameLabel);
        RunBench bench;
        bench.addStep(QStringLiteral("Sequence Load"),
            withStops({{2, "CP"}, {25, "2"}, {23, ";1;2"}, {24, ";10;20"}, {20, "0"}, {7, "1"}}));
        bench.load.queueReplies(QStringLiteral("TESTING?"), replies);
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.identification.NameLabel(), nameLabel);
        QCOMPARE(bench.load.sent().count(QStringLiteral("SEQLD:TEST OFF")), ended ? 2 : 1);
        QCOMPARE(bench.record().steps.last().end != StepEnd::None, ended);
        QCOMPARE(bench.results.rowCount(), 1);
        if (ended)
            QCOMPARE(bench.load.sent().mid(bench.load.sent().lastIndexOf(QStringLiteral("SEQLD:TEST OFF"))),
                (QStringList{"SEQLD:TEST OFF", "MEAS:VC?"}));
    }

    void stopThenLoadEndInOnePassEndsTheStepOnce()
    {
        RunBench bench;
        bench.addStep(QStringLiteral("Battery Discharge CC"), withStops({{3, "1"}, {4, "13"}}));
        bench.addDischarge(QStringLiteral("1"));
        bench.addDischarge(QStringLiteral("2"));
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("BATT:RAH?"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.pass();
        QCOMPARE(bench.record().steps.last().end == StepEnd::None, false);
        QVERIFY(!bench.load.sent().contains(QStringLiteral("BATT:RAH?")));
        bench.pass();
        QVERIFY(bench.load.sent().contains(QStringLiteral("CC:HIGH 1")));
    }
};

QTEST_GUILESS_MAIN(TestLoadTests)
#include "tst_loadtests.moc"
