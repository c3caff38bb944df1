#include "RunBench.h"

#include <QSignalSpy>
#include <QTest>

using State = LoadOff::State;

namespace {

const QString Measure = QStringLiteral("MEAS:VC?");
const QString LoadOffLine = QStringLiteral("LOAD OFF");

// A one-step program whose step time runs out after its first sample: the step's own "LOAD OFF",
// then the run's end.
struct OffBench : RunBench
{
    OffBench() { addDischarge(QStringLiteral("1"), QStringLiteral("1")); }

    // From the step's "LOAD OFF" on, the load answers `readings` to "MEAS:VC?", in order.
    void readAfterOff(const QStringList &readings)
    {
        load.beforeSend([this, readings](const QString &line) {
            if (line == LoadOffLine && !std::exchange(m_queued, true))
                load.queueReplies(Measure, readings);
        });
    }
    // The lines sent from the step's "LOAD OFF" on.
    QStringList endLines() const
    {
        const QStringList &sent = load.sent();
        return sent.mid(sent.indexOf(LoadOffLine));
    }
    void waitForKeeper()
    {
        while (run.offKeeper().isTrying())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

private:
    bool m_queued = false;
};

QStringList times(const QString &line, int count) { return QStringList(count, line); }

} // namespace

// Every end of a run proves its off lines: a reading asked after them on the same connection,
// with the current at most 0.1 % of the rating (60 mA for the 60 A load here).
class TestOffConfirm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runEndConfirmsTheOff_data()
    {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("state");
        QTest::addColumn<double>("amps");
        QTest::addColumn<RunResult>("result");

        const QString on = QStringLiteral("12.5,1.000");
        const QStringList offTwice{LoadOffLine, LoadOffLine};
        QTest::newRow("off at once") << QStringList{} << offTwice + QStringList{Measure} << int(State::Confirmed) << 0.0
                                     << RunResult::Pass;
        QTest::newRow("within the limit") << QStringList{"12.5,0.060"} << offTwice + QStringList{Measure}
                                          << int(State::Confirmed) << 0.06 << RunResult::Pass;
        QTest::newRow("a negative offset") << QStringList{"12.5,-0.059"} << offTwice + QStringList{Measure}
                                           << int(State::Confirmed) << -0.059 << RunResult::Pass;
        QTest::newRow("falls while read again")
            << QStringList{on, "12.5,0.300", "12.5,0.004"} << offTwice + times(Measure, 3) << int(State::Confirmed)
            << 0.004 << RunResult::Pass;
        QTest::newRow("told again, then off")
            << QStringList{on, on, on, on, "12.5,0"} << offTwice + times(Measure, 4) + QStringList{LoadOffLine, Measure}
            << int(State::Confirmed) << 0.0 << RunResult::Pass;
        QTest::newRow("still on when told twice") << QStringList{on, on, on, on, "12.5,0.061"}
                                                  << offTwice + times(Measure, 4) + QStringList{LoadOffLine, Measure}
                                                  << int(State::Unconfirmed) << 0.0 << RunResult::Error;
        // The reading is the proof: a reply that is none, over a new connection once more.
        QTest::newRow("no reading, then one over a new connection")
            << QStringList{ErrRec} << offTwice + QStringList{Measure, "name?", LoadOffLine, Measure}
            << int(State::Confirmed) << 0.0 << RunResult::Pass;
        QTest::newRow("no reading at all")
            << times(ErrRec, 2) << offTwice + QStringList{Measure, "name?", LoadOffLine, Measure}
            << int(State::Unconfirmed) << 0.0 << RunResult::Pass;
    }
    void runEndConfirmsTheOff()
    {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, lines);
        QFETCH(int, state);
        QFETCH(double, amps);
        QFETCH(RunResult, result);

