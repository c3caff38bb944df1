#include "run/MeasureReply.h"

#include <QTest>

// A reply to "MEAS:VC?" is a reading only as two finite numbers around one comma, within the
// load's bounds; its digits are what the log shows.
class TestMeasureReply : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void grammar_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("reading");
        QTest::addColumn<QString>("voltage");
        QTest::addColumn<QString>("current");
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("amps");
        QTest::newRow("plain") << "12.5,2" << true << "12.5"
                               << "2" << 12.5 << 2.0;
        QTest::newRow("blanks around") << " 1.5 , 2 " << true << "1.5"
                                       << "2" << 1.5 << 2.0;
        QTest::newRow("tabs, a line end left on") << "\t12.50,\t1.000\r\n"
                                                  << true << "12.50"
                                                  << "1.000" << 12.5 << 1.0;
        QTest::newRow("exponent") << "1e3,2" << true << "1e3"
                                  << "2" << 1000.0 << 2.0;
        QTest::newRow("exponent with sign") << "+1.25E+01,-2.5e-3" << true << "+1.25E+01"
                                            << "-2.5e-3" << 12.5 << -0.0025;
        QTest::newRow("point first, point last") << ".5,5." << true << ".5"
                                                 << "5." << 0.5 << 5.0;
        QTest::newRow("zero") << "0,0" << true << "0"
                              << "0" << 0.0 << 0.0;
        QTest::newRow("at the ceilings") << "-1200,120" << true << "-1200"
                                         << "120" << -1200.0 << 120.0;
        const auto refused = [](const char *name, const QString &reply) {
            QTest::newRow(name) << reply << false << QString() << QString() << 0.0 << 0.0;
        };
        refused("letters", "abc,def");
        refused("nan", "nan,nan");
        refused("inf", "inf,-inf");
        refused("semicolon inside", "12,5;1,0");
        refused("three fields", "1,2,3");
        refused("formula", "=cmd|x,1");
        refused("formula in the current", "1,=1+1");
        refused("one field", "12.5");
        refused("empty", "");
        refused("ErrRec", "ErrRec");
        refused("empty current", "12.5,");
        refused("unit after", "12.5V,2A");
        refused("hex", "0x10,1");
        refused("blank inside a number", "1 2,3");
        refused("two points", "1.2.3,1");
        refused("sign alone", "-,1");
        refused("point alone", ".,1");
        refused("bare exponent", "e3,1");
        refused("exponent without digits", "1e,1");
        refused("decimal comma", "12,5,2");
        refused("escape", "\x1b[2J12,1");
        refused("nul", QString::fromLatin1("12\0,1", 5));
        refused("line end inside", "12\r\n,1");
        refused("overflow", "1e999,1");
        refused("above the voltage ceiling", "1200.01,1");
        refused("above twice the rating", "12,120.001");
        refused("below minus twice the rating", "12,-121");
        refused("longer than 64", QStringLiteral("12.5,2") + QString(59, u' '));
        refused("full-width digits", QStringLiteral("\uff11\uff12,1"));
    }
    void grammar()
    {
        QFETCH(QString, reply);
        QFETCH(bool, reading);
        QFETCH(QString, voltage);
        QFETCH(QString, current);
        QFETCH(double, volts);
        QFETCH(double, amps);
        const std::optional<MeasureReply> read = MeasureReply::read(reply, MeasureReply::Bounds::forRatedCurrent("60"));
        QCOMPARE(read.has_value(), reading);
        if (!read)
            return;
        QCOMPARE(read->voltage, voltage);
        QCOMPARE(read->current, current);
        QCOMPARE(read->volts, volts);
        QCOMPARE(read->amps, amps);
    }

    void bounds_data()
    {
        QTest::addColumn<QString>("rated");
        QTest::addColumn<double>("amps");
        QTest::newRow("60 A") << "60" << 120.0;
        QTest::newRow("2000 A") << "2000" << 4000.0;
        QTest::newRow("not known") << "" << MeasureReply::UnratedCurrentCeiling;
        QTest::newRow("not a number") << "60A" << MeasureReply::UnratedCurrentCeiling;
        QTest::newRow("zero") << "0" << MeasureReply::UnratedCurrentCeiling;
    }
    void bounds()
    {
        QFETCH(QString, rated);
        QFETCH(double, amps);
        const MeasureReply::Bounds bounds = MeasureReply::Bounds::forRatedCurrent(rated);
        QCOMPARE(bounds.amps, amps);
        QCOMPARE(bounds.volts, MeasureReply::VoltageCeiling);
    }

    // Without a rating, a reading is bounded by the largest there is.
    void unratedBounds_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("reading");
        QTest::newRow("4000 A") << "12,4000" << true;
        QTest::newRow("above 4000 A") << "12,4000.1" << false;
        QTest::newRow("above 1200 V") << "1201,1" << false;
        QTest::newRow("not two numbers") << "12,5;1,0" << false;
    }
    void unratedBounds()
    {
        QFETCH(QString, reply);
        QFETCH(bool, reading);
        QCOMPARE(MeasureReply::read(reply).has_value(), reading);
    }
};

QTEST_GUILESS_MAIN(TestMeasureReply)
#include "tst_measurereply.moc"
