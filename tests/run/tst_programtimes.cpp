#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "run/ProgramTimes.h"

#include <QTest>

using Times = QList<std::optional<double>>;
Q_DECLARE_METATYPE(Times)

// How long a program's steps run, where their times tell it: the step time of each row, and the
// rows after it together.
class TestProgramTimes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void times_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<Times>("stepSeconds");
        QTest::addColumn<Times>("secondsAfter");
        // Each step: "Function,time stop,voltage stop,capacity stop".
        QTest::newRow("rests and time-only discharges")
            << QStringList{"Rest,4,,", "Discharge,10,0,0", "Rest,2,5,"} << Times{4, 10, 2} << Times{12, 2, 0};
        QTest::newRow("a voltage stop leaves the end unknown until it is passed") << QStringList{"Rest,4,,",
            "Discharge,600,3.0,0", "Rest,2,,"} << Times{4, std::nullopt, 2} << Times{std::nullopt, 2, 0};
        QTest::newRow("a capacity stop, no time, a loop, an OCP")
            << QStringList{"Discharge,60,0,1.5", "Rest,0,,", "LOOP,,,", "OCP,,,"}
            << Times{std::nullopt, std::nullopt, std::nullopt, std::nullopt}
            << Times{std::nullopt, std::nullopt, std::nullopt, 0};
        QTest::newRow("the program ends at its first empty row") << QStringList{"Rest,1,,", ",,,",
            "OCP,,,"} << Times{1, std::nullopt, std::nullopt} << Times{0, std::nullopt, 0};
    }
    void times()
    {
        QFETCH(QStringList, steps);
        QFETCH(Times, stepSeconds);
        QFETCH(Times, secondsAfter);
        TestProgram program;
        program.setGridRowCount(int(steps.size()) + 2);
        for (int row = 1; row <= steps.size(); ++row) {
            const QStringList cells = steps.at(row - 1).split(u',');
            const QList<int> columns{
                StepColumns::Function, StepColumns::TStop, StepColumns::VStop, StepColumns::AhStop};
            for (qsizetype k = 0; k < columns.size(); ++k)
                program.setCell(row, columns.at(k), cells.at(k));
        }
        Times foundStep, foundAfter;
        for (int row = 1; row <= steps.size(); ++row) {
            foundStep.append(ProgramTimes::stepSeconds(program, row));
            foundAfter.append(ProgramTimes::secondsAfter(program, row));
        }
        QCOMPARE(foundStep, stepSeconds);
        QCOMPARE(foundAfter, secondsAfter);
    }
};

QTEST_GUILESS_MAIN(TestProgramTimes)
#include "tst_programtimes.moc"
