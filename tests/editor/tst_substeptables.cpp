#include "editor/StepEditor.h"
#include "editor/SubStepTable.h"
#include "editor/Twips.h"
#include "model/TestProgram.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

namespace {

void enter(StepEditor &editor, const QString &field, const QString &text)
{
    auto *edit = editor.findChild<QLineEdit *>(field);
    QVERIFY2(edit, qPrintable(field));
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QStringList rowTexts(const SubStepTable *table, int row)
{
    QStringList texts;
    for (int column = 1; column < table->columnCount(); ++column)
        texts.append(table->cellText(row, column));
    return texts;
}

} // namespace

class TestSubStepTables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void layoutOfTheTables()
    {
        TestProgram program;
        StepEditor editor(&program);
        QCOMPARE(editor.rampGrid()->columnCount(), 10);
        QCOMPARE(editor.rampGrid()->rowCount(), 3);
        QCOMPARE(editor.rampGrid()->cellText(2, 0), QStringLiteral("Time(s)"));
        QCOMPARE(editor.rampGrid()->cellText(0, 9), QStringLiteral("9"));
        QCOMPARE(editor.seqLoadGrid()->columnCount(), 17);
        QCOMPARE(editor.seqLoadGrid()->cellText(1, 0), QStringLiteral("CC(A)"));
        QCOMPARE(editor.seqLoadGrid()->cellText(2, 0), QStringLiteral("Time(ms)"));
        QCOMPARE(editor.cycleLifeGrid()->rowCount(), 4);
        QCOMPARE(editor.cycleLifeGrid()->cellText(0, 5), QStringLiteral("Cycle"));
        QCOMPARE(editor.cycleLifeGrid()->cellText(3, 0), QStringLiteral("3"));
    }

