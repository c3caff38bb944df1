#include "TcpPeer.h"
#include "link/GpibLibrary.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Runs against the stand-in libgpib.so.0 (found through LD_LIBRARY_PATH), which forwards each
// device to the line-based peer named by VORNIC_GPIB_STANDIN.
namespace {

struct Gpib
{
    explicit Gpib(GpibLibrary &library = GpibLibrary::instance(), LinkRole role = LinkRole::Load)
        : link(
            role, [this] { return settings; }, SystemClock::instance(), trace, library),
          messages(&link, &TransportLink::message)
    {
        settings.ConnectMode = 1;
        settings.Address = 5;
        qputenv("VORNIC_GPIB_STANDIN", QByteArray("127.0.0.1:") + QByteArray::number(peer.port()));
    }

    TcpPeer peer;
    LinkSettings settings;
    TraceList trace;
    TransportLink link;
    QSignalSpy messages;
};

} // namespace

class TestGpibLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY2(GpibLibrary::instance().load(), qPrintable(GpibLibrary::instance().loadError())); }

    // The board and the address of the settings, no secondary address, 1 s, EOI, no EOS. The
    // stand-in has board 0 only, as a bench whose linux-gpib configures one.
    void deviceOpenedOnTheBoardOfTheSettings_data()
    {
        QTest::addColumn<qint16>("board");
        QTest::addColumn<QByteArray>("call");
        QTest::addColumn<int>("connections");
        QTest::addColumn<QString>("address");
        QTest::newRow("board 0") << qint16(0) << QByteArray("ibdev 0 5 0 11 11 1\n") << 1 << "GPIB address 5";
        QTest::newRow("board 3, not configured")
            << qint16(3) << QByteArray("ibdev 3 5 0 11 11 1\n") << 0 << "GPIB board 3 address 5";
    }
    void deviceOpenedOnTheBoardOfTheSettings()
    {
        QFETCH(qint16, board);
        QFETCH(QByteArray, call);
        QFETCH(int, connections);
        QFETCH(QString, address);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("ibdev.log"));
        qputenv("VORNIC_GPIB_STANDIN_LOG", log.toLocal8Bit());
        Gpib gpib;
        gpib.settings.BoardNo = board;
        QCoro::waitFor(gpib.link.LinkConnect());
        qunsetenv("VORNIC_GPIB_STANDIN_LOG");
        QFile calls(log);
        QVERIFY(calls.open(QIODevice::ReadOnly));
        QCOMPARE(calls.readAll(), call);
        QTRY_COMPARE_WITH_TIMEOUT(gpib.peer.connections(), connections, 30000);
        // Where the messages say the load was looked for.
        QCOMPARE(gpib.link.address(), address);
    }

    void commandsGoOutBareWithoutRem()
    {
        Gpib gpib;
        QCoro::waitFor(gpib.link.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(gpib.peer.connections(), 1, 30000);
        QCoro::waitFor(gpib.link.LinkSend(QStringLiteral("LOAD ON")));
        // The stand-in ends each GPIB write with LF for its line-based peer: one LF means the link
        // sent the bare text.
        QTRY_COMPARE_WITH_TIMEOUT(gpib.peer.received(), QByteArray("LOAD ON\n"), 30000);
        QVERIFY(gpib.messages.isEmpty());
        QCOMPARE(gpib.trace.lines().size(), 1);
    }

    void replyRules_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("timesOut");
        QTest::newRow("OK CR LF") << QList<QByteArray>{"OK\r\n"} << "OK" << false;
        QTest::newRow("OK LF") << QList<QByteArray>{"OK\n"} << "OK" << false;
        QTest::newRow("OK CR") << QList<QByteArray>{"OK\r"} << "OK" << false;
        QTest::newRow("1 LF") << QList<QByteArray>{"1\n"} << "1" << false;
        QTest::newRow("split") << QList<QByteArray>{"12.", "5,2\n"} << "12.5,2" << false;
        QTest::newRow("split, CR") << QList<QByteArray>{"12.", "5,2\r"} << "12.5,2" << false;
        // More than the 256 bytes a read takes: the read holds a reply cut short.
        QTest::newRow("too long") << QList<QByteArray>{QByteArray(300, '1') + "\r\n"} << ErrRec << false;
        QTest::newRow("silent") << QList<QByteArray>{} << ErrRec << true;
    }
    void replyRules()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, reply);
        QFETCH(bool, timesOut);
        Gpib gpib;
        gpib.peer.answer("name?", pieces, 20);
        QCoro::waitFor(gpib.link.LinkConnect());
        // The window keeps running while the library blocks in its read.
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer wall;
        wall.start();
        QCOMPARE(QCoro::waitFor(gpib.link.ask(QStringLiteral("name?"))), reply);
        if (timesOut) {
            // The time-out is the library's own, from the code ibdev was given (11: 1 s, as
            // commandsGoOutBareWithoutRem sees): it did not come early.
            QVERIFY2(wall.elapsed() >= 950, qPrintable(QString::number(wall.elapsed())));
            // A blocked event loop would give one late tick at most.
            QVERIFY2(ticks >= 2, qPrintable(QString::number(ticks)));
        }
        QCOMPARE(gpib.trace.lines().last(), reply == ErrRec ? QString() : reply);
    }

    void generatorAtTheSameAddressGetsItsOwnDevice()
    {
        Gpib load;
        TraceList trace;
        TransportLink generator(
            LinkRole::Generator, [&] { return load.settings; }, SystemClock::instance(), trace);
        QCoro::waitFor(load.link.LinkConnect());
        QCoro::waitFor(generator.LinkConnect());
        QTRY_COMPARE_WITH_TIMEOUT(load.peer.connections(), 2, 30000);
        load.peer.answer("*idn?", {"VORNIC,AFG3000,1,1.0\n"});
        QCoro::waitFor(generator.LinkSend(QStringLiteral("*idn?")));
        QCOMPARE(QCoro::waitFor(generator.LinkQuery()), QStringLiteral("VORNIC,AFG3000,1,1.0"));
    }

    void missingLibraryIsReportedAtEachConnectAndReadsAreErrRec()
    {
        GpibLibrary missing(QStringLiteral("libgpib-vornic-missing.so.0"));
        Gpib gpib(missing);
        QCoro::waitFor(gpib.link.LinkConnect());
        QCoro::waitFor(gpib.link.LinkConnect());
        QCOMPARE(gpib.messages.size(), 2);
        QVERIFY(gpib.messages.at(0).at(0).toString().contains(QLatin1String("libgpib.so.0")));
        QCoro::waitFor(gpib.link.LinkSend(QStringLiteral("name?")));
        QCOMPARE(QCoro::waitFor(gpib.link.LinkQuery()), ErrRec);
        QCOMPARE(QCoro::waitFor(gpib.link.LinkRead()), ErrRec);
        QCOMPARE(gpib.peer.connections(), 0);
        QCOMPARE(gpib.messages.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestGpibLink)
#include "tst_gpiblink.moc"
