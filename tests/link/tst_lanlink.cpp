#include "FakeClock.h"
#include "TcpPeer.h"
#include "WatchedClock.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"
#include "link/WakeAwaiter.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <limits>

namespace {

LinkSettings lanSettings(quint16 port)
{
    LinkSettings settings;
    settings.ConnectMode = 2;
    settings.LanIP1 = 127;
    settings.LanIP2 = 0;
    settings.LanIP3 = 0;
    settings.LanIP4 = 1;
    settings.LanPort = port;
    return settings;
}

// A fake clock whose time stands still once frozen: a wait then ends only when it is woken, and
// the length of each wait is kept.
class StillClock : public FakeClock
{
public:
    void freeze() { m_frozen = true; }
    const QList<int> &waits() const { return m_waits; }

protected:
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override
    {
        if (!m_frozen || ms == 0) {
            co_await FakeClock::pause(ms, waker, cancel);
            co_return;
        }
        m_waits.append(ms);
        co_await WakeAwaiter(std::numeric_limits<int>::max(), waker, cancel);
    }

private:
    bool m_frozen = false;
    QList<int> m_waits;
};

// The real clock, but the pause after a line (6 ms or less) ends only when it is woken.
class ShortPausesHeld : public SystemClock
{
protected:
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override
    {
        return SystemClock::pause(ms > 0 && ms <= 6 ? std::numeric_limits<int>::max() : ms, waker, cancel);
    }
};

struct Lan
{
    explicit Lan(Clock &clock, LinkRole role = LinkRole::Load)
        : link(
            role, [this] { return settings; }, clock, trace),
          messages(&link, &TransportLink::message)
    {
        settings = lanSettings(peer.port());
    }
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const QList<QVariant> &args : messages)
            texts.append(args.at(0).toString());
        return texts;
    }

    TcpPeer peer;
    LinkSettings settings;
    TraceList trace;
    TransportLink link;
    QSignalSpy messages;
};

} // namespace

class TestLanLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectSendsRemThenCommandsWithCrLf()
    {
        Lan lan(SystemClock::instance());
        QCoro::waitFor(lan.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.received(), QByteArray("REM\r\n"), 30000);
        QCoro::waitFor(lan.link.LinkSend(QStringLiteral("LOAD ON")));
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.received(), QByteArray("REM\r\nLOAD ON\r\n"), 30000);
        // A connection that stands is kept and still gets "REM".
        QCoro::waitFor(lan.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.received(), QByteArray("REM\r\nLOAD ON\r\nREM\r\n"), 30000);
        QCOMPARE(lan.peer.connections(), 1);
        QCOMPARE(lan.trace.lines().size(), 1);
        QVERIFY(lan.trace.lines().at(0).startsWith(QLatin1String("LOAD ON,0,0,")));
        QVERIFY(lan.messages.isEmpty());
    }

    void anotherAddressTakesEffectAtTheNextConnect()
    {
        Lan lan(SystemClock::instance());
        TcpPeer other;
        QCoro::waitFor(lan.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.received(), QByteArray("REM\r\n"), 30000);
        lan.settings.LanPort = other.port();
        QCoro::waitFor(lan.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(other.received(), QByteArray("REM\r\n"), 30000);
        QCoro::waitFor(lan.link.LinkSend(QStringLiteral("LOAD ON")));
        QTRY_COMPARE_WITH_TIMEOUT(other.received(), QByteArray("REM\r\nLOAD ON\r\n"), 30000);
        QCOMPARE(lan.peer.received(), QByteArray("REM\r\n"));
    }

    void replyIsReadWholeHoweverItIsSplit_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("reply");
        QTest::newRow("one piece CR LF") << QList<QByteArray>{"12.5,2\r\n"} << "12.5,2";
        QTest::newRow("one piece LF") << QList<QByteArray>{"12.5,2\n"} << "12.5,2";
        QTest::newRow("one piece CR") << QList<QByteArray>{"12.5,2\r"} << "12.5,2";
        QTest::newRow("CR, after the point") << QList<QByteArray>{"12.", "5,2\r"} << "12.5,2";
        QTest::newRow("two lines by CR, the last counts") << QList<QByteArray>{"9,9\r12.5,2\r"} << "12.5,2";
        QTest::newRow("after the point") << QList<QByteArray>{"12.", "5,2\r\n"} << "12.5,2";
        QTest::newRow("between CR and LF") << QList<QByteArray>{"12.5,2\r", "\n"} << "12.5,2";
        QTest::newRow("byte by byte") << QList<QByteArray>{"1", "2", ".", "5", ",", "2", "\r", "\n"} << "12.5,2";
        QTest::newRow("blank line first") << QList<QByteArray>{"\r\n1", "2.5,2\r\n"} << "12.5,2";
        QTest::newRow("two lines in one piece, the last counts") << QList<QByteArray>{"9,9\r\n12.5,2\r\n"} << "12.5,2";
    }
    void replyIsReadWholeHoweverItIsSplit()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, reply);
        Lan lan(SystemClock::instance());
        lan.peer.answer("MEAS:VC?", pieces, 20);
        QCoro::waitFor(lan.link.LinkConnect());
        QCOMPARE(QCoro::waitFor(lan.link.ask(QStringLiteral("MEAS:VC?"))), reply);
        QCOMPARE(lan.link.ReplyBuffer(), reply);
        QCOMPARE(lan.trace.lines().last(), reply);
        QCOMPARE(QCoro::waitFor(lan.link.LinkRead()), reply);
    }

    // A reply that runs past the longest line is cut: the question has no reply at once, not when
    // (or if) the line ends, and the next question has its own.
    void aLineTooLongIsNoReply()
    {
        Lan lan(SystemClock::instance());
        // Ten megabytes of digits, and only then the line's end.
        lan.peer.answer("MEAS:VC?", {QByteArray(10 * 1024 * 1024, '1'), "1,2\r\n"});
        lan.peer.answer("name?", {"6312C\r\n"});
        QCoro::waitFor(lan.link.LinkConnect());
        QCOMPARE(QCoro::waitFor(lan.link.ask(QStringLiteral("MEAS:VC?"))), ErrRec);
        QCOMPARE(lan.trace.lines().filter(QStringLiteral("A reply longer than 1024 bytes was cut off")).size(), 1);
        QCOMPARE(lan.trace.lines().last(), QString());
        // The end of the long line, which comes before the next reply, is no reply either.
        QCOMPARE(QCoro::waitFor(lan.link.ask(QStringLiteral("name?"))), QStringLiteral("6312C"));
    }

    // What the wait costs in CPU is for the benchmarks; here, that it sleeps until the reply wakes it.
    void waitingForAReplySleepsAndEndsWhenItComes()
    {
        WatchedClock clock;
        Lan lan(clock);
        lan.peer.answer("name?", {"VORNIC 63206A\r\n"}, 400);
        QCoro::waitFor(lan.link.LinkConnect());
        lan.link.clearReply();
        QCoro::waitFor(lan.link.LinkSend(QStringLiteral("name?")));
        // Its time-out held, the wait ends only by the reply's arrival.
        clock.holdTimeouts(true);
        const int pausesBefore = clock.pauses();
        QElapsedTimer wall;
        wall.start();
        QCOMPARE(QCoro::waitFor(lan.link.LinkQuery()), QStringLiteral("VORNIC 63206A"));
        QVERIFY2(wall.elapsed() >= 350, qPrintable(QString::number(wall.elapsed())));
        QCOMPARE(clock.pauses() - pausesBefore, 1);
    }

    // The load takes a LAN line only more than 5 ms after the one before. A reply that comes sooner
    // is read at once, and the line after it waits out the rest of the 5 ms.
    void aReplyEndsThePauseAfterItsLineAndTheNextLineKeepsItsDistance()
    {
        StillClock clock;
        Lan lan(clock);
        lan.peer.answer("MEAS:VC?", {"5,2\r\n"});
        QCoro::waitFor(lan.link.LinkConnect());
        clock.freeze();
        QCOMPARE(QCoro::waitFor(lan.link.ask(QStringLiteral("MEAS:VC?"))), QStringLiteral("5,2"));
        QCOMPARE(clock.waits(), QList<int>{6});

        clock.advance(2);
        bool sent = false;
        // Named, so that what the coroutine captures outlives its suspensions.
        auto sendLoadOn = [&]() -> QCoro::Task<> {
            co_await lan.link.LinkSend(QStringLiteral("LOAD ON"));
            sent = true;
        };
        QCoro::Task<> sending = sendLoadOn();
        QTRY_COMPARE_WITH_TIMEOUT(clock.waits().size(), 2, 30000);
        QCOMPARE(clock.waits().last(), 4);
        QVERIFY(!lan.peer.received().contains("LOAD ON"));
        clock.advance(4);
        lan.peer.push("X\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(lan.peer.received().endsWith("MEAS:VC?\r\nLOAD ON\r\n"), 30000);
        // The line's own pause, which a line from the load ends.
        lan.peer.push("Y\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(sent, 30000);
        QCOMPARE(clock.waits(), (QList<int>{6, 4, 6}));
    }

    // A link taken down while another object waits in it (the window's identification as the
    // program ends) resumes nothing: the waiting caller may be gone already.
    void aLinkTakenDownResumesNoWaitInIt()
    {
        TcpPeer peer;
        TraceList trace;
        ShortPausesHeld clock;
        LinkSettings settings = lanSettings(peer.port());
        auto link = std::make_unique<TransportLink>(
            LinkRole::Load, [&] { return settings; }, clock, trace);
        bool resumed = false;
        auto connectLink = [&]() -> QCoro::Task<> {
            co_await link->LinkConnect();
            resumed = true;
        };
        QCoro::Task<> connecting = connectLink();
        // In the pause after "REM", and past its 5 ms: a wake would end it.
        QTRY_COMPARE_WITH_TIMEOUT(peer.received(), QByteArray("REM\r\n"), 30000);
        QElapsedTimer sinceRem;
        sinceRem.start();
        QTRY_VERIFY_WITH_TIMEOUT(sinceRem.elapsed() > 10, 30000);
        link.reset();
        QCoreApplication::processEvents();
        QVERIFY(!resumed);
    }

    void silentLoadGivesErrRecAfterTenSecondsAndAnEmptyTraceLine()
    {
        FakeClock clock;
        Lan lan(clock);
        QCoro::waitFor(lan.link.LinkConnect());
        const qint64 sent = clock.tickMs();
        QCOMPARE(QCoro::waitFor(lan.link.ask(QStringLiteral("name?"))), ErrRec);
        QVERIFY(clock.tickMs() - sent >= 10000);
        QVERIFY(clock.tickMs() - sent < 10100);
        QCOMPARE(lan.trace.lines().size(), 2);
        QCOMPARE(lan.trace.lines().at(1), QString());
        QCOMPARE(QCoro::waitFor(lan.link.LinkRead()), QString());
    }

    void connectionDroppedDuringAQueryEndsTheWait()
    {
        WatchedClock clock;
        Lan lan(clock);
        QCoro::waitFor(lan.link.LinkConnect());
        QCoro::waitFor(lan.link.LinkSend(QStringLiteral("MEAS:VC?")));
        // Its time-out held, the wait ends only by the drop.
        clock.holdTimeouts(true);
        QTimer::singleShot(100, [&] { lan.peer.dropConnection(); });
        QCOMPARE(QCoro::waitFor(lan.link.LinkQuery()), ErrRec);
    }

    // The off lines after the load closed its end must go over a new connection, not into one
    // that is gone: the close is seen before the event loop has turned.
    void aLoadThatClosedItsEndIsSeenAtOnce()
    {
        Lan lan(SystemClock::instance());
        QCoro::waitFor(lan.link.LinkConnect());
        QVERIFY(lan.link.isConnected());
        lan.peer.dropConnection();
        // Waited for without a turn of the event loop: the close reaches the link by the kernel alone.
        const QDeadlineTimer patience(30000);
        while (lan.link.isConnected() && !patience.hasExpired())
            QThread::yieldCurrentThread();
        QVERIFY(!lan.link.isConnected());
    }

    void unreadDataIsTracedBeforeTheNextCommand_data()
    {
        QTest::addColumn<bool>("deliveredToTheLink");
        QTest::addColumn<QByteArray>("unread");
        QTest::addColumn<QString>("traced");
        QTest::addColumn<QList<QByteArray>>("answer");
        QTest::newRow("waiting in the socket") << false << QByteArray("X\r\n") << "S, X\r\n"
                                               << QList<QByteArray>{"5,2\r\n"};
        // The line began before the question: the rest of it is no answer to it.
        QTest::newRow("a line end still missing")
            << true << QByteArray("12.") << "S, 12." << QList<QByteArray>{"7,1\r\n", "5,2\r\n"};
    }
    void unreadDataIsTracedBeforeTheNextCommand()
    {
        QFETCH(bool, deliveredToTheLink);
        QFETCH(QByteArray, unread);
        QFETCH(QString, traced);
        QFETCH(QList<QByteArray>, answer);
        Lan lan(SystemClock::instance());
        lan.peer.answer("MEAS:VC?", answer);
        QCoro::waitFor(lan.link.LinkConnect());
        lan.peer.pushNow(unread);
        // The bytes are in the link's socket: a turn of the event loop hands them to the link.
        if (deliveredToTheLink)
            QCoreApplication::processEvents();
        QCOMPARE(QCoro::waitFor(lan.link.ask(QStringLiteral("MEAS:VC?"))), QStringLiteral("5,2"));
        QCOMPARE(lan.trace.lines().at(0), traced);
        QVERIFY(lan.trace.lines().at(1).startsWith(QLatin1String("MEAS:VC?,")));
    }

    void connectFailsAfterTheLastRetry()
    {
        quint16 closedPort;
        {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            closedPort = server.serverPort();
        }
        FakeClock clock;
        TraceList trace;
        LinkSettings settings = lanSettings(closedPort);
        TransportLink link(
            LinkRole::Load, [&] { return settings; }, clock, trace);
        QSignalSpy messages(&link, &TransportLink::message);
        QCoro::waitFor(link.LinkConnect());
        // 100 ms, then 1002 retries 10 ms apart, then the 5 ms after the "REM" that cannot go out.
        QCOMPARE(clock.totalWaitedMs(), 101.0 + 1002 * 11.0 + 6.0);
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages.at(0).at(0).toString(), QStringLiteral("Connect Fail!"));
        QCOMPARE(messages.at(1).at(0).toString(), QStringLiteral("Lost Connect!"));
        QVERIFY(trace.lines().isEmpty());
    }

    void lostConnectionIsReportedAndTheRunGoesOn()
    {
        Lan lan(SystemClock::instance());
        QCoro::waitFor(lan.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.received(), QByteArray("REM\r\n"), 30000);
        lan.peer.dropConnection();
        QTRY_VERIFY_WITH_TIMEOUT(!lan.link.isConnected(), 30000);
        QCoro::waitFor(lan.link.LinkSend(QStringLiteral("LOAD OFF")));
        QCOMPARE(lan.messageTexts(), QStringList{QStringLiteral("Lost Connect!")});
        QVERIFY(lan.trace.lines().last().startsWith(QLatin1String("LOAD OFF,")));
        // The next connect starts again from the beginning.
        QCoro::waitFor(lan.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.connections(), 2, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(lan.peer.received().endsWith("REM\r\n"), 30000);
    }

    void generatorQueryAnswersEmptyAtOnce()
    {
        FakeClock clock;
        Lan gen(clock, LinkRole::Generator);
        gen.peer.answer("*idn?", {"VORNIC,AFG3000,1,1.0\r\n"});
        QCoro::waitFor(gen.link.LinkConnect());
        QCoro::waitFor(gen.link.LinkSend(QStringLiteral("*idn?")));
        QTRY_COMPARE_WITH_TIMEOUT(gen.peer.received(), QByteArray("REM\r\n*idn?\r\n"), 30000);
        const double waited = clock.totalWaitedMs();
        QCOMPARE(QCoro::waitFor(gen.link.LinkQuery()), QString());
        QCOMPARE(clock.totalWaitedMs(), waited);
        QCOMPARE(gen.trace.lines().last(), QString());
        // What the generator answered stays unread until its next command.
        QCoro::waitFor(gen.link.LinkSend(QStringLiteral("OUTP ON")));
        QCOMPARE(gen.trace.lines().at(2), QStringLiteral("S, VORNIC,AFG3000,1,1.0\r\n"));
    }

    void otherModesDoNothing()
    {
        FakeClock clock;
        Lan lan(clock);
        lan.settings.ConnectMode = 3;
        QCoro::waitFor(lan.link.LinkConnect());
        QCoro::waitFor(lan.link.LinkSend(QStringLiteral("LOAD ON")));
        QCOMPARE(QCoro::waitFor(lan.link.LinkQuery()), QString());
        QCOMPARE(QCoro::waitFor(lan.link.LinkRead()), QString());
        // A connection of the test's own, begun after those calls: one the link had begun would be
        // taken in before it.
        QTcpSocket after;
        connect(&after, &QTcpSocket::connected, &after, [&after] { after.write("after\n"); });
        after.connectToHost(QHostAddress::LocalHost, lan.peer.port());
        QTRY_COMPARE_WITH_TIMEOUT(lan.peer.received(), QByteArray("after\n"), 30000);
        QCOMPARE(lan.peer.connections(), 1);
        // Nothing is sent or traced, but a query traces its (empty) reply, as on every transport.
        QCOMPARE(lan.trace.lines(), QStringList{QString()});
    }
};

QTEST_GUILESS_MAIN(TestLanLink)
#include "tst_lanlink.moc"