    void labelsShownWholeInTheirTwipsWidth_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("twips");
        QTest::newRow("RAMP Time(s)") << int(SubStepTable::Kind::Ramp) << 2 << 650 + 9 * 495;
        QTest::newRow("Sequence Time(ms)") << int(SubStepTable::Kind::Sequence) << 2 << 1000 + 16 * 495;
        QTest::newRow("Cycle Life Step") << int(SubStepTable::Kind::CycleLife) << 0 << 700 + 5 * 800;
    }
    void labelsShownWholeInTheirTwipsWidth()
    {
        QFETCH(int, kind);
        QFETCH(int, row);
        QFETCH(int, twips);
        SubStepTable table{SubStepTable::Kind(kind)};
        const QModelIndex label = table.model()->index(row, 0);
        QStyleOptionViewItem option;
        option.initFrom(&table);
        option.widget = &table;
        QVERIFY(table.itemDelegateForIndex(label)->sizeHint(option, label).width() <= table.visualRect(label).width());
        // Rounding each column to whole pixels may give one more than the whole.
        QVERIFY(table.horizontalHeader()->length() <= Twips::toPixels(twips, &table) + 1);
    }

    void totalStepLimits_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("columns");
        QTest::newRow("ramp 12 -> 9") << "RampTotalStepText"
                                      << "12"
                                      << "9" << 9;
        QTest::newRow("ramp 0 -> 1") << "RampTotalStepText"
                                     << "0"
                                     << "1" << 1;
        QTest::newRow("ramp 3 kept") << "RampTotalStepText"
                                     << "3"
                                     << "3" << 3;
        QTest::newRow("ramp empty -> minimum") << "RampTotalStepText"
                                               << ""
                                               << "1" << 1;
        QTest::newRow("ramp text -> minimum") << "RampTotalStepText"
                                              << "abc"
                                              << "1" << 1;
        QTest::newRow("ramp 4x -> minimum") << "RampTotalStepText"
                                            << "4x"
                                            << "1" << 1;
        QTest::newRow("ramp 2.5 rounds to even") << "RampTotalStepText"
                                                 << "2.5"
                                                 << "2.5" << 2;
        QTest::newRow("seq 1 -> 2") << "SeqLoadTotalStepText"
                                    << "1"
                                    << "2" << 2;
        QTest::newRow("seq 20 -> 16") << "SeqLoadTotalStepText"
                                      << "20"
                                      << "16" << 16;
        QTest::newRow("seq empty -> minimum") << "SeqLoadTotalStepText"
                                              << ""
                                              << "2" << 2;
    }
    void totalStepLimits()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, columns);
        TestProgram program;
        StepEditor editor(&program);
        enter(editor, field, typed);
        QCOMPARE(editor.fieldText(field), shown);
        const SubStepTable *table = field.startsWith("Ramp") ? editor.rampGrid() : editor.seqLoadGrid();
        QCOMPARE(table->subStepCount(), columns);
        QCOMPARE(table->cellText(0, columns), QString::number(columns));
    }

    void shrinkingDropsValuesGrowingBringsEmptyColumns()
    {
        TestProgram program;
        StepEditor editor(&program);
        SubStepTable *ramp = editor.rampGrid();
        for (int column = 1; column <= 9; ++column)
            ramp->setCellText(1, column, QString::number(column));
        enter(editor, "RampTotalStepText", "3");
        QCOMPARE(rowTexts(ramp, 1), (QStringList{"1", "2", "3"}));
        enter(editor, "RampTotalStepText", "9");
        QCOMPARE(rowTexts(ramp, 1), (QStringList{"1", "2", "3", "", "", "", "", "", ""}));
        QCOMPARE(ramp->cellText(0, 7), QStringLiteral("7"));
        QCOMPARE(ramp->columnWidth(7), ramp->columnWidth(1));
    }

    void cellEditorStoresTextAsTyped()
    {
        TestProgram program;
        StepEditor editor(&program);
        QVERIFY(editor.chooseFunction("Battery RAMP"));
        editor.show();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        SubStepTable *ramp = editor.rampGrid();
        QLineEdit *box = ramp->inputBox();
        QCOMPARE(box->objectName(), QStringLiteral("RampTestStepInputText"));
        QVERIFY(box->isHidden());

        ramp->openCellEditor(1, 2);
        QVERIFY(box->isVisible());
        QCOMPARE(box->geometry(), ramp->visualRect(ramp->model()->index(1, 2)));
        QTest::keyClicks(box, QStringLiteral("2.5"));
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(box->isHidden());
        QCOMPARE(ramp->cellText(1, 2), QStringLiteral("2.5"));

        // Another cell without Enter: the first keeps what was typed.
        ramp->openCellEditor(2, 2);
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, QStringLiteral("1 s"));
        const QRect other = ramp->visualRect(ramp->model()->index(1, 3));
        QTest::mouseClick(ramp->viewport(), Qt::LeftButton, {}, other.center());
        QCOMPARE(ramp->cellText(2, 2), QStringLiteral("1 s"));
        QVERIFY(box->isVisible());
        QCOMPARE(ramp->editRow(), 1);
        QCOMPARE(ramp->editColumn(), 3);
        QCOMPARE(box->selectedText(), box->text());
    }

    void headerAndLabelsOpenNoEditor_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("header row") << 0 << 3;
        QTest::newRow("label column") << 1 << 0;
    }
    void headerAndLabelsOpenNoEditor()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        TestProgram program;
        StepEditor editor(&program);
        QVERIFY(editor.chooseFunction("Battery Cycle Life"));
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        SubStepTable *cycle = editor.cycleLifeGrid();
        const QRect cell = cycle->visualRect(cycle->model()->index(row, column));
        QTest::mouseClick(cycle->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY(cycle->inputBox()->isHidden());
    }

    void sequenceTimeLimit_data()
    {
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("time");
        QTest::newRow("repeat 10") << "10"
                                   << "7";
        QTest::newRow("repeat 0") << "0"
                                  << "1";
        QTest::newRow("half to even") << "2.5"
                                      << "3"; // 600 ms x 2.5 = 1.5 s -> 2, + 1
        QTest::newRow("text repeat reads 0") << "x"
                                             << "1";
    }
    void sequenceTimeLimit()
    {
        QFETCH(QString, repeat);
        QFETCH(QString, time);
        TestProgram program;
        StepEditor editor(&program);
        enter(editor, "SeqLoadTotalStepText", "3");
        editor.seqLoadGrid()->setCellText(2, 1, "100");
        editor.seqLoadGrid()->setCellText(2, 2, "200");
        editor.seqLoadGrid()->setCellText(2, 3, "300");
        enter(editor, "SeqRepeatText", repeat);
        QCOMPARE(editor.fieldText("DiscTStopText"), time);
    }

    void sequenceTypeRelabelsAndKeepsValues()
    {
        TestProgram program;
        StepEditor editor(&program);
        SubStepTable *sequence = editor.seqLoadGrid();
        sequence->setCellText(1, 1, "4");
        editor.seqLoadTypeCombo()->setCurrentText("CP");
        QCOMPARE(sequence->cellText(1, 0), QStringLiteral("CP(W)"));
        QCOMPARE(sequence->cellText(1, 1), QStringLiteral("4"));
        // Choosing the function again starts it as "CC".
        QVERIFY(editor.chooseFunction("Sequence Load"));
        QCOMPARE(editor.seqLoadTypeCombo()->currentText(), QStringLiteral("CC"));
        QCOMPARE(sequence->cellText(1, 0), QStringLiteral("CC(A)"));
    }

    // With the defaults ("0" total steps) a RAMP or Sequence Load step would hold no sub-step: the
    // editor refuses it and says why, until the total step and the table give it some.
    void defaultsWithoutSubStepsAreRefused()
    {
        TestProgram program;
        StepEditor editor(&program);
        QStringList messages;
        editor.setMessageFunction([&](const QString &text) { messages.append(text); });
        QVERIFY(editor.chooseFunction("Battery RAMP"));
        editor.rampGrid()->setCellText(1, 1, "5");
        QVERIFY(!editor.addStep().acted);
        QVERIFY(editor.chooseFunction("Sequence Load"));
        QVERIFY(!editor.addStep().acted);
        QCOMPARE(
            messages, (QStringList{"Step 1, Total Step: 0 is less than 1.", "Step 1, Total Step: 0 is less than 2."}));
        QCOMPARE(program.StepCount(), 0);

        QVERIFY(editor.chooseFunction("Battery RAMP"));
        editor.setFieldText("RampTotalStepText", "1");
        editor.rampGrid()->setCellText(2, 1, "10");
        QVERIFY(editor.addStep().acted);
        QCOMPARE(program.cell(1, 23), QStringLiteral(";5"));
        QCOMPARE(program.cell(1, 24), QStringLiteral(";10"));
        QCOMPARE(program.cell(1, 25), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestSubStepTables)
#include "tst_substeptables.moc"