        OffBench bench;
        bench.readAfterOff(readings);
        // Once the run has ended, its load answers no more: the tries after it are not this test's.
        QObject::connect(
            &bench.recorder, &RunRecorder::runEnded, [&] { bench.load.setConnectWorks([] { return false; }); });
        QVERIFY(bench.start());
        bench.runToEnd();
        QVERIFY(!bench.run.isRunning());
        QCOMPARE(bench.endLines(), lines);
        const RunRecord &record = bench.record();
        QCOMPARE(*record.result, result);
        const LoadOff &off = record.loadOff;
        QCOMPARE(int(off.state), state);
        QCOMPARE(off.address, QStringLiteral("fake:1"));
        if (off.state == State::Confirmed) {
            QCOMPARE(*off.amps, amps);
            QCOMPARE(off.confirmedAt, record.endedAt);
            QVERIFY(!off.since.isValid());
        } else {
            QCOMPARE(off.since, record.endedAt);
            QVERIFY(record.message.contains(QStringLiteral("The load at fake:1")));
        }
    }

    // A run's end that could not reach the load is followed by tries, a pause growing to 4 s
    // between them, each over a new connection that first asks who answers: the load is confirmed
    // off when one of them reaches it, and the record says when. No run starts meanwhile.
    void triesUntilTheLoadIsReached()
    {
        OffBench bench;
        int refusedConnects = 0;
        bench.load.beforeSend([&](const QString &line) {
            // The step's own off line goes with the connection, which stays away for six connects.
            if (line == LoadOffLine && refusedConnects == 0) {
                bench.load.dropConnection();
                bench.load.setConnectWorks([&] { return ++refusedConnects > 6; });
            }
        });
        QSignalSpy tried(&bench.run.offKeeper(), &OffKeeper::tried);
        QSignalSpy later(&bench.recorder, &RunRecorder::loadOffChanged);
        QList<int> pauses;
        bench.clock.onPause([&](int ms) {
            if (!bench.run.isRunning())
                pauses.append(ms);
        });
        QVERIFY(bench.start());
        bench.runToEnd();
        QCOMPARE(int(bench.record().loadOff.state), int(State::Unconfirmed));
        QVERIFY(bench.run.offKeeper().isTrying());
        QVERIFY(!bench.run.start({}));
        QVERIFY(bench.messages.last().contains(QStringLiteral("may still be on")));

        bench.waitForKeeper();
        // The run's end took two connects (at once, then for its off lines once more).
        QCOMPARE(pauses, (QList<int>{500, 1000, 2000, 4000, 4000}));
        QCOMPARE(tried.size(), 4);
        QVERIFY(tried.first().first().toString().contains(QStringLiteral("cannot be reached")));
        QCOMPARE(later.size(), 1);
        const LoadOff &off = bench.record().loadOff;
        QCOMPARE(int(off.state), int(State::Confirmed));
        QVERIFY(off.confirmedLate());
        QCOMPARE(off.since.msecsTo(off.confirmedAt), 11500);
        QCOMPARE(bench.load.sent().mid(bench.load.sent().size() - 3), (QStringList{"name?", LoadOffLine, Measure}));
        QVERIFY(bench.run.start({}));
    }

    // Another instrument at the load's address is asked who it is, and sent nothing else.
    void anotherInstrumentIsSentNothing()
    {
        OffBench bench;
        bench.readAfterOff({ErrRec, ErrRec});
        QVERIFY(bench.start());
        bench.runToEnd();
        QVERIFY(bench.run.offKeeper().isTrying());
        bench.load.setReply(QStringLiteral("name?"), QStringLiteral("6310A"));
        bench.load.takeSent();
        QSignalSpy tried(&bench.run.offKeeper(), &OffKeeper::tried);
        QVERIFY(tried.wait());
        QCOMPARE(bench.load.sent(), (QStringList{"name?", "name?"}));
        QVERIFY(tried.first().first().toString().contains(QStringLiteral("another instrument answers at fake:1")));
        QVERIFY(bench.run.offKeeper().isTrying());
    }

    // The last try: one more at once, then no more, and the load is left as it may be.
    void lastTryEndsTheTries()
    {
        OffBench bench;
        bench.load.beforeSend([&](const QString &line) {
            if (line == LoadOffLine) {
                bench.load.dropConnection();
                bench.load.setConnectWorks([] { return false; });
            }
        });
        QVERIFY(bench.start());
        bench.runToEnd();
        OffKeeper &keeper = bench.run.offKeeper();
        QVERIFY(keeper.isTrying());
        QSignalSpy ended(&keeper, &OffKeeper::ended);
        const int before = bench.load.connects();
        keeper.lastTry();
        QTRY_COMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toBool(), false);
        QCOMPARE(bench.load.connects(), before + 1);
        QVERIFY(bench.record().loadOff.unconfirmed());
        QVERIFY(bench.run.start({}));
    }

    void offLimitFollowsTheRating_data()
    {
        QTest::addColumn<double>("rated");
        QTest::addColumn<double>("limit");
        QTest::newRow("60 A") << 60.0 << 0.06;
        QTest::newRow("240 A") << 240.0 << 0.24;
        QTest::newRow("a 2 A load: the 10 mA floor") << 2.0 << 0.01;
        QTest::newRow("no rating") << 0.0 << 0.01;
        QTest::newRow("a rating that is no number") << qQNaN() << 0.01;
    }
    void offLimitFollowsTheRating()
    {
        QFETCH(double, rated);
        QFETCH(double, limit);
        QCOMPARE(OffConfirmer::offLimit(rated), limit);
    }
};

QTEST_GUILESS_MAIN(TestOffConfirm)
#include "tst_offconfirm.moc"
