#include "settings/MeasureOptions.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QList<int> boxes(const MeasureOptions &options)
{
    QList<int> values;
    for (int item = 0; item < MeasureOptions::MeasureItemCount; ++item)
        values.append(options.measureCheck(item));
    return values;
}

} // namespace

class TestMeasureOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void measureItemRule_data()
    {
        QTest::addColumn<QList<int>>("clicks"); // item, value, item, value, ...
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("clearing voltage, current, power leaves voltage")
            << QList<int>{0, 0, 1, 0, 2, 0} << QList<int>{1, 0, 0, 1, 1};
        QTest::newRow("checking power checks voltage and current")
            << QList<int>{0, 0, 1, 0, 2, 0, 0, 0, 2, 1} << QList<int>{1, 1, 1, 1, 1};
        QTest::newRow("voltage cleared after power checked stays clear")
            << QList<int>{2, 0, 2, 1, 0, 0} << QList<int>{0, 1, 1, 1, 1};
        QTest::newRow("power alone is enough") << QList<int>{0, 0, 1, 0} << QList<int>{0, 0, 1, 1, 1};
        QTest::newRow("ah and wh are free") << QList<int>{3, 0, 4, 0} << QList<int>{1, 1, 1, 0, 0};
        QTest::newRow("greyed counts as not checked") << QList<int>{1, 0, 2, 0, 0, 2} << QList<int>{1, 0, 0, 1, 1};
        QTest::newRow("values outside 0 to 2 ignored") << QList<int>{3, 5, 9, 0} << QList<int>{1, 1, 1, 1, 1};
    }
    void measureItemRule()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QList<int>, expected);
        MeasureOptions options;
        for (qsizetype i = 0; i + 1 < clicks.size(); i += 2)
            options.setMeasureCheck(clicks[i], clicks[i + 1]);
        QCOMPARE(boxes(options), expected);
    }

    void checkChangesAreSignalled()
    {
        MeasureOptions options;
        options.setMeasureCheck(MeasureOptions::Voltage, 0);
        options.setMeasureCheck(MeasureOptions::Current, 0);
        options.setMeasureCheck(MeasureOptions::Power, 0);
        QSignalSpy spy(&options, &MeasureOptions::measureCheckChanged);
        options.setMeasureCheck(MeasureOptions::Power, 0);
        QCOMPARE(spy.count(), 0);
        options.setMeasureCheck(MeasureOptions::Power, 1);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0), (QList<QVariant>{2, 1}));
        QCOMPARE(spy.at(1), (QList<QVariant>{1, 1}));
    }

    void leavingTheIntervalBox_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("tick");
        QTest::newRow("below") << "50"
                               << "100" << 100;
        QTest::newRow("above") << "99999"
                               << "60000" << 60000;
        QTest::newRow("lowest as typed") << "100"
                                         << "100" << 100;
        QTest::newRow("highest as typed") << "60000"
                                          << "60000" << 60000;
        QTest::newRow("no number") << "abc"
                                   << "100" << 100;
        QTest::newRow("empty") << ""
                               << "100" << 100;
        QTest::newRow("unit cleaned") << "150ms"
                                      << "150" << 150;
        QTest::newRow("fraction kept, tick to even") << "150.5"
                                                     << "150.5" << 150;
        QTest::newRow("blanks kept") << " 250 "
                                     << " 250 " << 250;
        QTest::newRow("just above") << "60000.5"
                                    << "60000" << 60000;
        QTest::newRow("number in range then junk") << "1000.25 x"
                                                   << "1000.25" << 1000;
    }
    void leavingTheIntervalBox()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, tick);
        MeasureOptions options;
        options.setMeasTimeText(typed);
        QSignalSpy spy(&options, &MeasureOptions::measTimeTextChanged);
        options.applyMeasTimeLimits();
        QCOMPARE(options.measTimeText(), shown);
        QCOMPARE(spy.count(), typed == shown ? 0 : 1);
        QCOMPARE(options.tickIntervalMs(), tick);
    }

    void separator()
    {
        MeasureOptions options;
        QSignalSpy spy(&options, &MeasureOptions::separateTextChanged);
        QCOMPARE(options.fieldSeparator(), QStringLiteral(","));
        options.setSeparateText(QStringLiteral("<Tab>"));
        QCOMPARE(options.fieldSeparator(), QStringLiteral("\t"));
        options.setSeparateText(QStringLiteral("<Tab>"));
        options.setSeparateText(QStringLiteral(" | "));
        QCOMPARE(options.fieldSeparator(), QStringLiteral(" | "));
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMeasureOptions)
#include "tst_measureoptions.moc"
