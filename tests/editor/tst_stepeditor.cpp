#include "editor/StepButtonColumn.h"
#include "editor/StepEditor.h"
#include "editor/SubStepTable.h"
#include "model/FunctionCatalog.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

struct Fixture
{
    TestProgram program;
    StepEditor editor{&program};
    QStringList messages;

    Fixture()
    {
        editor.setMessageFunction([this](const QString &text) { messages.append(text); });
    }

    // A row written straight into the table, as a loaded file would give it.
    int addRow(const QHash<int, QString> &cells)
    {
        program.setGridRowCount(program.gridRowCount() + 1);
        const int row = program.StepCount();
        program.setCell(row, 0, QString::number(row));
        for (auto it = cells.begin(); it != cells.end(); ++it)
            program.setCell(row, it.key(), it.value());
        return row;
    }
};

const QStringList stopFieldNames{"DiscVStopText", "DiscIStopText", "DiscTStopText", "StableTimeText", "DiscAhStopText"};

} // namespace

class TestStepEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stopConditionPerFunction_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QStringList>("shown");
        const QStringList all = stopFieldNames;
        QTest::newRow("Discharge") << "Discharge" << all;
        QTest::newRow("Dynamic Off") << "Dynamic Off" << all;
        QTest::newRow("CC Dynamic Sweep") << "CC Dynamic Sweep" << all;
        QTest::newRow("Sequence Load") << "Sequence Load" << all;
        QTest::newRow("Rest") << "Rest" << QStringList{"DiscTStopText"};
        QTest::newRow("Short") << "Short" << QStringList{"DiscTStopText", "StableTimeText"};
        QTest::newRow("CV with Power Limit") << "CV with Power Limit" << QStringList{"DiscTStopText", "StableTimeText"};
        for (const char *hidden : {"FOR", "LOOP", "OCP", "OPP", "Battery RAMP", "Battery Cycle Life"})
            QTest::newRow(hidden) << hidden << QStringList{};
    }
    void stopConditionPerFunction()
    {
        QFETCH(QString, function);
        QFETCH(QStringList, shown);
        Fixture f;
        f.editor.show();
        QVERIFY(f.editor.chooseFunction("Rest"));
        QVERIFY(f.editor.chooseFunction(function));
        const int index = FunctionCatalog::indexOf(function);
        for (int i = 0; i < FunctionCatalog::Count; ++i)
            QCOMPARE(f.editor.funcFrame(i)->isVisible(), i == index);
        QCOMPARE(f.editor.funcFrame(index)->title(), function);
        QCOMPARE(f.editor.stopFrame()->isVisible(), !shown.isEmpty());
        for (const QString &field : stopFieldNames)
            QCOMPARE(f.editor.isStopFieldShown(field), shown.contains(field));
    }

    void unitLabelsFollowLoadMode_data()
    {
        QTest::addColumn<QString>("modeField");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("units");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Dynamic CR") << "DynaLoadMode" << 1 << QStringList{"DyncHUnitLabel", "DyncLUnitLabel"} << "Ohm";
        QTest::newRow("Discharge CV") << "DiscLoadMode" << 2 << QStringList{"DiscUnitLabel"} << "V";
        QTest::newRow("Normal CP") << "NormalLoadMode" << 3 << QStringList{"NormalUnitLabel"} << "W";
    }
    void unitLabelsFollowLoadMode()
    {
        QFETCH(QString, modeField);
        QFETCH(int, mode);
        QFETCH(QStringList, units);
        QFETCH(QString, expected);
        Fixture f;
        for (const QString &unit : units)
            QCOMPARE(f.editor.unitText(unit), QStringLiteral("A"));
        auto *option = f.editor.findChild<QAbstractButton *>(modeField + QString::number(mode));
        QVERIFY(option);
        option->click();
        QCOMPARE(f.editor.loadModeText(modeField), option->text());
        for (const QString &unit : units)
            QCOMPARE(f.editor.unitText(unit), expected);
    }

    void defaultDischargeStepAsStored()
    {
        Fixture f;
        QVERIFY(f.editor.chosenFunction().isEmpty());
        QVERIFY(!f.editor.addStep().acted);
        QVERIFY(f.editor.chooseFunction("Discharge"));
        QVERIFY(f.editor.addStep().acted);
        QVERIFY(f.editor.chooseFunction("Rest"));
        QVERIFY(f.editor.addStep().acted);
        QCOMPARE(f.program.rowCells(1).join(','), QStringLiteral("1,Discharge,CC,1,0,10,0,,,,,,,,,,,,,,,,,,,,,,,,0,0"));
        QCOMPARE(f.program.rowCells(2).join(','), QStringLiteral("2,Rest,,,,10,,,,,,,,,,,,,,,,,,,,,,,,,,"));
    }

    void commaInFieldIsRefusedAndSaid_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("caption");
        QTest::newRow("OCP Stop") << "OCP"
                                  << "OCPStopText"
                                  << "Stop";
        QTest::newRow("OCP Vth") << "OCP"
                                 << "OCPVthText"
                                 << "Vth";
        QTest::newRow("stop condition Voltage") << "Dynamic"
                                                << "DiscVStopText"
                                                << "Voltage";
    }
    void commaInFieldIsRefusedAndSaid()
    {
        QFETCH(QString, function);
        QFETCH(QString, field);
        QFETCH(QString, caption);
        Fixture f;
        QVERIFY(f.editor.chooseFunction(function));
        f.editor.setFieldText(field, "1,5");
        QVERIFY(!f.editor.addStep().acted);
        QCOMPARE(f.program.StepCount(), 0);
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(
            f.messages.first(), "Step 1, " + caption + ": \"1,5\" is not a number; use \".\" as the decimal point.");
    }

    // The ratings identification found last are the ones the editor judges by, on Add, Insert
    // and Modify alike.
    void valuesJudgedByTheIdentifiedRatings_data()
    {
        QTest::addColumn<QList<LoadRatings>>("ratings");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("loadValue");
        // The refusal with the step's number left to fill in.
        QTest::addColumn<QString>("message");
        const LoadRatings amps60{60.0, {}, {}};
        const LoadRatings full{60.0, 80.0, 300.0};
        const QString above = "Step %1, Load Value: 999 A is more than the load's rated 60 A.";
        QTest::newRow("rated 60 A") << QList<LoadRatings>{amps60} << "CC"
                                    << "999" << above;
        QTest::newRow("at the rating") << QList<LoadRatings>{amps60} << "CC"
                                       << "60" << QString();
        QTest::newRow("no load identified") << QList<LoadRatings>{} << "CC"
                                            << "999" << QString();
        QTest::newRow("load gone silent") << QList<LoadRatings>{amps60, {}} << "CC"
                                          << "999" << QString();
        QTest::newRow("another load") << QList<LoadRatings>{{1000.0, {}, {}}, amps60} << "CC"
                                      << "999" << above;
        QTest::newRow("voltage above the rated voltage")
            << QList<LoadRatings>{full} << "CV"
            << "81" << QString("Step %1, Load Value: 81 V is more than the load's rated 80 V.");
        QTest::newRow("power above the rated power")
            << QList<LoadRatings>{full} << "CP"
            << "301" << QString("Step %1, Load Value: 301 W is more than the load's rated 300 W.");
        QTest::newRow("voltage, no voltage rating") << QList<LoadRatings>{amps60} << "CV"
                                                    << "81" << QString();
        QTest::newRow("negative level, no load") << QList<LoadRatings>{} << "CV"
                                                 << "-1" << QString("Step %1, Load Value: -1 V cannot be negative.");
        QTest::newRow("decimal comma, no load")
            << QList<LoadRatings>{} << "CC"
            << "1,5" << QString("Step %1, Load Value: \"1,5\" is not a number; use \".\" as the decimal point.");
    }
    void valuesJudgedByTheIdentifiedRatings()
    {
        QFETCH(QList<LoadRatings>, ratings);
        QFETCH(QString, mode);
        QFETCH(QString, loadValue);
        QFETCH(QString, message);
        Fixture f;
        for (const LoadRatings &rating : ratings)
            f.editor.setRatings(rating);
        QVERIFY(f.editor.chooseFunction("Discharge"));
        QVERIFY(f.editor.addStep().acted);
        f.editor.selectLoadMode("DiscLoadMode", int(QStringList{"CC", "CR", "CV", "CP"}.indexOf(mode)));
        f.editor.setFieldText("DiscSinkValueText", loadValue);
        const bool accepted = message.isEmpty();
        QCOMPARE(f.editor.modifyStep(1).acted, accepted);
        QCOMPARE(f.editor.insertStep(1).acted, accepted);
        QCOMPARE(f.editor.addStep().acted, accepted);
        const QStringList said = accepted ? QStringList() : QStringList{message.arg(1), message.arg(1), message.arg(2)};
        QCOMPARE(f.messages, said);
        QCOMPARE(f.program.StepCount(), accepted ? 3 : 1);
        QCOMPARE(f.program.cell(1, StepColumns::SinkValue), accepted ? loadValue : QStringLiteral("1"));
    }

    void buttonsActOnTheViewCursor()
    {
        Fixture f;
        QTableView view;
        view.setModel(&f.program);
        f.editor.setStepView(&view);
        StepButtonColumn buttons;
        buttons.connectTo(&f.editor);
        QCOMPARE(buttons.moveDnCommand()->toolTip(), QStringLiteral("Move Down Step"));
        QCOMPARE(buttons.addIntoCommand()->toolTip(), QStringLiteral("Addition New Step"));
        QVERIFY(!buttons.openCommand()->icon().isNull());
        for (QToolButton *button : buttons.findChildren<QToolButton *>()) {
            QVERIFY(!button->icon().isNull());
            QVERIFY(!button->toolTip().isEmpty());
        }

        QVERIFY(f.editor.chooseFunction("Discharge"));
        for (const char *value : {"1", "2", "3"}) {
            f.editor.setFieldText("DiscSinkValueText", value);
            buttons.addIntoCommand()->click();
        }
        QCOMPARE(f.program.StepCount(), 3);
        view.setCurrentIndex(f.program.index(0, 1));
        buttons.moveDnCommand()->click();
        QCOMPARE(view.currentIndex().row(), 1);
        buttons.moveDnCommand()->click();
        QCOMPARE(view.currentIndex().row(), 2);
        QCOMPARE(f.program.cell(3, 3), QStringLiteral("1"));

        view.setCurrentIndex(f.program.index(1, 0));
        QVERIFY(f.editor.chooseFunction("LOOP"));
        buttons.insertCommand()->click();
        QCOMPARE(f.program.cell(2, 1), QStringLiteral("LOOP"));
        QCOMPARE(f.program.StepCount(), 4);
        QCOMPARE(view.currentIndex().row(), 3);

        buttons.removeCommand()->click();
        QCOMPARE(f.program.StepCount(), 3);
        view.setCurrentIndex(f.program.index(0, 0));
        QVERIFY(f.editor.chooseFunction("Dynamic Off"));
        buttons.modifyCommand()->click();
        QCOMPARE(f.program.cell(1, 1), QStringLiteral("Dynamic Off"));
        QCOMPARE(f.program.cell(1, 0), QStringLiteral("1"));
    }

    void loadBackRamp()
    {
        Fixture f;
        f.editor.rampGrid()->setCellText(1, 3, "keep");
        const int row = f.addRow({{1, "Battery RAMP"}, {3, "0.5"}, {23, ";1;2"}, {24, ";10;20"}, {25, "7"}});
        f.editor.setFieldText("RampTotalStepText", "5");
        f.editor.rampGrid()->setSubStepCount(1);
        QVERIFY(f.editor.loadStepBack(row));
        QCOMPARE(f.editor.chosenFunction(), QStringLiteral("Battery RAMP"));
        QVERIFY(f.editor.funcFrame(FunctionCatalog::BatteryRamp)->isVisibleTo(&f.editor));
        QCOMPARE(f.editor.fieldText("RampTotalStepText"), QStringLiteral("2"));
        QCOMPARE(f.editor.fieldText("RampStartText"), QStringLiteral("0.5"));
        QCOMPARE(f.editor.rampGrid()->cellText(1, 1), QStringLiteral("1"));
        QCOMPARE(f.editor.rampGrid()->cellText(1, 2), QStringLiteral("2"));
        QCOMPARE(f.editor.rampGrid()->cellText(2, 2), QStringLiteral("20"));
        QCOMPARE(f.editor.rampGrid()->subStepCount(), 2);
        QVERIFY(f.messages.isEmpty());
    }

    void loadBackCvWithCurrentLimit()
    {
        Fixture f;
        const int row = f.addRow({{1, "CV with Current Limit"}, {3, "12"}, {21, "48.5"}, {5, "30"}, {31, "200"}});
        QVERIFY(f.editor.loadStepBack(row));
        QCOMPARE(f.editor.fieldText("CVCCText"), QStringLiteral("12"));
        QCOMPARE(f.editor.fieldText("CVCVText"), QStringLiteral("48.5"));
        QCOMPARE(f.editor.fieldText("DiscTStopText"), QStringLiteral("30"));
        QCOMPARE(f.editor.fieldText("StableTimeText"), QStringLiteral("200"));
    }

    void loadBackModesSequenceAndCycleLife()
    {
        Fixture f;
        const int dynamic = f.addRow({{1, "Dynamic"}, {2, "CV"}, {14, "9"}});
        const int sequence = f.addRow({{1, "Sequence Load"}, {2, "CP"}, {23, ";1;2;3"}, {24, ";5;6;7"}, {25, "3"}});
        const int cycle = f.addRow({{1, "Battery Cycle Life"}, {14, ";1;2"}, {15, ";0.5;0.6"}, {22, ";3;4"}});
        QVERIFY(f.editor.loadStepBack(dynamic));
        QCOMPARE(f.editor.loadModeText("DynaLoadMode"), QStringLiteral("CV"));
        QCOMPARE(f.editor.unitText("DyncLUnitLabel"), QStringLiteral("V"));
        QCOMPARE(f.editor.fieldText("DynaHighText"), QStringLiteral("9"));
        QVERIFY(f.editor.loadStepBack(sequence));
        QCOMPARE(f.editor.seqLoadTypeCombo()->currentText(), QStringLiteral("CP"));
        QCOMPARE(f.editor.seqLoadGrid()->cellText(1, 0), QStringLiteral("CP(W)"));
        QCOMPARE(f.editor.fieldText("SeqLoadTotalStepText"), QStringLiteral("3"));
        QCOMPARE(f.editor.seqLoadGrid()->cellText(2, 3), QStringLiteral("7"));
        QVERIFY(f.editor.loadStepBack(cycle));
        QCOMPARE(f.editor.cycleLifeGrid()->cellText(2, 1), QStringLiteral("2"));
        QCOMPARE(f.editor.cycleLifeGrid()->cellText(2, 2), QStringLiteral("0.6"));
        QCOMPARE(f.editor.cycleLifeGrid()->cellText(2, 5), QStringLiteral("4"));
    }

    void loadBackRefusedLeavesEditorAsItWas_data()
    {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("notAvailable");
        QTest::newRow("not offered") << QStringList{"Discharge", "Rest"} << "Battery RAMP"
                                     << ";1" << true;
        QTest::newRow("blank row") << QStringList{} << ""
                                   << "" << true;
        QTest::newRow("ramp list of 10") << QStringList{} << "Battery RAMP"
                                         << ";1;2;3;4;5;6;7;8;9;10" << false;
        QTest::newRow("sequence list of 17") << QStringList{} << "Sequence Load" << QString(";1").repeated(17) << false;
        QTest::newRow("cycle life of 4") << QStringList{} << "Battery Cycle Life"
                                         << ";1;2;3;4" << false;
    }
    void loadBackRefusedLeavesEditorAsItWas()
    {
        QFETCH(QStringList, offered);
        QFETCH(QString, function);
        QFETCH(QString, list);
        QFETCH(bool, notAvailable);
        Fixture f;
        if (!offered.isEmpty())
            f.editor.setOfferedFunctions(offered);
        QVERIFY(f.editor.chooseFunction("Rest"));
        f.editor.setFieldText("DiscTStopText", "77");
        const int column = function == "Battery Cycle Life" ? 14 : 23;
        const int row = f.addRow({{1, function}, {column, list}, {24, list}, {3, "99"}, {20, "1"}});
        const StepFields before = f.editor.fields();
        QVERIFY(!f.editor.loadStepBack(row));
        QCOMPARE(f.messages.size(), 1);
        if (notAvailable)
            QCOMPARE(f.messages.first(), QString::fromLatin1(StepEditor::NotAvailableMessage));
        else
            QVERIFY2(f.messages.first().contains("Nothing was loaded"), qPrintable(f.messages.first()));
        QCOMPARE(f.editor.chosenFunction(), QStringLiteral("Rest"));
        QVERIFY(f.editor.funcFrame(FunctionCatalog::Rest)->isVisibleTo(&f.editor));
        const StepFields after = f.editor.fields();
        QCOMPARE(after.texts, before.texts);
        for (int c = 1; c <= 16; ++c) {
            QCOMPARE(after.ramp.cell(1, c), before.ramp.cell(1, c));
            QCOMPARE(after.sequence.cell(1, c), before.sequence.cell(1, c));
        }
        QCOMPARE(f.editor.rampGrid()->subStepCount(), 9);
    }

    void identificationKeepsAnOfferedChoice_data()
    {
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("messages");
        const QStringList chooseFirst{"Choose a function first."};
        QTest::newRow("offered, add") << QStringList{"Rest", "OCP"} << "add"
                                      << "OCP" << QStringList{};
        QTest::newRow("gone, add") << QStringList{"Rest"} << "add"
                                   << "" << chooseFirst;
        QTest::newRow("gone, insert") << QStringList{"Rest"} << "insert"
                                      << "" << chooseFirst;
        QTest::newRow("gone, modify") << QStringList{"Rest"} << "modify"
                                      << "" << chooseFirst;
    }
    void identificationKeepsAnOfferedChoice()
    {
        QFETCH(QStringList, offered);
        QFETCH(QString, operation);
        QFETCH(QString, chosen);
        QFETCH(QStringList, messages);
        Fixture f;
        f.editor.show();
        QVERIFY(f.editor.chooseFunction("Rest"));
        f.editor.addStep();
        QVERIFY(f.editor.chooseFunction("OCP"));
        f.editor.setOfferedFunctions(offered);
        QCOMPARE(f.editor.chosenFunction(), chosen);
        QCOMPARE(f.editor.funcFrame(FunctionCatalog::Ocp)->isVisible(), !chosen.isEmpty());
        const auto outcome = operation == "add" ? f.editor.addStep()
            : operation == "insert"             ? f.editor.insertStep(1)
                                                : f.editor.modifyStep(1);
        QCOMPARE(outcome.acted, messages.isEmpty());
        QCOMPARE(f.messages, messages);
    }
};

QTEST_MAIN(TestStepEditor)
#include "tst_stepeditor.moc"
