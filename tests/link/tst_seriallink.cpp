#include "FakeClock.h"
#include "PtyPeer.h"
#include "WatchedClock.h"
#include "link/SerialTransport.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"
#include "model/Fixed4.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Serial
{
    explicit Serial(Clock &clock = SystemClock::instance())
        : link(
            LinkRole::Load, [this] { return settings; }, clock, trace),
          messages(&link, &TransportLink::message)
    {
        settings.ConnectMode = 0;
        settings.COMPort = peer.slavePath();
    }

    PtyPeer peer;
    LinkSettings settings;
    TraceList trace;
    TransportLink link;
    QSignalSpy messages;
};

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void portNames_data()
    {
        QTest::addColumn<QString>("comPort");
        QTest::addColumn<QString>("device");
        QTest::newRow("1") << "1"
                           << "/dev/ttyS0";
        QTest::newRow("3") << "3"
                           << "/dev/ttyS2";
        QTest::newRow("leading number") << "4x"
                                        << "/dev/ttyS3";
        QTest::newRow("usb path") << "/dev/ttyUSB0"
                                  << "/dev/ttyUSB0";
        QTest::newRow("pty path") << "/dev/pts/7"
                                  << "/dev/pts/7";
        QTest::newRow("tty name") << "ttyACM0"
                                  << "ttyACM0";
        QTest::newRow("0") << "0"
                           << "";
        QTest::newRow("negative") << "-2"
                                  << "";
        QTest::newRow("COM3") << "COM3"
                              << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void portNames()
    {
        QFETCH(QString, comPort);
        QFETCH(QString, device);
        QCOMPARE(SerialTransport::deviceName(comPort).value_or(QString()), device);
    }

    void connectSendsRemAndCommandsEndWithCrLf_data()
    {
        // A pseudo-terminal has no modem lines: setting RTS fails there and must not count.
        QTest::addColumn<qint16>("handShake");
        QTest::newRow("none") << qint16(0);
        QTest::newRow("XON/XOFF") << qint16(1);
        QTest::newRow("RTS/CTS") << qint16(2);
        QTest::newRow("RTS/CTS and XON/XOFF") << qint16(3);
    }
    void connectSendsRemAndCommandsEndWithCrLf()
    {
        QFETCH(qint16, handShake);
        Serial serial;
        QVERIFY(serial.peer.isValid());
        serial.settings.HandShake = handShake;
        QCoro::waitFor(serial.link.LinkConnect());
        QVERIFY(serial.messages.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(serial.peer.received(), QByteArray("REM\r\n"), 30000);
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("CURR:HIGH 5")));
        QTRY_COMPARE_WITH_TIMEOUT(serial.peer.received(), QByteArray("REM\r\nCURR:HIGH 5\r\n"), 30000);
        // Every connect reopens the port and says "REM" again.
        QCoro::waitFor(serial.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(serial.peer.received(), QByteArray("REM\r\nCURR:HIGH 5\r\nREM\r\n"), 30000);
        QCOMPARE(serial.trace.lines().size(), 1);
    }

    void replyRules_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("waitsOutTheTimeout");
        QTest::newRow("OK CR LF") << QList<QByteArray>{"OK\r\n"} << "OK" << false;
        QTest::newRow("OK LF") << QList<QByteArray>{"OK\n"} << "OK" << false;
        QTest::newRow("OK CR") << QList<QByteArray>{"OK\r"} << "OK" << false;
        QTest::newRow("split, CR") << QList<QByteArray>{"12.", "5,2\r"} << "12.5,2" << false;
        QTest::newRow("lone CR") << QList<QByteArray>{"\r"} << ErrRec << false;
        QTest::newRow("too long") << QList<QByteArray>{QByteArray(3000, '1')} << ErrRec << false;
        QTest::newRow("1 LF") << QList<QByteArray>{"1\n"} << "1" << false;
        QTest::newRow("split") << QList<QByteArray>{"12.", "5,2\r\n"} << "12.5,2" << false;
        QTest::newRow("lone LF") << QList<QByteArray>{"\n"} << ErrRec << false;
        QTest::newRow("five without LF") << QList<QByteArray>{"ABCDE"} << "ABCDE" << true;
        QTest::newRow("silent") << QList<QByteArray>{} << ErrRec << true;
    }
    void replyRules()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, reply);
        QFETCH(bool, waitsOutTheTimeout);
        WatchedClock clock;
        Serial serial(clock);
        serial.peer.answer("Q?", pieces, 30);
        QCoro::waitFor(serial.link.LinkConnect());
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("Q?")));
        // A reply that ends the wait does so with the time-out held; that a time-out ends it once
        // its time has passed, and not later, is silentPortEndsTheWaitAtItsTimeout's.
        clock.holdTimeouts(!waitsOutTheTimeout);
        QElapsedTimer wall;
        wall.start();
        QCOMPARE(QCoro::waitFor(serial.link.LinkQuery()), reply);
        if (waitsOutTheTimeout)
            QVERIFY2(wall.elapsed() >= 990, qPrintable(QString::number(wall.elapsed())));
        QCOMPARE(serial.trace.lines().last(), reply == ErrRec ? QString() : reply);
    }

    void silentPortEndsTheWaitAtItsTimeout()
    {
        FakeClock clock;
        Serial serial(clock);
        QCoro::waitFor(serial.link.LinkConnect());
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("Q?")));
        const qint64 sent = clock.tickMs();
        QCOMPARE(QCoro::waitFor(serial.link.LinkQuery()), ErrRec);
        QCOMPARE(clock.tickMs() - sent, qint64(SerialTransport::ReplyTimeoutMs));
    }

    void readGivesTheReplyWithoutATraceLine()
    {
        Serial serial;
        serial.peer.answer("MEAS:VC?", {"12.5,2\r\n"}, 30);
        QCoro::waitFor(serial.link.LinkConnect());
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("MEAS:VC?")));
        QCOMPARE(QCoro::waitFor(serial.link.LinkRead()), QStringLiteral("12.5,2"));
        QCOMPARE(serial.trace.lines().size(), 1);
    }

    void bytesReceivedBeforeACommandAreDiscarded()
    {
        Serial serial;
        serial.peer.answer("name?", {"63206A\r\n"}, 30);
        QCoro::waitFor(serial.link.LinkConnect());
        serial.peer.pushNow("stale\r\n");
        QCOMPARE(QCoro::waitFor(serial.link.ask(QStringLiteral("name?"))), QStringLiteral("63206A"));
    }

    void portVanishingDuringAReadGivesErrRec()
    {
        WatchedClock clock;
        auto serial = std::make_unique<Serial>(clock);
        QCoro::waitFor(serial->link.LinkConnect());
        QCoro::waitFor(serial->link.LinkSend(QStringLiteral("Q?")));
        // Its time-out held, the read ends only by the port's vanishing.
        clock.holdTimeouts(true);
        QTimer::singleShot(100, [&] { serial->peer.close(); });
        QCOMPARE(QCoro::waitFor(serial->link.LinkRead()), ErrRec);
        QCOMPARE(serial->trace.lines().size(), 2);
        QVERIFY(serial->trace.lines().at(1).contains(QLatin1String("read ")));
    }

    // A silent port's wait is one sleep to the time-out, never a poll. What waiting costs in CPU is
    // for the benchmarks.
    void waitingSleeps()
    {
        WatchedClock clock;
        Serial serial(clock);
        QCoro::waitFor(serial.link.LinkConnect());
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("Q?")));
        const int pausesBefore = clock.pauses();
        QCOMPARE(QCoro::waitFor(serial.link.LinkQuery()), ErrRec);
        QCOMPARE(clock.pauses() - pausesBefore, 1);
    }

    void portThatCannotOpenIsReportedOnce()
    {
        FakeClock clock;
        Serial serial(clock);
        serial.settings.COMPort = QStringLiteral("/dev/vornic-no-such-port");
        QCoro::waitFor(serial.link.LinkConnect());
        QCOMPARE(serial.messages.size(), 1);
        QCOMPARE(serial.messages.at(0).at(0).toString(), QStringLiteral("Please check COM Port is correct?"));
        QVERIFY(serial.trace.lines().isEmpty());
        // A write tries the port again, records the failure and returns; the command is still traced.
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("LOAD ON")));
        QCOMPARE(serial.trace.lines().size(), 2);
        const QStringList record = serial.trace.lines().at(0).split(QLatin1Char(','));
        QCOMPARE(record.size(), 3);
        QCOMPARE(record.at(0), QStringLiteral("2026-12-07 12:00:00"));
        QVERIFY(record.at(1).toInt() > 0);
        QVERIFY(record.at(2).contains(QLatin1String("/dev/vornic-no-such-port")));
        QVERIFY(serial.trace.lines().at(1).startsWith(QLatin1String("LOAD ON,")));
        QCOMPARE(QCoro::waitFor(serial.link.LinkQuery()), QString());
        QCOMPARE(serial.messages.size(), 1);
    }

    void portNumberZeroDoesNothing()
    {
        FakeClock clock;
        Serial serial(clock);
        serial.settings.COMPort = QStringLiteral("0");
        QCoro::waitFor(serial.link.LinkConnect());
        QVERIFY(serial.messages.isEmpty());
        QVERIFY(serial.trace.lines().isEmpty());
        QVERIFY(serial.peer.received().isEmpty());
    }

    // The handshake as the terminal holds it once the port is open.
    void handShakeModes_data()
    {
        QTest::addColumn<int>("handShake");
        QTest::addColumn<bool>("xonXoff");
        QTest::addColumn<bool>("rtsCts");
        QTest::newRow("none") << 0 << false << false;
        QTest::newRow("XON/XOFF") << 1 << true << false;
        QTest::newRow("RTS/CTS") << 2 << false << true;
        QTest::newRow("both") << 3 << true << true;
    }
    void handShakeModes()
    {
        QFETCH(int, handShake);
        QFETCH(bool, xonXoff);
        QFETCH(bool, rtsCts);
        Serial serial;
        serial.settings.HandShake = handShake;
        QCoro::waitFor(serial.link.LinkConnect());
        QVERIFY(serial.messages.isEmpty());
        const int fd = ::open(serial.peer.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        termios settings{};
        QCOMPARE(::tcgetattr(fd, &settings), 0);
        ::close(fd);
        QCOMPARE((settings.c_iflag & IXON) != 0 && (settings.c_iflag & IXOFF) != 0, xonXoff);
        QCOMPARE((settings.c_cflag & CRTSCTS) != 0, rtsCts);
    }

    void sendTraceLineCarriesTheRunState()
    {
        FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(12, 34, 56, 520)));
        Serial serial(clock);
        serial.link.setTraceFields([] {
            return TraceFields{3, Fixed4::fromCount(600000).toText(), QStringLiteral("Discharge")};
        });
        QCoro::waitFor(serial.link.LinkConnect());
        QCoro::waitFor(serial.link.LinkSend(QStringLiteral("LOAD ON")));
        QCOMPARE(serial.trace.lines(), QStringList{QStringLiteral("LOAD ON,3,60,45296.52,Discharge")});
    }

    void sendTraceLineFormat_data()
    {
        QTest::addColumn<qint64>("tStopCount");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("line");
        QTest::newRow("fraction of a second left") << qint64(125000) << 45296.52 << "X,3,12.5,45296.52,Rest";
        QTest::newRow("seven digits at most") << qint64(0) << 86399.987 << "X,3,0,86399.98,Rest";
        QTest::newRow("whole second") << qint64(30000) << 7.0 << "X,3,3,7,Rest";
        QTest::newRow("just after midnight") << qint64(1) << 0.001 << "X,3,0.0001,0.001,Rest";
    }
    void sendTraceLineFormat()
    {
        QFETCH(qint64, tStopCount);
        QFETCH(double, seconds);
        QFETCH(QString, line);
        const TraceFields fields{3, Fixed4::fromCount(tStopCount).toText(), QStringLiteral("Rest")};
        QCOMPARE(TransportLink::sendTraceLine(QStringLiteral("X"), fields, seconds), line);
        QCOMPARE(TransportLink::sendTraceLine(QStringLiteral("X"), TraceFields(), 7.0), QStringLiteral("X,0,0,7,"));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
