#include "../sim/SimProcess.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"

#include <QCoro/QCoroTask>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The links against the built vornic-sim: over its TCP port, its pseudo-terminal and, through the
// stand-in GPIB library, over "GPIB".
class TestLinkSim : public QObject
{
    Q_OBJECT

    QStringList loggedLines(const QString &logPath)
    {
        QFile log(logPath);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines;
        for (const QByteArray &line : log.readAll().split('\n')) {
            // "L <ms> = <line>": the instrument, the time, and what it received.
            if (!line.isEmpty())
                lines.append(QString::fromLatin1(line).section(QLatin1Char(' '), 2));
        }
        return lines;
    }

private Q_SLOTS:
    void identifiesTheLoadOnEveryTransport_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("logged");
        const QStringList withRem{QStringLiteral("= REM"), QStringLiteral("= name?"), QStringLiteral("= MEAS:VC?")};
        QTest::newRow("LAN") << 2 << QString() << withRem;
        QTest::newRow("LAN, replies in pieces") << 2 << QStringLiteral("split=4") << withRem;
        QTest::newRow("serial on the pty") << 0 << QString() << withRem;
        QTest::newRow("GPIB") << 1 << QString() << withRem.mid(1);
    }
    void identifiesTheLoadOnEveryTransport()
    {
        QFETCH(int, mode);
        QFETCH(QString, fault);
        QFETCH(QStringList, logged);
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("sim.log"));
        QStringList arguments{QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--pty"),
            dir.filePath(QStringLiteral("pty")), QStringLiteral("--model"), QStringLiteral("63206A-150-60"),
            QStringLiteral("--log"), log};
        if (!fault.isEmpty())
            arguments << QStringLiteral("--fault") << fault;
        SimProcess sim(arguments);
        QVERIFY(sim.waitForAnnouncements(2));

        LinkSettings settings;
        settings.ConnectMode = qint16(mode);
        settings.COMPort = dir.filePath(QStringLiteral("pty"));
        settings.LanIP1 = 127;
        settings.LanIP2 = 0;
        settings.LanIP3 = 0;
        settings.LanIP4 = 1;
        settings.LanPort = sim.port(QStringLiteral("load"));
        qputenv("VORNIC_GPIB_STANDIN", QByteArray("127.0.0.1:") + QByteArray::number(settings.LanPort));
        TraceList trace;
        TransportLink link(
            LinkRole::Load, [&] { return settings; }, SystemClock::instance(), trace);
        QCoro::waitFor(link.LinkConnect());
        QCOMPARE(QCoro::waitFor(link.ask(QStringLiteral("name?"))), QStringLiteral("63206A-150-60"));
        const QStringList reading = QCoro::waitFor(link.ask(QStringLiteral("MEAS:VC?"))).split(QLatin1Char(','));
        QCOMPARE(reading.size(), 2);
        QVERIFY(reading.at(0).toDouble() > 10);
        QTRY_COMPARE_WITH_TIMEOUT(loggedLines(log), logged, 30000);
    }
};

QTEST_GUILESS_MAIN(TestLinkSim)
#include "tst_linksim.moc"
