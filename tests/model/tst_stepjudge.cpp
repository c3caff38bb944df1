#include "model/StepColumns.h"
#include "model/StepJudge.h"
#include "model/TestProgram.h"
#include "model/TestStepFile.h"

#include <QTest>

using namespace StepColumns;

// The judge of every number field of every function: the sample program of all 21 functions is
// accepted as it stands, and each row below changes one of its cells and says what is refused.
class TestStepJudge : public QObject
{
    Q_OBJECT

    static QString sampleProgram()
    {
        return qEnvironmentVariable("VORNIC_TEST_DATA") + QStringLiteral("/all-functions.TSF");
    }

    static LoadRatings ratings(double amps, double volts, double watts)
    {
        const auto known = [](double value) { return value > 0 ? std::optional<double>(value) : std::nullopt; };
        return {known(amps), known(volts), known(watts)};
    }

private Q_SLOTS:
    void sampleProgramIsAccepted_data()
    {
        QTest::addColumn<double>("amps");
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("watts");
        QTest::newRow("no load identified") << 0.0 << 0.0 << 0.0;
        QTest::newRow("the virtual load's 60 A") << 60.0 << 0.0 << 0.0;
        QTest::newRow("60 A, 80 V, 300 W") << 60.0 << 80.0 << 300.0;
    }
    void sampleProgramIsAccepted()
    {
        QFETCH(double, amps);
        QFETCH(double, volts);
        QFETCH(double, watts);
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, sampleProgram()).ok);
        QCOMPARE(program.StepCount(), 22);
        QCOMPARE(StepJudge::texts(StepJudge(ratings(amps, volts, watts)).judgeProgram(program)), QStringList());
    }

    void oneCellChanged_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("amps");
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("watts");
        QTest::addColumn<QStringList>("refusals");
        const auto row = [](const char *name, int step, int column, const char *text, double amps, double volts,
                             double watts, QStringList refusals) {
            QTest::newRow(name) << step << column << QString::fromUtf8(text) << amps << volts << watts << refusals;
        };
        const QStringList none;
        // Discharge (step 1, CC 1 A).
        row("load value with a decimal comma", 1, SinkValue, "1,5", 0, 0, 0,
            {"Step 1, Load Value: \"1,5\" is not a number; use \".\" as the decimal point."});
        row("load value of letters", 1, SinkValue, "abc", 0, 0, 0, {"Step 1, Load Value: \"abc\" is not a number."});
        row("load value with its unit", 1, SinkValue, "3A", 0, 0, 0, {"Step 1, Load Value: \"3A\" is not a number."});
        row("load value infinite", 1, SinkValue, "inf", 0, 0, 0, {"Step 1, Load Value: \"inf\" is not a number."});
        row("blank load value", 1, SinkValue, "", 0, 0, 0, {"Step 1, Load Value: enter a number."});
        row("negative current", 1, SinkValue, "-1", 60, 0, 0, {"Step 1, Load Value: -1 A cannot be negative."});
        row("current beyond any number sent", 1, SinkValue, "1e308", 0, 0, 0,
            {"Step 1, Load Value: 1e308 A is more than 900000000000000 A."});
        row("current above the rating", 1, SinkValue, "60.5", 60, 0, 0,
            {"Step 1, Load Value: 60.5 A is more than the load's rated 60 A."});
        row("current at the rating, exponent form", 1, SinkValue, "6e1", 60, 0, 0, none);
        row("mode none of the four", 1, Mode, "CX", 60, 0, 0, {"Step 1, Load Mode: \"CX\" is none of CC, CR, CV, CP."});
        row("no mode", 1, Mode, "", 60, 0, 0, {"Step 1, Load Mode: choose CC, CR, CV or CP."});
        row("stable time beyond a millisecond timer", 1, StableTime, "1e300", 60, 0, 0,
            {"Step 1, Stable: 1e300 ms is more than 2147483647 ms."});
        row("stable time at the timer's most", 1, StableTime, "2147483647", 60, 0, 0, none);
        row("step time beyond the run's count", 1, TStop, "1e15", 60, 0, 0,
            {"Step 1, Time: 1e15 s is more than 900000000000000 s."});
        row("voltage stop above the rating", 1, VStop, "81", 60, 80, 300,
            {"Step 1, Voltage: 81 V is more than the load's rated 80 V."});
        row("voltage stop, no voltage rating", 1, VStop, "81", 60, 0, 0, none);
        row("current stop above the rating", 1, IStop, "61", 60, 0, 0,
            {"Step 1, Current: 61 A is more than the load's rated 60 A."});
        row("blank stop the run cannot read", 1, IStop, " ", 60, 0, 0, {"Step 1, Current: enter a number."});
        row("negative capacity", 1, AhStop, "-2", 60, 0, 0, {"Step 1, Capacity: -2 Ah cannot be negative."});
        // Normal (step 4, CR 24 Ohm).
        row("resistance of 0", 4, SinkValue, "0", 60, 0, 0, {"Step 4, Sink Value: 0 Ohm must be more than 0 Ohm."});
        row("resistance is no current", 4, SinkValue, "999", 60, 0, 0, none);
        // Rest (step 2).
        row("rest without a time", 2, TStop, "0", 60, 0, 0, {"Step 2, Time: enter a time above 0 s."});
        row("rest with a blank time", 2, TStop, "", 60, 0, 0, {"Step 2, Time: enter a number."});
        // FOR (step 3).
        row("loop count not whole", 3, Times, "2.5", 0, 0, 0, {"Step 3, Times: 2.5 is not a whole number."});
        row("loop count beyond 32 bits", 3, Times, "2147483648", 0, 0, 0,
            {"Step 3, Times: 2147483648 is more than 2147483647."});
        row("negative loop count", 3, Times, "-1", 0, 0, 0, {"Step 3, Times: -1 cannot be negative."});
        // Dynamic (step 5, CC 3 A / 1 A).
        row("dynamic high above the rating", 5, High, "70", 60, 0, 0,
            {"Step 5, High: 70 A is more than the load's rated 60 A."});
        row("dynamic period of 0", 5, THigh, "0", 60, 0, 0, {"Step 5, T-High: 0 ms must be more than 0 ms."});
        row("dynamic slew negative", 5, Rise, "-0.1", 60, 0, 0, {"Step 5, RISE: -0.1 mA/us cannot be negative."});
        row("dynamic fall of 0", 5, Fall, "0", 60, 0, 0, {"Step 5, FALL: 0 mA/us must be more than 0 mA/us."});
        row("dynamic voltage stop blank", 5, VStop, "", 60, 0, 0, {"Step 5, Voltage: enter a number."});
        // Short (step 8, 100 ms).
        row("short of no time", 8, SinkValue, "0", 60, 0, 0, {"Step 8, Short Time: 0 ms must be more than 0 ms."});
        row("short beyond a millisecond timer", 8, SinkValue, "3e9", 60, 0, 0,
            {"Step 8, Short Time: 3e9 ms is more than 2147483647 ms."});
        // OCP (step 9: 0 to 10 A by 0.5 A, Vth 0.6 V, IH 10 A, IL 3 A).
        row("OCP stop below its start", 9, Start, "12", 60, 0, 0,
            {"Step 9, Stop: 10 A is not above the Start of 12 A."});
        row("OCP stop at its start", 9, Start, "10", 60, 0, 0, {"Step 9, Stop: 10 A is not above the Start of 10 A."});
        row("OCP step of 0", 9, Increment, "0", 60, 0, 0, {"Step 9, Step: 0 A must be more than 0 A."});
        row("OCP stop above the rating", 9, EndValue, "70", 60, 0, 0,
            {"Step 9, Stop: 70 A is more than the load's rated 60 A."});
        row("OCP threshold negative", 9, Vth, "-1", 60, 0, 0, {"Step 9, Vth: -1 V cannot be negative."});
        row("OCP threshold above the rated voltage", 9, Vth, "90", 60, 80, 300,
            {"Step 9, Vth: 90 V is more than the load's rated 80 V."});
        row("OCP IL above IH", 9, LimitLow, "11", 60, 0, 0, {"Step 9, IH: 10 A is below IL (11 A)."});
        row("OCP IH equal to IL", 9, LimitLow, "10", 60, 0, 0, none);
        row("OCP IH above the rating", 9, LimitHigh, "70", 60, 0, 0,
            {"Step 9, IH: 70 A is more than the load's rated 60 A."});
        // OPP (step 11: 0 to 100 W by 5 W, WH 100 W, WL 10 W).
        row("OPP stop above the rated power", 11, EndValue, "400", 60, 80, 300,
            {"Step 11, Stop: 400 W is more than the load's rated 300 W."});
        row("OPP WL above WH", 11, LimitLow, "150", 60, 0, 0, {"Step 11, WH: 100 W is below WL (150 W)."});
        row("OPP start blank", 11, Start, "", 60, 0, 0, {"Step 11, Start: enter a number."});
        // Battery RAMP (step 12: 2 sub-steps ;1;2 A, ;1;1 s).
        row("RAMP more sub-steps than its lists", 12, TotalStep, "3", 60, 0, 0,
            {"Step 12, CC(A): the list holds 2 values, 3 needed.",
                "Step 12, Time(s): the list holds 2 values, 3 needed."});
        row("RAMP of no sub-step", 12, TotalStep, "0", 60, 0, 0, {"Step 12, Total Step: 0 is less than 1."});
        row("RAMP beyond its table", 12, TotalStep, "10", 60, 0, 0, {"Step 12, Total Step: 10 is more than 9."});
        row("RAMP sub-step current above the rating", 12, RampCc, ";1;70", 60, 0, 0,
            {"Step 12, CC(A) of sub-step 2: 70 A is more than the load's rated 60 A."});
        row("RAMP sub-step time of letters", 12, RampTime, ";1;x", 60, 0, 0,
            {"Step 12, Time(s) of sub-step 2: \"x\" is not a number."});
        row("RAMP extra values are not sent", 12, RampCc, ";1;2;x", 60, 0, 0, none);
        row("RAMP start above the rating", 12, SinkValue, "61", 60, 0, 0,
            {"Step 12, Start: 61 A is more than the load's rated 60 A."});
        row("RAMP repeat beyond 16 bits", 12, Times, "40000", 60, 0, 0, {"Step 12, Repeat: 40000 is more than 32767."});
        row("RAMP load-off voltage blank", 12, LoadOffV, "", 60, 0, 0, {"Step 12, Load Off Voltage: enter a number."});
        // Battery CC+CV, CP+CV (steps 13, 14).
        row("added CV above the rated voltage", 13, CvAdd, "90", 60, 80, 300,
            {"Step 13, Add CV Value: 90 V is more than the load's rated 80 V."});
        row("CC+CV current above the rating", 13, SinkValue, "61", 60, 0, 0,
            {"Step 13, Sink Value: 61 A is more than the load's rated 60 A."});
        row("CP+CV power above the rating", 14, SinkValue, "400", 60, 80, 300,
            {"Step 14, Sink Value: 400 W is more than the load's rated 300 W."});
        row("CP+CV power, no power rating", 14, SinkValue, "400", 60, 0, 0, none);
        // Battery Discharge CC, CP (steps 15, 16).
        row("discharge capacity negative", 15, AhStop, "-1", 60, 0, 0,
            {"Step 15, Capacity: -1 Ah cannot be negative."});
        row("discharge current of letters", 15, SinkValue, "abc", 60, 0, 0,
            {"Step 15, Current Value: \"abc\" is not a number."});
        row("discharge power above the rating", 16, SinkValue, "301", 60, 80, 300,
            {"Step 16, Power Value: 301 W is more than the load's rated 300 W."});
        // Battery Cycle Life (step 17: one sub-step).
        row("cycle life of no sub-step", 17, High, "", 60, 0, 0, {"Step 17, CCH: the table holds no sub-step."});
        row("cycle life beyond its table", 17, High, ";2;2;2;2", 60, 0, 0,
            {"Step 17, CCH: 4 sub-steps, the table holds at most 3."});
        row("cycle life CCL list short", 17, Low, "", 60, 0, 0, {"Step 17, CCL: the list holds 0 values, 1 needed."});
        row("cycle count not whole", 17, CycleCount, ";2.5", 60, 0, 0,
            {"Step 17, Cycle of sub-step 1: 2.5 is not a whole number."});
        row("cycle high time negative", 17, THigh, ";-1", 60, 0, 0,
            {"Step 17, THigh of sub-step 1: -1 s cannot be negative."});
        row("cycle CCH above the rating", 17, High, ";61", 60, 0, 0,
            {"Step 17, CCH of sub-step 1: 61 A is more than the load's rated 60 A."});
        row("cycle repeat negative", 17, Times, "-1", 60, 0, 0, {"Step 17, Repeat: -1 cannot be negative."});
        // CV with Current / Power Limit (steps 18, 19): cells read leniently, so a blank stop is none.
        row("lenient blank stop", 18, TStop, "", 60, 0, 0, none);
        row("lenient stop of letters", 18, TStop, "abc", 60, 0, 0, {"Step 18, Time: \"abc\" is not a number."});
        row("current limit above the rating", 18, SinkValue, "61", 60, 0, 0,
            {"Step 18, Current Limit: 61 A is more than the load's rated 60 A."});
        row("current limit blank", 18, SinkValue, "", 60, 0, 0, {"Step 18, Current Limit: enter a number."});
        row("CV value negative", 19, CvAdd, "-1", 60, 0, 0, {"Step 19, CV Value: -1 V cannot be negative."});
        row("power limit above the rating", 19, SinkValue, "301", 60, 80, 300,
            {"Step 19, Power Limit: 301 W is more than the load's rated 300 W."});
        // Sequence Load (step 20: CC, 2 sub-steps ;1;2 A, ;100;100 ms).
        row("sequence type neither", 20, Mode, "CX", 60, 0, 0, {"Step 20, Type: \"CX\" is neither CC nor CP."});
        row("sequence of one sub-step", 20, TotalStep, "1", 60, 0, 0, {"Step 20, Total Step: 1 is less than 2."});
        row("sequence repeat beyond the load's counter", 20, Times, "65536", 60, 0, 0,
            {"Step 20, Repeat: 65536 is more than 65535."});
        row("sequence level above the rating", 20, RampCc, ";1;61", 60, 0, 0,
            {"Step 20, CC(A) of sub-step 2: 61 A is more than the load's rated 60 A."});
        row("sequence time beyond a millisecond timer", 20, RampTime, ";100;3e9", 60, 0, 0,
            {"Step 20, Time(ms) of sub-step 2: 3e9 ms is more than 2147483647 ms."});
        row("sequence threshold above the rated voltage", 20, LoadOffV, "81", 60, 80, 300,
            {"Step 20, Vth: 81 V is more than the load's rated 80 V."});
        // Sine Wave Dynamic (step 21: 2 A around, 1 A either side, 60 Hz).
        row("sine peak above the rating", 21, IAc, "59", 60, 0, 0,
            {"Step 21, I_AC: 59 A around I_DC 2 A reaches 61 A, more than the load's rated 60 A."});
        row("sine peak at the rating", 21, IAc, "58", 60, 0, 0, none);
        row("sine frequency of 0", 21, Frequence, "0", 60, 0, 0, {"Step 21, Freq: 0 Hz must be more than 0 Hz."});
        row("sine DC above the rating", 21, IDc, "61", 60, 0, 0,
            {"Step 21, I_DC: 61 A is more than the load's rated 60 A."});
        // CC Dynamic Sweep (step 22).
        row("sweep duty beyond 100 %", 22, Duty, "101", 60, 0, 0, {"Step 22, Duty: 101 % is more than 100 %."});
        row("sweep dwell of 0 in its low column", 22, TLow, "0", 60, 0, 0,
            {"Step 22, DWell: 0 us must be more than 0 us."});
        row("sweep first current above the rating", 22, High, "61", 60, 0, 0,
            {"Step 22, I_DC: 61 A is more than the load's rated 60 A."});
        row("sweep rise of letters", 22, Rise, "fast", 60, 0, 0, {"Step 22, Rise/Fall: \"fast\" is not a number."});
        // A function outside the catalogue is not started, so nothing of it is judged.
        row("unknown function", 1, Function, "Discharge2", 60, 0, 0, none);
    }
    void oneCellChanged()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(double, amps);
        QFETCH(double, volts);
        QFETCH(double, watts);
        QFETCH(QStringList, refusals);
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, sampleProgram()).ok);
        const StepJudge judge(ratings(amps, volts, watts));
        QStringList cells = program.rowCells(row);
        cells[column] = text;
        QCOMPARE(StepJudge::texts(judge.judgeStep(row, cells)), refusals);
        // The step table holds no ",": the editor's typed text alone carries one.
        QCOMPARE(program.setCell(row, column, text), !text.contains(u','));
        if (!text.contains(u','))
            QCOMPARE(StepJudge::texts(judge.judgeProgram(program)), refusals);
    }

    // Several refusals of one step come in the order of its fields; each names its step.
    void everyRefusalOfEveryStep()
    {
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, sampleProgram()).ok);
        program.setCell(1, SinkValue, QStringLiteral("-1"));
        program.setCell(1, StableTime, QStringLiteral("1e300"));
        program.setCell(9, LimitLow, QStringLiteral("20"));
        QCOMPARE(StepJudge::texts(StepJudge(ratings(60, 0, 0)).judgeProgram(program)),
            (QStringList{"Step 1, Load Value: -1 A cannot be negative.",
                "Step 1, Stable: 1e300 ms is more than 2147483647 ms.", "Step 9, IH: 10 A is below IL (20 A)."}));
    }

    // The editor writes its number fields as numbers: a blank stop condition there becomes 0,
    // where the stored blank is refused.
    void blankStopFromTheEditor()
    {
        QStringList cells(TestProgram::ColumnCount);
        cells[Function] = QStringLiteral("Discharge");
        cells[Mode] = QStringLiteral("CC");
        cells[SinkValue] = QStringLiteral("1");
        cells[TStop] = QStringLiteral("10");
        const StepJudge judge;
        QCOMPARE(StepJudge::texts(judge.judgeStep(7, cells, StepJudge::Source::Editor)), QStringList());
        QCOMPARE(StepJudge::texts(judge.judgeStep(7, cells)),
            (QStringList{"Step 7, Voltage: enter a number.", "Step 7, Current: enter a number.",
                "Step 7, Stable: enter a number.", "Step 7, Capacity: enter a number."}));
    }
};

QTEST_GUILESS_MAIN(TestStepJudge)
#include "tst_stepjudge.moc"
