#include "link/LineFraming.h"

#include <QTest>

class TestLineFraming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A serial or GPIB read gives one reply, never a blank one and never two lines in one.
    void replyOfARead_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("a lone LF") << QByteArray("\n") << QByteArray();
        QTest::newRow("a blank line") << QByteArray("\r\n") << QByteArray();
        QTest::newRow("a late reply ahead") << QByteArray("1.0,0.5\r\n12.5,1.0\r\n") << QByteArray("12.5,1.0");
    }
    void replyOfARead()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, reply);
        const std::optional<QByteArray> got = LineFraming::reply(received);
        QCOMPARE(got.has_value(), !reply.isEmpty());
        QCOMPARE(got.value_or(QByteArray()), reply);
    }
};

QTEST_GUILESS_MAIN(TestLineFraming)
#include "tst_lineframing.moc"
