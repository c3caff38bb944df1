#include "editor/StepTableEdit.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"

#include <QTest>

namespace {

StepFields step(const QString &function, const QString &sinkValue = QStringLiteral("1"))
{
    StepFields fields;
    fields.function = function;
    fields.texts = {{QStringLiteral("DiscLoadMode"), QStringLiteral("CC")},
        {QStringLiteral("DiscSinkValueText"), sinkValue}, {QStringLiteral("DiscTStopText"), QStringLiteral("10")}};
    return fields;
}

// A program of `count` Discharge steps whose load values are 1..count, so moves can be followed.
void fill(TestProgram &program, int count)
{
    for (int i = 1; i <= count; ++i)
        StepTableEdit::add(program, step(QStringLiteral("Discharge"), QString::number(i)));
}

QStringList column(const TestProgram &program, int column)
{
    QStringList cells;
    for (int row = 1; row <= program.StepCount(); ++row)
        cells.append(program.cell(row, column));
    return cells;
}

} // namespace

class TestStepTableEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addOnEmptyProgram()
    {
        TestProgram program;
        const auto outcome = StepTableEdit::add(program, step(QStringLiteral("Discharge")));
        QVERIFY(outcome.acted);
        QCOMPARE(program.StepCount(), 1);
        QCOMPARE(program.gridRowCount(), 3);
        QCOMPARE(program.rowCells(1).mid(0, 7), (QStringList{"1", "Discharge", "CC", "1", "0", "10", "0"}));
        QCOMPARE(program.rowCells(2), QStringList(TestProgram::ColumnCount));
    }

    void insertRenumbers()
    {
        TestProgram program;
        fill(program, 3);
        const auto outcome = StepTableEdit::insert(program, 2, step(QStringLiteral("Rest")));
        QVERIFY(outcome.acted);
        QCOMPARE(column(program, StepColumns::StepNo), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(column(program, StepColumns::Function), (QStringList{"Discharge", "Rest", "Discharge", "Discharge"}));
        QCOMPARE(column(program, StepColumns::SinkValue), (QStringList{"1", "", "2", "3"}));
        // The cursor ends on the last renumbered row.
        QCOMPARE(outcome.currentRow, 4);
    }

    void outOfRangeDoesNothing_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("row");
        QTest::newRow("insert on blank row") << "insert" << 4;
        QTest::newRow("insert on header") << "insert" << 0;
        QTest::newRow("modify on blank row") << "modify" << 4;
        QTest::newRow("remove on blank row") << "remove" << 4;
        QTest::newRow("remove on header") << "remove" << 0;
        QTest::newRow("move down last") << "down" << 3;
        QTest::newRow("move up first") << "up" << 1;
        QTest::newRow("move up blank row") << "up" << 4;
        QTest::newRow("move down blank row") << "down" << 4;
        QTest::newRow("add without function") << "add-empty" << 1;
        QTest::newRow("insert without function") << "insert-empty" << 1;
        QTest::newRow("modify without function") << "modify-empty" << 1;
    }
    void outOfRangeDoesNothing()
    {
        QFETCH(QString, operation);
        QFETCH(int, row);
        TestProgram program;
        fill(program, 3);
        QList<QStringList> before;
        for (int r = 0; r < program.gridRowCount(); ++r)
            before.append(program.rowCells(r));
        const StepFields rest = step(QStringLiteral("Rest"));
        const StepFields none = step(QString());
        StepTableEdit::Outcome outcome;
        if (operation == "insert")
            outcome = StepTableEdit::insert(program, row, rest);
        else if (operation == "modify")
            outcome = StepTableEdit::modify(program, row, rest);
        else if (operation == "remove")
            outcome = StepTableEdit::remove(program, row);
        else if (operation == "down")
            outcome = StepTableEdit::moveDown(program, row);
        else if (operation == "up")
            outcome = StepTableEdit::moveUp(program, row);
        else if (operation == "add-empty")
            outcome = StepTableEdit::add(program, none);
        else if (operation == "insert-empty")
            outcome = StepTableEdit::insert(program, row, none);
        else
            outcome = StepTableEdit::modify(program, row, none);
        QVERIFY(!outcome.acted);
        QCOMPARE(outcome.currentRow, -1);
        QCOMPARE(program.gridRowCount(), int(before.size()));
        for (int r = 0; r < program.gridRowCount(); ++r)
            QCOMPARE(program.rowCells(r), before.at(r));
    }

    void modifyKeepsNumberAndUnwrittenColumns()
    {
        TestProgram program;
        fill(program, 2);
        QVERIFY(StepTableEdit::modify(program, 2, step(QStringLiteral("Rest"))).acted);
        QCOMPARE(program.rowCells(2).mid(0, 6), (QStringList{"2", "Rest", "CC", "2", "0", "10"}));
    }

    void removeRenumbers()
    {
        TestProgram program;
        fill(program, 3);
        const auto outcome = StepTableEdit::remove(program, 1);
        QVERIFY(outcome.acted);
        QCOMPARE(column(program, StepColumns::StepNo), (QStringList{"1", "2"}));
        QCOMPARE(column(program, StepColumns::SinkValue), (QStringList{"2", "3"}));
        QCOMPARE(program.gridRowCount(), 4);
    }

    void movesExchangeAndFollowTheStep()
    {
        TestProgram program;
        fill(program, 3);
        auto outcome = StepTableEdit::moveDown(program, 1);
        QCOMPARE(outcome.currentRow, 2);
        outcome = StepTableEdit::moveDown(program, outcome.currentRow);
        QCOMPARE(outcome.currentRow, 3);
        QCOMPARE(column(program, StepColumns::SinkValue), (QStringList{"2", "3", "1"}));
        QCOMPARE(column(program, StepColumns::StepNo), (QStringList{"1", "2", "3"}));
        outcome = StepTableEdit::moveUp(program, 3);
        QCOMPARE(outcome.currentRow, 2);
        QCOMPARE(column(program, StepColumns::SinkValue), (QStringList{"2", "1", "3"}));
    }

    void commaRefusedWhole_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("add") << "add";
        QTest::newRow("insert") << "insert";
        QTest::newRow("modify") << "modify";
    }
    void commaRefusedWhole()
    {
        QFETCH(QString, operation);
        TestProgram program;
        fill(program, 2);
        StepFields fields = step(QStringLiteral("OCP"));
        fields.texts.insert(QStringLiteral("OCPStartText"), QStringLiteral("1,5"));
        const auto outcome = operation == "add" ? StepTableEdit::add(program, fields)
            : operation == "insert"             ? StepTableEdit::insert(program, 1, fields)
                                                : StepTableEdit::modify(program, 1, fields);
        QVERIFY(!outcome.acted);
        QVERIFY2(outcome.refusal.contains(QStringLiteral(": \"Start\".")), qPrintable(outcome.refusal));
        QCOMPARE(program.StepCount(), 2);
        QCOMPARE(column(program, StepColumns::Function), (QStringList{"Discharge", "Discharge"}));
        QCOMPARE(program.rowCells(3), QStringList(TestProgram::ColumnCount));
    }
};

QTEST_GUILESS_MAIN(TestStepTableEdit)
#include "tst_steptableedit.moc"
