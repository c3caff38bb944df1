#include "link/SystemClock.h"
#include "link/TraceList.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

class TestTraceList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsNewestInViewAndClearsAtTopIndex3000()
    {
        TraceList list;
        for (int i = 0; i <= TraceList::ClearAtTopIndex; ++i)
            list.TraceLine(QString::number(i));
        QCOMPARE(list.lines().size(), 3001);
        QCOMPARE(list.topIndex(), 3000);
        QCOMPARE(list.lines().last(), QStringLiteral("3000"));
        list.TraceLine(QStringLiteral("lost"));
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(list.topIndex(), 0);
        list.TraceLine(QStringLiteral("again"));
        QCOMPARE(list.lines(), QStringList{QStringLiteral("again")});
    }

    void waitReturnsAfterTheTimeNotBefore_data()
    {
        QTest::addColumn<double>("ms");
        QTest::newRow("0") << 0.0;
        QTest::newRow("1") << 1.0;
        QTest::newRow("100") << 100.0;
        QTest::newRow("250.5") << 250.5;
    }
    void waitReturnsAfterTheTimeNotBefore()
    {
        QFETCH(double, ms);
        SystemClock &clock = SystemClock::instance();
        const qint64 start = clock.tickMs();
        QCoro::waitFor(clock.waitMs(ms));
        const qint64 waited = clock.tickMs() - start;
        QVERIFY2(double(waited) > ms, qPrintable(QString::number(waited)));
        QVERIFY2(double(waited) < ms + 40, qPrintable(QString::number(waited)));
    }

    void waitServesEventsAndCostsNoCpu()
    {
        bool fired = false;
        QTimer::singleShot(50, [&] { fired = true; });
        const std::clock_t cpuStart = std::clock();
        QCoro::waitFor(SystemClock::instance().waitMs(500));
        const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        QVERIFY(fired);
        QVERIFY2(cpuMs < 50, qPrintable(QStringLiteral("CPU %1 ms while waiting 500 ms").arg(cpuMs)));
    }
};

QTEST_GUILESS_MAIN(TestTraceList)
#include "tst_tracelist.moc"
