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

    void refusedWhole_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        const QString textComma = "A step cannot hold \",\" (it separates the fields of a test step file): \"Start\". "
                                  "Use \".\" as the decimal point.";
        const QString numberComma = "Load Value: \"1,5\" is not a number; use \".\" as the decimal point.";
        const QString aboveRating = "Load Value: 999 A is more than the load's rated 60 A.";
        for (const char *operation : {"add", "insert", "modify"}) {
            QTest::addRow("%s, comma in a text field", operation) << operation << "OCP"
                                                                  << "OCPStartText"
                                                                  << "1,5" << textComma;
            QTest::addRow("%s, decimal comma in a number field", operation) << operation << "Discharge"
                                                                            << "DiscSinkValueText"
                                                                            << "1,5" << numberComma;
            QTest::addRow("%s, current above the rating", operation) << operation << "Discharge"
                                                                     << "DiscSinkValueText"
                                                                     << "999" << aboveRating;
        }
    }
    void refusedWhole()
    {
        QFETCH(QString, operation);
        QFETCH(QString, function);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        TestProgram program;
        fill(program, 2);
        StepFields fields = step(function);
        fields.texts.insert(field, text);
        const double rated = 60;
        const auto outcome = operation == "add" ? StepTableEdit::add(program, fields, rated)
            : operation == "insert"             ? StepTableEdit::insert(program, 1, fields, rated)
                                                : StepTableEdit::modify(program, 1, fields, rated);
        QVERIFY(!outcome.acted);
        QCOMPARE(outcome.refusal, refusal);
        QCOMPARE(program.StepCount(), 2);
        QCOMPARE(column(program, StepColumns::Function), (QStringList{"Discharge", "Discharge"}));
        QCOMPARE(column(program, StepColumns::SinkValue), (QStringList{"1", "2"}));
        QCOMPARE(program.rowCells(3), QStringList(TestProgram::ColumnCount));
    }

    // Each number field is judged by what it holds and, for a current, by the load's rating; an
    // accepted text is written as its number.
    void numberFieldsJudged_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("rated");
        QTest::addColumn<int>("column");
        // The refusal, or the cell written when the step is accepted.
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("cell");
        const double none = 0;
        const int sink = StepColumns::SinkValue;
        QTest::newRow("letters") << "Discharge"
                                 << "CC"
                                 << "DiscSinkValueText"
                                 << "abc" << none << sink << "Load Value: \"abc\" is not a number."
                                 << "";
        QTest::newRow("unit typed after the number") << "Discharge"
                                                     << "CC"
                                                     << "DiscSinkValueText"
                                                     << "3A" << none << sink << "Load Value: \"3A\" is not a number."
                                                     << "";
        QTest::newRow("blank load value") << "Discharge"
                                          << "CC"
                                          << "DiscSinkValueText"
                                          << " " << none << sink << "Load Value: enter a number."
                                          << "";
        QTest::newRow("negative load value") << "Discharge"
                                             << "CV"
                                             << "DiscSinkValueText"
                                             << "-1" << none << sink << "Load Value: -1 V cannot be negative."
                                             << "";
        QTest::newRow("no load known, any current") << "Discharge"
                                                    << "CC"
                                                    << "DiscSinkValueText"
                                                    << "999" << none << sink << ""
                                                    << "999";
        QTest::newRow("current at the rating") << "Discharge"
                                               << "CC"
                                               << "DiscSinkValueText"
                                               << " 60.0 " << 60.0 << sink << ""
                                               << "60";
        QTest::newRow("resistance is no current") << "Discharge"
                                                  << "CR"
                                                  << "DiscSinkValueText"
                                                  << "999" << 60.0 << sink << ""
                                                  << "999";
        QTest::newRow("no mode selected") << "Discharge"
                                          << ""
                                          << "DiscSinkValueText"
                                          << "999" << 60.0 << sink << ""
                                          << "999";
        QTest::newRow("exponent form") << "Discharge"
                                       << "CC"
                                       << "DiscSinkValueText"
                                       << "1.5e1" << 60.0 << sink << ""
                                       << "15";
        QTest::newRow("Normal current above the rating")
            << "Normal"
            << "CC"
            << "NormalSinkValueText"
            << "60.5" << 60.0 << sink << "Sink Value: 60.5 A is more than the load's rated 60 A."
            << "";
        QTest::newRow("stop current above the rating")
            << "Dynamic"
            << "CC"
            << "DiscIStopText"
            << "61" << 60.0 << int(StepColumns::IStop) << "Current: 61 A is more than the load's rated 60 A."
            << "";
        QTest::newRow("blank stop is no stop") << "Discharge"
                                               << "CC"
                                               << "DiscVStopText"
                                               << "" << 60.0 << int(StepColumns::VStop) << ""
                                               << "0";
        QTest::newRow("negative stop capacity")
            << "Battery Discharge CC"
            << ""
            << "DiscAhStopText"
            << "-2" << 60.0 << int(StepColumns::AhStop) << "Capacity: -2 Ah cannot be negative."
            << "";
        QTest::newRow("short time with a decimal comma")
            << "Short"
            << ""
            << "ShortTimeText"
            << "2,5" << none << sink << "Short Time: \"2,5\" is not a number; use \".\" as the decimal point."
            << "";
        QTest::newRow("step time beyond what it holds")
            << "Rest"
            << ""
            << "DiscTStopText"
            << "1e15" << none << int(StepColumns::TStop) << "Time: 1e15 s is more than 900000000000000 s."
            << "";
        QTest::newRow("loop count not whole")
            << "FOR"
            << ""
            << "ForTimesText"
            << "2.5" << none << int(StepColumns::Times) << "Times: 2.5 is not a whole number."
            << "";
        QTest::newRow("loop count beyond 32 bits")
            << "FOR"
            << ""
            << "ForTimesText"
            << "2147483648" << none << int(StepColumns::Times) << "Times: 2147483648 is more than 2147483647."
            << "";
        QTest::newRow("sequence repeat at its most") << "Sequence Load"
                                                     << ""
                                                     << "SeqRepeatText"
                                                     << "65535" << none << int(StepColumns::Times) << ""
                                                     << "65535";
        QTest::newRow("sequence repeat beyond the load's counter")
            << "Sequence Load"
            << ""
            << "SeqRepeatText"
            << "65536" << none << int(StepColumns::Times) << "Repeat: 65536 is more than 65535."
            << "";
    }
    void numberFieldsJudged()
    {
        QFETCH(QString, function);
        QFETCH(QString, mode);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(double, rated);
        QFETCH(int, column);
        QFETCH(QString, refusal);
        QFETCH(QString, cell);
        TestProgram program;
        StepFields fields = step(function);
        for (const char *modeField : {"DiscLoadMode", "DynaLoadMode", "NormalLoadMode"})
            fields.texts.insert(modeField, mode);
        fields.texts.insert(field, text);
        const auto outcome
            = StepTableEdit::add(program, fields, rated > 0 ? std::optional<double>(rated) : std::nullopt);
        QCOMPARE(outcome.refusal, refusal);
        QCOMPARE(outcome.acted, refusal.isEmpty());
        QCOMPARE(program.StepCount(), refusal.isEmpty() ? 1 : 0);
        QCOMPARE(program.cell(1, column), cell);
    }

    void everyRefusedFieldIsSaid()
    {
        TestProgram program;
        StepFields fields = step(QStringLiteral("Discharge"), QStringLiteral("1,5"));
        fields.texts.insert(QStringLiteral("DiscIStopText"), QStringLiteral("80"));
        const auto outcome = StepTableEdit::add(program, fields, 60);
        QCOMPARE(outcome.refusal,
            QStringLiteral("Load Value: \"1,5\" is not a number; use \".\" as the decimal point.\n"
                           "Current: 80 A is more than the load's rated 60 A."));
    }
};

QTEST_GUILESS_MAIN(TestStepTableEdit)
#include "tst_steptableedit.moc"
