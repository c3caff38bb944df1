#include "editor/StepTableEdit.h"
#include "model/EditorFieldTable.h"
#include "model/FunctionCatalog.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"

#include <QTest>

namespace {

// The editor as it starts: every field of the function and of the stop frame at its default, the
// load modes and the sequence type on "CC".
StepFields step(const QString &function, const QString &sinkValue = QStringLiteral("1"))
{
    StepFields fields;
    fields.function = function;
    const int index = FunctionCatalog::indexOf(function);
    for (const QList<EditorFieldTable::Field> *frame :
        {&EditorFieldTable::fieldsOf(index), &EditorFieldTable::stopFields()}) {
        for (const EditorFieldTable::Field &field : *frame) {
            const bool choice
                = field.kind == EditorFieldTable::Kind::LoadMode || field.kind == EditorFieldTable::Kind::TypeCombo;
            if (choice || field.kind == EditorFieldTable::Kind::Text)
                fields.texts.insert(field.name, choice ? QStringLiteral("CC") : field.defaultText);
        }
    }
    fields.texts.insert(QStringLiteral("DiscSinkValueText"), sinkValue);
    return fields;
}

LoadRatings ratedAmps(double amps) { return {amps > 0 ? std::optional<double>(amps) : std::nullopt, {}, {}}; }

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
        // Add writes the step after the two there, Insert and Modify step 1.
        for (const char *operation : {"add", "insert", "modify"}) {
            const QString step = QStringLiteral("Step %1, ").arg(QLatin1String(operation) == u"add" ? 3 : 1);
            QTest::addRow("%s, comma in a field written as typed", operation)
                << operation << "OCP"
                << "OCPStartText"
                << "1,5" << step + "Start: \"1,5\" is not a number; use \".\" as the decimal point.";
            QTest::addRow("%s, decimal comma in a number field", operation)
                << operation << "Discharge"
                << "DiscSinkValueText"
                << "1,5" << step + "Load Value: \"1,5\" is not a number; use \".\" as the decimal point.";
            QTest::addRow("%s, current above the rating", operation)
                << operation << "Discharge"
                << "DiscSinkValueText"
                << "999" << step + "Load Value: 999 A is more than the load's rated 60 A.";
            QTest::addRow("%s, negative level", operation) << operation << "Discharge"
                                                           << "DiscSinkValueText"
                                                           << "-1" << step + "Load Value: -1 A cannot be negative.";
            QTest::addRow("%s, stable time beyond a timer", operation)
                << operation << "Discharge"
                << "StableTimeText"
                << "1e300" << step + "Stable: 1e300 ms is more than 2147483647 ms.";
            QTest::addRow("%s, OCP stop below its start", operation)
                << operation << "OCP"
                << "OCPStartText"
                << "12" << step + "Stop: 10 A is not above the Start of 12 A.";
            QTest::addRow("%s, sine peak above the rating", operation)
                << operation << "Sine Wave Dynamic"
                << "I_ACText"
                << "41" << step + "I_AC: 41 A around I_DC 20 A reaches 61 A, more than the load's rated 60 A.";
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
        const LoadRatings rated = ratedAmps(60);
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

    // The editor's defaults make a step of every function but the three with sub-step tables,
    // whose total step starts below what they take.
    void defaultsOfEveryFunction()
    {
        for (const QString &function : FunctionCatalog::names()) {
            TestProgram program;
            const auto outcome = StepTableEdit::add(program, step(function), ratedAmps(60));
            const int index = FunctionCatalog::indexOf(function);
            const bool table = index == FunctionCatalog::BatteryRamp || index == FunctionCatalog::SequenceLoad
                || index == FunctionCatalog::BatteryCycleLife;
            QVERIFY2(outcome.acted != table, qPrintable(function + ": " + outcome.refusal));
        }
        TestProgram program;
        QCOMPARE(StepTableEdit::add(program, step("Battery RAMP"), ratedAmps(60)).refusal,
            QStringLiteral("Step 1, Total Step: 0 is less than 1."));
        QCOMPARE(StepTableEdit::add(program, step("Sequence Load"), ratedAmps(60)).refusal,
            QStringLiteral("Step 1, Total Step: 0 is less than 2."));
        QCOMPARE(StepTableEdit::add(program, step("Battery Cycle Life"), ratedAmps(60)).refusal,
            QStringLiteral("Step 1, CCH: the table holds no sub-step."));
    }

    // The sub-step tables are judged value by value, each named by its row label and sub-step.
    void subStepValuesJudged()
    {
        TestProgram program;
        StepFields ramp = step(QStringLiteral("Battery RAMP"));
        ramp.texts.insert(QStringLiteral("RampTotalStepText"), QStringLiteral("2"));
        ramp.ramp.setCell(1, 1, QStringLiteral("1"));
        ramp.ramp.setCell(1, 2, QStringLiteral("70"));
        ramp.ramp.setCell(2, 1, QStringLiteral("10"));
        auto outcome = StepTableEdit::add(program, ramp, ratedAmps(60));
        QCOMPARE(outcome.refusal,
            QStringLiteral("Step 1, CC(A) of sub-step 2: 70 A is more than the load's rated 60 A.\n"
                           "Step 1, Time(s) of sub-step 2: enter a number."));
        ramp.ramp.setCell(1, 2, QStringLiteral("60"));
        ramp.ramp.setCell(2, 2, QStringLiteral("20"));
        QVERIFY(StepTableEdit::add(program, ramp, ratedAmps(60)).acted);
        QCOMPARE(program.cell(1, StepColumns::RampCc), QStringLiteral(";1;60"));

        StepFields cycle = step(QStringLiteral("Battery Cycle Life"));
        for (int column = 1; column <= 5; ++column)
            cycle.cycleLife.setCell(1, column, QStringLiteral("2"));
        cycle.cycleLife.setCell(1, 5, QStringLiteral("2.5"));
        QCOMPARE(StepTableEdit::modify(program, 1, cycle, ratedAmps(60)).refusal,
            QStringLiteral("Step 1, Cycle of sub-step 1: 2.5 is not a whole number."));
        QCOMPARE(program.cell(1, StepColumns::Function), QStringLiteral("Battery RAMP"));
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
                                          << "999" << 60.0 << sink << "Load Mode: choose CC, CR, CV or CP."
                                          << "";
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
        if (function == u"Sequence Load") {
            fields.texts.insert(QStringLiteral("SeqLoadTotalStepText"), QStringLiteral("2"));
            for (int subStep : {1, 2}) {
                fields.sequence.setCell(1, subStep, QStringLiteral("1"));
                fields.sequence.setCell(2, subStep, QStringLiteral("100"));
            }
        }
        fields.texts.insert(field, text);
        const auto outcome = StepTableEdit::add(program, fields, ratedAmps(rated));
        // The step would be the first of the program.
        QCOMPARE(outcome.refusal, refusal.isEmpty() ? refusal : QStringLiteral("Step 1, ") + refusal);
        QCOMPARE(outcome.acted, refusal.isEmpty());
        QCOMPARE(program.StepCount(), refusal.isEmpty() ? 1 : 0);
        QCOMPARE(program.cell(1, column), cell);
    }

    void everyRefusedFieldIsSaid()
    {
        TestProgram program;
        StepFields fields = step(QStringLiteral("Discharge"), QStringLiteral("1,5"));
        fields.texts.insert(QStringLiteral("DiscIStopText"), QStringLiteral("80"));
        const auto outcome = StepTableEdit::add(program, fields, ratedAmps(60));
        QCOMPARE(outcome.refusal,
            QStringLiteral("Step 1, Load Value: \"1,5\" is not a number; use \".\" as the decimal point.\n"
                           "Step 1, Current: 80 A is more than the load's rated 60 A."));
    }
};

QTEST_GUILESS_MAIN(TestStepTableEdit)
#include "tst_steptableedit.moc"
