#include "SimClient.h"
#include "SimProcess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Generous, for a loaded machine: every wait ends as soon as its condition holds.
constexpr int patienceMs = 30000;
// Both the simulator's clock and the test's count whole milliseconds.
constexpr int roundingMs = 2;

const QByteArray garbage("#~%GARBLED%~#");
// MEAS:VC? of the supply with the load off, and sinking 2 A.
const QByteArray supplyIdle("12.000,0.000");
const QByteArray supplyAt2A("11.980,2.000");

void addLinkRows()
{
    QTest::addColumn<bool>("pty");
    QTest::newRow("tcp") << false;
    QTest::newRow("pty") << true;
}

// The load on a pseudo-terminal or on TCP, as the rows of a test choose.
struct Link
{
    bool pty = false;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("load"));

    QStringList arguments() const
    {
        return pty ? QStringList{QStringLiteral("--pty"), path}
                   : QStringList{QStringLiteral("--tcp"), QStringLiteral("0")};
    }
    bool open(SimClient &client, const SimProcess &sim) const
    {
        return pty ? client.openTerminal(path) : client.connectTcp(sim.port(QStringLiteral("load")));
    }
};

// Whether a client trying to reach the load now is turned away: the terminal's link is gone, or
// the TCP port refuses the connection.
bool turnedAway(const Link &link, const SimProcess &sim)
{
    if (link.pty) {
        const int fd = ::open(QFile::encodeName(link.path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return fd < 0 && error == ENOENT && !QFileInfo(link.path).isSymLink();
    }
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, sim.port(QStringLiteral("load")));
    const bool answered = QTest::qWaitFor(
        [&] {
            return probe.state() == QAbstractSocket::UnconnectedState
                || probe.state() == QAbstractSocket::ConnectedState;
        },
        patienceMs);
    return answered && probe.error() == QAbstractSocket::ConnectionRefusedError;
}

bool finished(SimProcess &sim)
{
    return QTest::qWaitFor([&] { return sim.process().state() == QProcess::NotRunning; }, patienceMs);
}

} // namespace

class TestSimFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void outageClosesTheLinkForItsTime_data() { addLinkRows(); }

    void outageClosesTheLinkForItsTime()
    {
        QFETCH(bool, pty);
        constexpr int outageMs = 2000;
        Link link;
        link.pty = pty;
        SimProcess sim(link.arguments()
            + QStringList{"--source", "supply", "--fault", QStringLiteral("outage=2:%1").arg(outageMs)});
        QVERIFY(sim.waitForAnnouncements(1));

        SimClient client;
        QVERIFY(link.open(client, sim));
        client.write("MODE CC\nCC:HIGH 2\nLOAD ON\nMEAS:VC?\n");
        QVERIFY(client.waitForReplies(1, patienceMs));
        QElapsedTimer clock;
        clock.start();
        client.write("MEAS:VC?\nname?\n");
        QTRY_VERIFY_WITH_TIMEOUT(client.disconnected(), patienceMs);
        // The second reply was sent before the link closed, and nothing after it.
        QCOMPARE(client.replies(), (QList<QByteArray>{supplyAt2A, supplyAt2A}));
        QTRY_VERIFY_WITH_TIMEOUT(sim.announcements().size() >= 2, patienceMs);
        QCOMPARE(sim.announcements().at(1), QStringLiteral("load outage %1").arg(outageMs));

        // The outage lasts from after the reply, so whatever is known before its time from the
        // line's sending is known during it. A machine too slow for that cannot tell.
        const bool away = turnedAway(link, sim);
        if (clock.elapsed() < outageMs)
            QVERIFY(away);
        else
            qWarning("the outage was over before it could be checked");

        QTRY_VERIFY_WITH_TIMEOUT(sim.announcements().last() == QLatin1String("load listening"), outageMs + patienceMs);
        QVERIFY(clock.elapsed() >= outageMs - roundingMs);
        QStringList expected{sim.announcements().first(), QStringLiteral("load outage %1").arg(outageMs)};
        if (pty)
            expected << QStringLiteral("load pty %1 -> %2").arg(link.path, QFileInfo(link.path).symLinkTarget());
        expected << QStringLiteral("load listening");
        QCOMPARE(sim.announcements(), expected);

        // The load kept sinking its 2 A in CC across the outage.
        SimClient next;
        QVERIFY(link.open(next, sim));
        next.write("MEAS:VC?\nname?\n");
        QVERIFY(next.waitForReplies(2, patienceMs));
        QCOMPARE(next.replies(), (QList<QByteArray>{supplyAt2A, "6312C"}));
    }

    // Given out of order, counted on another line than MEAS:VC?, compared exactly (the load also
    // understands "NAME?", which is not the outage line).
    void outagesComeInTheOrderOfTheirReplies()
    {
        SimProcess sim({"--tcp", "0", "--source", "supply", "--fault", "outage=3:600,outage-line=name?", "--fault",
            "outage=1:300"});
        QVERIFY(sim.waitForAnnouncements(1));
        QElapsedTimer clock;

        SimClient first;
        QVERIFY(first.connectTcp(sim.port(QStringLiteral("load"))));
        clock.start();
        first.write("MEAS:VC?\nname?\nMEAS:VC?\n");
        QTRY_VERIFY_WITH_TIMEOUT(first.disconnected(), patienceMs);
        QCOMPARE(first.replies(), (QList<QByteArray>{supplyIdle, "6312C"}));
        QTRY_VERIFY_WITH_TIMEOUT(sim.announcements().size() >= 3, patienceMs);
        QVERIFY(clock.elapsed() >= 300 - roundingMs);

        SimClient second;
        QVERIFY(second.connectTcp(sim.port(QStringLiteral("load"))));
        clock.restart();
        second.write("NAME?\nname?\nMEAS:VC?\nname?\nname?\n");
        QTRY_VERIFY_WITH_TIMEOUT(second.disconnected(), patienceMs);
        QCOMPARE(second.replies(), (QList<QByteArray>{"6312C", "6312C", supplyIdle, "6312C"}));
        QTRY_VERIFY_WITH_TIMEOUT(sim.announcements().size() >= 5, patienceMs);
        QVERIFY(clock.elapsed() >= 600 - roundingMs);
        QCOMPARE(sim.announcements().mid(1),
            (QStringList{"load outage 300", "load listening", "load outage 600", "load listening"}));

        // Each outage came once: the count goes on without another.
        SimClient third;
        QVERIFY(third.connectTcp(sim.port(QStringLiteral("load"))));
        third.write("name?\nname?\nMEAS:VC?\n");
        QVERIFY(third.waitForReplies(3, patienceMs));
        QCOMPARE(third.replies(), (QList<QByteArray>{"6312C", "6312C", supplyIdle}));
        QCOMPARE(sim.announcements().size(), 5);
    }

    void lateReplyHoldsBackTheLaterOnes_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("minLateMs");
        QTest::newRow("tcp") << false << QStringList{"late=500,late-line=MEAS:VC?"} << 500;
        QTest::newRow("pty, line given first") << true << QStringList{"late-line=MEAS:VC?,late=500"} << 500;
        QTest::newRow("with delay") << false << QStringList{"late=300", "delay=200,late-line=MEAS:VC?"} << 500;
    }

    void lateReplyHoldsBackTheLaterOnes()
    {
        QFETCH(bool, pty);
        QFETCH(QStringList, faults);
        QFETCH(int, minLateMs);
        Link link;
        link.pty = pty;
        QStringList arguments = link.arguments();
        arguments << "--source"
                  << "supply";
        for (const QString &fault : faults)
            arguments << "--fault" << fault;
        SimProcess sim(arguments);
        QVERIFY(sim.waitForAnnouncements(1));

        SimClient client;
        QVERIFY(link.open(client, sim));
        QElapsedTimer clock;
        clock.start();
        client.write("name?\nMEAS:VC?\nname?\n");
        QVERIFY(client.waitForReplies(2, minLateMs + patienceMs));
        QVERIFY2(clock.elapsed() >= minLateMs - roundingMs, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(client.waitForReplies(3, patienceMs));
        QCOMPARE(client.replies(), (QList<QByteArray>{"6312C", supplyIdle, "6312C"}));
    }

    void unusableRepliesFromTheNth_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("firstLines");
        QTest::addColumn<QList<QByteArray>>("firstReplies");
        QTest::addColumn<QByteArray>("secondLines");
        QTest::addColumn<QList<QByteArray>>("secondReplies");

        QTest::newRow("every reply") << "unusable-line=MEAS:VC?" << QByteArray("MEAS:VC?\nname?\n")
                                     << QList<QByteArray>{garbage, "6312C"} << QByteArray("MEAS:VC?\n")
                                     << QList<QByteArray>{garbage};
        // Counted across connections: a new one does not start afresh.
        QTest::newRow("from the third") << "unusable-line=MEAS:VC?,unusable-after=3"
                                        << QByteArray("MEAS:VC?\nname?\nMEAS:VC?\n")
                                        << QList<QByteArray>{supplyIdle, "6312C", supplyIdle}
                                        << QByteArray("MEAS:VC?\nname?\nMEAS:VC?\n")
                                        << QList<QByteArray>{garbage, "6312C", garbage};
        QTest::newRow("a reply of the test's choosing")
            << "unusable-line=MEAS:VC?,unusable-reply=abc%2Cdef" << QByteArray("MEAS:VC?\nname?\n")
            << QList<QByteArray>{"abc,def", "6312C"} << QByteArray("MEAS:VC?\n") << QList<QByteArray>{"abc,def"};
        QTest::newRow("a reply many times over")
            << "unusable-line=MEAS:VC?,unusable-reply=1%2C2;,unusable-repeat=3" << QByteArray("MEAS:VC?\n")
            << QList<QByteArray>{"1,2;1,2;1,2;"} << QByteArray("name?\n") << QList<QByteArray>{"6312C"};
        QTest::newRow("line compared exactly")
            << "unusable-after=2,unusable-line=name?" << QByteArray("NAME?\nname?\nNAME?\n")
            << QList<QByteArray>{"6312C", "6312C", "6312C"} << QByteArray("name?\nMEAS:VC?\nname?\n")
            << QList<QByteArray>{garbage, supplyIdle, garbage};
    }

    void unusableRepliesFromTheNth()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, firstLines);
        QFETCH(QList<QByteArray>, firstReplies);
        QFETCH(QByteArray, secondLines);
        QFETCH(QList<QByteArray>, secondReplies);
        SimProcess sim({"--tcp", "0", "--source", "supply", "--fault", fault});
        QVERIFY(sim.waitForAnnouncements(1));

        SimClient first;
        QVERIFY(first.connectTcp(sim.port(QStringLiteral("load"))));
        first.write(firstLines);
        QVERIFY(first.waitForReplies(static_cast<int>(firstReplies.size()), patienceMs));
        QCOMPARE(first.replies(), firstReplies);
        first.close();

        SimClient second;
        QVERIFY(second.connectTcp(sim.port(QStringLiteral("load"))));
        second.write(secondLines);
        QVERIFY(second.waitForReplies(static_cast<int>(secondReplies.size()), patienceMs));
        QCOMPARE(second.replies(), secondReplies);
    }

    // Every reply of the load ends as chosen; the default is CR LF.
    void repliesEndAsChosen_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QByteArray>("received");
        QTest::newRow("default") << QStringList{} << QByteArray("6312C\r\n12.000,0.000\r\n");
        QTest::newRow("CR LF") << QStringList{"--fault", "line-end=crlf"} << QByteArray("6312C\r\n12.000,0.000\r\n");
        QTest::newRow("CR") << QStringList{"--fault", "line-end=cr"} << QByteArray("6312C\r12.000,0.000\r");
        QTest::newRow("LF") << QStringList{"--fault", "line-end=lf"} << QByteArray("6312C\n12.000,0.000\n");
    }
    void repliesEndAsChosen()
    {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, received);
        SimProcess sim(QStringList{"--tcp", "0", "--source", "supply"} + faults);
        QVERIFY(sim.waitForAnnouncements(1));
        SimClient client;
        QVERIFY(client.connectTcp(sim.port(QStringLiteral("load"))));
        client.write("name?\nMEAS:VC?\n");
        QTRY_COMPARE_WITH_TIMEOUT(client.arrivals().join(), received, patienceMs);
    }

    // A line the load takes without a reply can begin an outage: the link closes at once.
    void outageAfterALineWithoutReply()
    {
        SimProcess sim({"--tcp", "0", "--source", "supply", "--fault", "outage=2:300,outage-line=START"});
        QVERIFY(sim.waitForAnnouncements(1));
        SimClient first;
        QVERIFY(first.connectTcp(sim.port(QStringLiteral("load"))));
        first.write("START\nname?\n");
        QVERIFY(first.waitForReplies(1, patienceMs));
        QVERIFY(!first.disconnected());
        first.write("START\nname?\n");
        QTRY_VERIFY_WITH_TIMEOUT(first.disconnected(), patienceMs);
        QCOMPARE(first.replies(), QList<QByteArray>{"6312C"});
        QTRY_COMPARE_WITH_TIMEOUT(
            sim.announcements().mid(1), (QStringList{"load outage 300", "load listening"}), patienceMs);
    }

    void badFaultIsRefused_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QString>("message");
        QTest::newRow("outage without time")
            << QStringList{"outage=3"} << "bad fault \"outage=3\" (expected outage=N:MS with N and MS from 1)";
        QTest::newRow("outage of no time") << QStringList{"outage=3:0"} << "bad fault \"outage=3:0\"";
        QTest::newRow("outage of three parts") << QStringList{"outage=3:100:5"} << "bad fault \"outage=3:100:5\"";
        QTest::newRow("outage after no number") << QStringList{"delay=5,outage=x:100"} << "bad fault \"outage=x:100\"";
        QTest::newRow("two outages at one reply") << QStringList{"outage=3:100",
            "outage=2:50,outage=3:200"} << "bad fault \"outage=3:200\" (another outage already follows reply 3)";
        QTest::newRow("empty outage line")
            << QStringList{"outage=1:100,outage-line="} << "bad fault \"outage-line=\" (expected outage-line=TEXT";
        QTest::newRow("outage line alone")
            << QStringList{"outage-line=OCP?"} << "bad faults: outage-line=TEXT needs outage=N:MS";
        QTest::newRow("late without its line") << QStringList{"late=100"} << "bad faults: late=MS needs late-line=TEXT";
        QTest::newRow("late line alone") << QStringList{"late-line=OCP?"} << "bad faults: late-line=TEXT needs late=MS";
        QTest::newRow("late of no time") << QStringList{"late=0,late-line=OCP?"}
                                         << "bad fault \"late=0\" (expected late=N with N from 1)";
        QTest::newRow("unusable from reply 0")
            << QStringList{"unusable-line=OCP?,unusable-after=0"} << "bad fault \"unusable-after=0\"";
        QTest::newRow("unusable-after alone")
            << QStringList{"unusable-after=2"} << "bad faults: unusable-after=N needs unusable-line=TEXT";
        QTest::newRow("unusable reply alone") << QStringList{"unusable-reply=x"}
                                              << "bad faults: unusable-reply=TEXT and unusable-repeat=N need "
                                                 "unusable-line=TEXT";
        QTest::newRow("unusable reply with a line end")
            << QStringList{"unusable-line=X,unusable-reply=a%0Ab"} << "bad fault \"unusable-reply=a%0Ab\"";
        QTest::newRow("unusable repeat of 0")
            << QStringList{"unusable-line=X,unusable-repeat=0"} << "bad fault \"unusable-repeat=0\"";
        QTest::newRow("unknown line end")
            << QStringList{"line-end=crcr"} << "bad fault \"line-end=crcr\" (expected line-end=crlf, cr or lf)";
        QTest::newRow("unknown name") << QStringList{"outages=1:100"} << "bad fault \"outages=1:100\" (names: ";
    }

    void badFaultIsRefused()
    {
        QFETCH(QStringList, faults);
        QFETCH(QString, message);
        QStringList arguments{"--tcp", "0"};
        for (const QString &fault : faults)
            arguments << "--fault" << fault;
        SimProcess sim(arguments);
        QVERIFY(finished(sim));
        QCOMPARE(sim.process().exitCode(), 2);
        QVERIFY(sim.announcements().isEmpty());
        const QString error = QString::fromUtf8(sim.process().readAllStandardError());
        QVERIFY2(error.startsWith(QStringLiteral("vornic-sim: ") + message), qPrintable(error));
    }

    void anotherSimulatorTakesOverAKilledOnesPlace_data() { addLinkRows(); }

    // A fixed port is bound again beside the killed one's closed connection, and a killed one's
    // link, left dangling, is replaced.
    void anotherSimulatorTakesOverAKilledOnesPlace()
    {
        QFETCH(bool, pty);
        Link link;
        link.pty = pty;
        SimProcess first(link.arguments());
        QVERIFY(first.waitForAnnouncements(1));
        SimClient client;
        QVERIFY(link.open(client, first));
        client.write("name?\n");
        QVERIFY(client.waitForReplies(1, patienceMs));
        first.process().kill();
        QVERIFY(finished(first));
        // Closed from both ends, the killed one's connection lingers on its port for a while.
        QTRY_VERIFY_WITH_TIMEOUT(client.disconnected(), patienceMs);
        client.close();

        QStringList arguments{"--model", "6314C"};
        if (pty) {
            QVERIFY(QFileInfo(link.path).isSymLink());
            QVERIFY(!QFileInfo::exists(link.path));
            arguments << "--pty" << link.path;
        } else {
            arguments << "--tcp" << QString::number(first.port(QStringLiteral("load")));
        }
        SimProcess second(arguments);
        QVERIFY(second.waitForAnnouncements(1));
        if (pty) {
            const QString device = QFileInfo(link.path).symLinkTarget();
            QCOMPARE(second.announcements(), QStringList{QStringLiteral("load pty %1 -> %2").arg(link.path, device)});
        } else {
            QCOMPARE(second.announcements(), first.announcements());
        }
        QVERIFY(link.open(client, second));
        client.write("name?\n");
        QVERIFY(client.waitForReplies(1, patienceMs));
        QCOMPARE(client.replies(), QList<QByteArray>{"6314C"});
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "tst_simfaults.moc"
