#include "FakeLink.h"
#include "link/ConnectInstruments.h"

#include <QTest>

class TestConnectInstruments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generatorOnlyWhenEnabled_data()
    {
        QTest::addColumn<bool>("afgEnable");
        QTest::newRow("disabled") << false;
        QTest::newRow("enabled") << true;
    }
    void generatorOnlyWhenEnabled()
    {
        QFETCH(bool, afgEnable);
        FakeLink load;
        FakeLink generator;
        ConnectInstruments(load, generator, afgEnable);
        QCOMPARE(load.connects(), 1);
        QCOMPARE(generator.connects(), afgEnable ? 1 : 0);
        QVERIFY(generator.sent().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConnectInstruments)
#include "tst_connectinstruments.moc"
