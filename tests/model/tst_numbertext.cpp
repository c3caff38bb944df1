#include "model/Fixed4.h"
#include "model/NumberText.h"

#include <QTest>
#include <limits>

class TestNumberText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lenient_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("trailing zero") << "1.50" << 1.5;
        QTest::newRow("leading zeros") << "007" << 7.0;
        QTest::newRow("unit after number") << "3V" << 3.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters") << "abc" << 0.0;
        QTest::newRow("milliseconds") << "250ms" << 250.0;
        QTest::newRow("blanks around sign") << "  -2.5 " << -2.5;
        QTest::newRow("blanks inside digits") << "1 2" << 12.0;
        QTest::newRow("exponent") << "1.5E3x" << 1500.0;
        QTest::newRow("negative exponent") << "25e-1" << 2.5;
        QTest::newRow("exponent without digits") << "4E" << 4.0;
        QTest::newRow("second point ends") << "1.2.3" << 1.2;
        QTest::newRow("comma is not a point") << "1,5" << 1.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("plus sign") << "+4" << 4.0;
        QTest::newRow("point at the end") << "5." << 5.0;
        QTest::newRow("negative fraction") << "-.5" << -0.5;
        QTest::newRow("fifteen digits") << "123456789012345" << 123456789012345.0;
        QTest::newRow("seventeen digits round") << "12345678901234567" << 12345678901234568.0;
        QTest::newRow("power 22") << "1.5e21" << 1.5e21;
        QTest::newRow("beyond power 22") << "1e23" << 1e23;
        QTest::newRow("small fraction") << "0.000123" << 0.000123;
        QTest::newRow("negative power beyond 22") << "1e-23" << 1e-23;
    }
    void lenient()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(NumberText::lenient(text), value);
    }

    void strict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "12" << true << 12.0;
        QTest::newRow("fraction") << "2.50" << true << 2.5;
        QTest::newRow("blanks") << " 3 " << true << 3.0;
        QTest::newRow("exponent") << "1E-05" << true << 1e-5;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("unit") << "3V" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("infinity") << "inf" << false << 0.0;
        QTest::newRow("not a number") << "nan" << false << 0.0;
    }
    void strict()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto result = NumberText::strict(text);
        QCOMPARE(result.has_value(), ok);
        if (ok)
            QCOMPARE(*result, value);
    }

    void shortest_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("trailing zeros") << 1.50 << "1.5";
        QTest::newRow("whole") << 60.0 << "60";
        QTest::newRow("half") << 0.5 << "0.5";
        QTest::newRow("negative") << -2.25 << "-2.25";
        QTest::newRow("smallest fixed") << 0.0001 << "0.0001";
        QTest::newRow("below 1E-04") << 0.00001 << "1E-05";
        QTest::newRow("fraction exponent") << 0.000015 << "1.5E-05";
        QTest::newRow("largest fixed") << 999999999999999.0 << "999999999999999";
        QTest::newRow("1E+15") << 1e15 << "1E+15";
        QTest::newRow("fifteen digits") << 0.1 + 0.2 << "0.3";
        QTest::newRow("thirds") << 1.0 / 3.0 << "0.333333333333333";
        QTest::newRow("large exponent") << -1.25e-300 << "-1.25E-300";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "INF";
    }
    void shortest()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText::shortest(value), text);
    }

    void roundHalfEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits16");
        QTest::addColumn<int>("int16");
        QTest::addColumn<bool>("fits32");
        QTest::addColumn<int>("int32");
        QTest::newRow("2.5 down") << 2.5 << true << 2 << true << 2;
        QTest::newRow("3.5 up") << 3.5 << true << 4 << true << 4;
        QTest::newRow("-2.5 down") << -2.5 << true << -2 << true << -2;
        QTest::newRow("2.6 nearest") << 2.6 << true << 3 << true << 3;
        QTest::newRow("16-bit top") << 32767.0 << true << 32767 << true << 32767;
        QTest::newRow("beyond 16 bits") << 32768.0 << false << 0 << true << 32768;
        QTest::newRow("port 65535") << 65535.0 << false << 0 << true << 65535;
        QTest::newRow("beyond 32 bits") << 3e9 << false << 0 << false << 0;
    }
    void roundHalfEven()
    {
        QFETCH(double, value);
        QFETCH(bool, fits16);
        QFETCH(int, int16);
        QFETCH(bool, fits32);
        QFETCH(int, int32);
        const auto r16 = NumberText::toInt16(value);
        const auto r32 = NumberText::toInt32(value);
        QCOMPARE(r16.has_value(), fits16);
        QCOMPARE(r32.has_value(), fits32);
        if (fits16)
            QCOMPARE(int(*r16), int16);
        if (fits32)
            QCOMPARE(int(*r32), int32);
    }

    void formats_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("fourDecimals");
        QTest::addColumn<double>("eightDecimals");
        QTest::newRow("rated 60") << 60.0 / 60000 << "0.0010" << 0.001;
        QTest::newRow("rated 960") << 960.0 / 60000 << "0.0160" << 0.016;
        QTest::newRow("one amp-second") << 1.0 / 3600 << "0.0003" << 0.00027778;
        QTest::newRow("zero") << 0.0 << "0.0000" << 0.0;
        QTest::newRow("negative small") << -0.00001 << "0.0000" << -0.00001;
        QTest::newRow("half at the ninth decimal") << 0.001953125 << "0.0020" << 0.00195313;
        QTest::newRow("negative half at the ninth decimal") << -0.001953125 << "-0.0020" << -0.00195313;
        QTest::newRow("below half a unit") << 2.5e-9 << "0.0000" << 0.0;
        QTest::newRow("many decimals") << 12.345678949 << "12.3457" << 12.34567895;
    }
    void formats()
    {
        QFETCH(double, value);
        QFETCH(QString, fourDecimals);
        QFETCH(double, eightDecimals);
        QCOMPARE(NumberText::fixedFourDecimals(value), fourDecimals);
        QCOMPARE(NumberText::roundToEightDecimals(value), eightDecimals);
    }

    void fixed4_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("rounds to four") << 12.34567 << qint64(123457) << "12.3457";
        QTest::newRow("whole") << 60.0 << qint64(600000) << "60";
        QTest::newRow("short time") << 0.123456 << qint64(1235) << "0.1235";
        QTest::newRow("interval") << 250.5 << qint64(2505000) << "250.5";
        QTest::newRow("negative") << -0.5 << qint64(-5000) << "-0.5";
        QTest::newRow("smallest") << 0.0001 << qint64(1) << "0.0001";
    }
    void fixed4()
    {
        QFETCH(double, value);
        QFETCH(qint64, count);
        QFETCH(QString, text);
        const auto fixed = Fixed4::fromDouble(value);
        QVERIFY(fixed);
        QCOMPARE(fixed->count(), count);
        QCOMPARE(fixed->toText(), text);
    }

    void fixed4CountsDownExactly()
    {
        Fixed4 left = *Fixed4::fromDouble(10);
        const Fixed4 interval = *Fixed4::fromDouble(0.1);
        for (int i = 0; i < 100; ++i)
            left = left - interval;
        QCOMPARE(left.count(), qint64(0));
        QVERIFY(!Fixed4::fromDouble(qInf()));
        QVERIFY(!Fixed4::fromDouble(1e20));
    }
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
