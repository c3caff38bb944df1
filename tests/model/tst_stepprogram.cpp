#include "model/FunctionCatalog.h"
#include "model/PackedList.h"
#include "model/StepColumns.h"
#include "model/StepLayout.h"
#include "model/StepRowBuilder.h"
#include "model/TestProgram.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// The editor's defaults for the fields the rows below use.
StepFields defaults(const QString &function)
{
    StepFields fields;
    fields.function = function;
    fields.texts = {
        {QStringLiteral("DiscLoadMode"), QStringLiteral("CC")},
        {QStringLiteral("DiscSinkValueText"), QStringLiteral("1")},
        {QStringLiteral("DiscVStopText"), QStringLiteral("0")},
        {QStringLiteral("DiscIStopText"), QStringLiteral("0")},
        {QStringLiteral("DiscTStopText"), QStringLiteral("10")},
        {QStringLiteral("StableTimeText"), QStringLiteral("0")},
        {QStringLiteral("DiscAhStopText"), QStringLiteral("0")},
        {QStringLiteral("OCPStartText"), QStringLiteral("0")},
        {QStringLiteral("OCPStepText"), QStringLiteral("0.1")},
        {QStringLiteral("OCPStopText"), QStringLiteral("10")},
        {QStringLiteral("OCPVthText"), QStringLiteral("0.6")},
        {QStringLiteral("OCPIhText"), QStringLiteral("10")},
        {QStringLiteral("OCPIlText"), QStringLiteral("3")},
    };
    return fields;
}

} // namespace

class TestStepProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newProgramHasHeaderAndBlankRow()
    {
        TestProgram program;
        QCOMPARE(program.gridRowCount(), 2);
        QCOMPARE(program.StepCount(), 0);
        QCOMPARE(program.rowCells(0), StepColumns::headers());
        QCOMPARE(StepColumns::headers().size(), 32);
        QCOMPARE(program.cell(0, 9), QStringLiteral("Step"));
        QCOMPARE(program.cell(0, 10), QStringLiteral("Stop"));
        QCOMPARE(FunctionCatalog::names().size(), 21);
        QCOMPARE(FunctionCatalog::indexOf(QStringLiteral("CC Dynamic Sweep")), 20);
    }

    void buildStepRow_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QStringList>("overrides"); // field=value pairs
        QTest::addColumn<QStringList>("expected"); // column=value pairs
        QTest::newRow("discharge 1.50 CC")
            << "Discharge" << QStringList{"DiscSinkValueText=1.50"}
            << QStringList{"1=Discharge", "2=CC", "3=1.5", "4=0", "30=0", "5=10", "31=0", "6=0"};
        QTest::newRow("discharge without mode leaves column 2")
            << "Discharge" << QStringList{"DiscLoadMode="} << QStringList{"2=old"};
        QTest::newRow("number cells lenient")
            << "Discharge" << QStringList{"DiscSinkValueText=3V", "DiscTStopText=abc"} << QStringList{"3=3", "5=0"};
        QTest::newRow("OCP end value in 9, increment in 10")
            << "OCP" << QStringList{} << QStringList{"8=0", "9=10", "10=0.1", "11=0.6", "12=10", "13=3"};
        QTest::newRow("text cells as typed") << "OCP" << QStringList{"OCPStartText= 0.50"} << QStringList{"8= 0.50"};
        QTest::newRow("rest keeps old columns") << "Rest" << QStringList{} << QStringList{"1=Rest", "3=old", "5=10"};
        QTest::newRow("loop writes only its name") << "LOOP" << QStringList{} << QStringList{"1=LOOP", "2=old"};
        QTest::newRow("unknown name writes column 1") << "Nope" << QStringList{} << QStringList{"1=Nope", "3=old"};
    }
    void buildStepRow()
    {
        QFETCH(QString, function);
        QFETCH(QStringList, overrides);
        QFETCH(QStringList, expected);
        TestProgram program;
        program.setGridRowCount(3);
        for (int column = 2; column < 32; ++column)
            program.setCell(1, column, QStringLiteral("old"));
        StepFields fields = defaults(function);
        for (const QString &pair : overrides)
            fields.texts[pair.section(u'=', 0, 0)] = pair.section(u'=', 1);
        QCOMPARE(BuildStepRow(program, 1, fields), QString());
        for (const QString &pair : expected)
            QCOMPARE(program.cell(1, pair.section(u'=', 0, 0).toInt()), pair.section(u'=', 1));
    }

    void packedLists()
    {
        TestProgram program;
        program.setGridRowCount(3);
        StepFields ramp;
        ramp.function = QStringLiteral("Battery RAMP");
        ramp.texts[QStringLiteral("RampTotalStepText")] = QStringLiteral("3");
        for (int i = 1; i <= 4; ++i) {
            ramp.ramp.setCell(1, i, QString::number(i));
            ramp.ramp.setCell(2, i, QString::number(10 * i));
        }
        QCOMPARE(BuildStepRow(program, 1, ramp), QString());
        QCOMPARE(program.cell(1, 23), QStringLiteral(";1;2;3"));
        QCOMPARE(program.cell(1, 24), QStringLiteral(";10;20;30"));
        QCOMPARE(program.cell(1, 25), QStringLiteral("3"));

        StepFields cycle;
        cycle.function = QStringLiteral("Battery Cycle Life");
        for (int column = 1; column <= 5; ++column) {
            cycle.cycleLife.setCell(1, column, QString::number(column));
            cycle.cycleLife.setCell(3, column, QStringLiteral("9"));
        }
        QCOMPARE(BuildStepRow(program, 1, cycle), QString());
        QCOMPARE(program.cell(1, 14), QStringLiteral(";1"));
        QCOMPARE(program.cell(1, 22), QStringLiteral(";5"));
        QCOMPARE(PackedList::values(program.cell(1, 14)), QStringList{QStringLiteral("1")});
        QCOMPARE(PackedList::split(QStringLiteral(";1;2;0.5")), (QStringList{"", "1", "2", "0.5"}));
        QVERIFY(PackedList::values(QString()).isEmpty());
    }

    void commaNeverReachesACell()
    {
        TestProgram program;
        program.setGridRowCount(3);
        QVERIFY(!program.setCell(1, 3, QStringLiteral("1,5")));
        StepFields fields = defaults(QStringLiteral("OCP"));
        fields.texts[QStringLiteral("OCPVthText")] = QStringLiteral("0,6");
        const QString refusal = BuildStepRow(program, 1, fields);
        QVERIFY(refusal.contains(QStringLiteral("OCPVthText")));
        QCOMPARE(program.cell(1, 1), QString());
        QCOMPARE(program.cell(1, 8), QString());
    }

    void rowOperations()
    {
        TestProgram program;
        QSignalSpy counts(&program, &TestProgram::stepCountChanged);
        program.setGridRowCount(5);
        for (int row = 1; row <= 3; ++row) {
            program.setCell(row, 0, QString::number(row));
            program.setCell(row, 1, QStringLiteral("F%1").arg(row));
        }
        program.insertGridRow(2);
        program.renumber(2, program.StepCount());
        QCOMPARE(program.StepCount(), 4);
        QCOMPARE(program.rowCells(3).mid(0, 2), (QStringList{"3", "F2"}));
        program.swapStepCells(3, 4);
        QCOMPARE(program.rowCells(3).mid(0, 2), (QStringList{"3", "F3"}));
        program.removeGridRow(1);
        program.renumber(1, program.StepCount());
        QCOMPARE(program.StepCount(), 3);
        QCOMPARE(program.cell(1, 0), QStringLiteral("1"));
        program.removeGridRow(program.StepCount() + 1); // the blank row is never removed
        QCOMPARE(program.gridRowCount(), 5);
        QCOMPARE(counts.last().first().toInt(), 3);

        program.HighlightStepRow(2);
        program.HighlightStepRow(3);
        QVERIFY(program.isHighlighted(2) && program.isHighlighted(3));
        QCOMPARE(program.index(1, 0).data(TestProgram::HighlightRole).toBool(), false);
        QCOMPARE(program.index(1, 1).data(TestProgram::HighlightRole).toBool(), true);
        program.ClearStepRowHighlight(2);
        QVERIFY(!program.isHighlighted(2));
    }
};

QTEST_GUILESS_MAIN(TestStepProgram)
#include "tst_stepprogram.moc"
