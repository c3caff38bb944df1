#include "editor/StepEditor.h"

#include "editor/StepLoadBack.h"
#include "editor/SubStepRules.h"
#include "editor/SubStepTable.h"
#include "editor/Twips.h"
#include "model/EditorFieldTable.h"
#include "model/FunctionCatalog.h"
#include "model/TestProgram.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

using EditorFieldTable::Field;
using EditorFieldTable::Kind;

namespace {

constexpr int FieldWidth = 1200; // twips
constexpr int StopFieldWidth = 900;

QGridLayout *compactGrid(QWidget *frame)
{
    auto *grid = new QGridLayout(frame);
    grid->setVerticalSpacing(2);
    grid->setContentsMargins(6, 0, 6, 2);
    return grid;
}

} // namespace

StepEditor::StepEditor(TestProgram *program, QWidget *parent)
    : QWidget(parent), m_program(program), m_functionCombo(new QComboBox(this))
{
    m_message = [this](const QString &text) {
        QMessageBox::information(this, window()->windowTitle(), text, QMessageBox::Ok);
    };
    m_functionCombo->setObjectName(QStringLiteral("FunctionCombo"));
    m_functionCombo->addItems(FunctionCatalog::names());
    m_functionCombo->setCurrentIndex(-1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(Twips::toPixels(15, this));
    auto *chooserRow = new QHBoxLayout;
    chooserRow->addWidget(new QLabel(QStringLiteral("Function"), this));
    chooserRow->addWidget(m_functionCombo, 1);
    layout->addLayout(chooserRow);
    for (int index = 0; index < FunctionCatalog::Count; ++index) {
        m_frames.append(buildFrame(index));
        layout->addWidget(m_frames.last());
        m_frames.last()->hide();
    }
    layout->addWidget(buildStopFrame());
    layout->addStretch(1);

    connect(m_functionCombo, &QComboBox::activated, this, &StepEditor::showFunction);
    connect(m_seqLoadType, &QComboBox::currentTextChanged, this, &StepEditor::relabelSequenceLevel);
    connect(m_texts.value(QStringLiteral("RampTotalStepText")), &QLineEdit::editingFinished, this, [this] {
        applyTotalStep(
            m_rampGrid, QStringLiteral("RampTotalStepText"), SubStepRules::RampMinSteps, SubStepRules::RampMaxSteps);
    });
    connect(m_texts.value(QStringLiteral("SeqLoadTotalStepText")), &QLineEdit::editingFinished, this, [this] {
        applyTotalStep(m_seqLoadGrid, QStringLiteral("SeqLoadTotalStepText"), SubStepRules::SequenceMinSteps,
            SubStepRules::SequenceMaxSteps);
    });
    connect(m_texts.value(QStringLiteral("SeqRepeatText")), &QLineEdit::editingFinished, this,
        &StepEditor::applySequenceTimeLimit);
}

QGroupBox *StepEditor::buildFrame(int functionIndex)
{
    auto *frame = new QGroupBox(FunctionCatalog::name(functionIndex), this);
    frame->setObjectName(QStringLiteral("FuncFrame%1").arg(functionIndex));
    auto *grid = compactGrid(frame);
    QString loadModeName;
    int line = 0;
    for (const Field &field : EditorFieldTable::fieldsOf(functionIndex)) {
        switch (field.kind) {
        case Kind::LoadMode:
            loadModeName = field.name;
            grid->addWidget(new QLabel(field.label, frame), line, 0);
            grid->addWidget(buildLoadMode(field.name), line, 1, 1, 3);
            break;
        case Kind::Table: {
            const auto kind = field.name == QLatin1String("RampGrid") ? SubStepTable::Kind::Ramp
                : field.name == QLatin1String("SeqLoadGrid")          ? SubStepTable::Kind::Sequence
                                                                      : SubStepTable::Kind::CycleLife;
            auto *table = new SubStepTable(kind, frame);
            table->setObjectName(field.name);
            (kind == SubStepTable::Kind::Ramp              ? m_rampGrid
                    : kind == SubStepTable::Kind::Sequence ? m_seqLoadGrid
                                                           : m_cycleLifeGrid)
                = table;
            grid->addWidget(table, line, 0, 1, 4);
            break;
        }
        case Kind::TypeCombo:
            m_seqLoadType = new QComboBox(frame);
            m_seqLoadType->setObjectName(field.name);
            m_seqLoadType->addItems({QStringLiteral("CC"), QStringLiteral("CP")});
            grid->addWidget(new QLabel(field.label, frame), line, 0);
            grid->addWidget(m_seqLoadType, line, 1);
            break;
        case Kind::Text: {
            auto *edit = new QLineEdit(field.defaultText, frame);
            edit->setObjectName(field.name);
            edit->setFixedWidth(Twips::toPixels(FieldWidth, this));
            edit->setToolTip(field.toolTip);
            m_texts.insert(field.name, edit);
            auto *unit = new QLabel(field.unit, frame);
            if (!field.unitLabelName.isEmpty()) {
                unit->setObjectName(field.unitLabelName);
                m_unitLabels.insert(field.unitLabelName, unit);
                m_modeUnits[loadModeName].append(field.unitLabelName);
            }
            grid->addWidget(new QLabel(field.label, frame), line, 0);
            grid->addWidget(edit, line, 1);
            grid->addWidget(unit, line, 2);
            break;
        }
        }
        ++line;
    }
    grid->setColumnStretch(3, 1);
    return frame;
}

QWidget *StepEditor::buildLoadMode(const QString &name)
{
    auto *box = new QWidget(this);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto *group = new QButtonGroup(this);
    group->setObjectName(name);
    const QList<QString> &captions = EditorFieldTable::loadModeCaptions();
    for (int mode = 0; mode < captions.size(); ++mode) {
        auto *option = new QRadioButton(captions.at(mode), box);
        option->setObjectName(name + QString::number(mode));
        group->addButton(option, mode);
        row->addWidget(option);
    }
    group->button(0)->setChecked(true);
    m_loadModes.insert(name, group);
    connect(group, &QButtonGroup::idToggled, this, [this, name](int mode, bool checked) {
        if (!checked)
            return;
        for (const QString &unit : m_modeUnits.value(name))
            m_unitLabels.value(unit)->setText(EditorFieldTable::unitOfMode(mode));
    });
    return box;
}

QGroupBox *StepEditor::buildStopFrame()
{
    m_stopFrame = new QGroupBox(QStringLiteral("Stop Condition"), this);
    m_stopFrame->setObjectName(QStringLiteral("Frame11"));
    auto *grid = compactGrid(m_stopFrame);
    // Two fields to a line, so the frame and a tall function frame fit above the result log.
    int place = 0;
    for (const Field &field : EditorFieldTable::stopFields()) {
        StopRow row{new QLabel(field.label, m_stopFrame), new QLineEdit(field.defaultText, m_stopFrame),
            new QLabel(field.unit, m_stopFrame)};
        row.field->setObjectName(field.name);
        row.field->setFixedWidth(Twips::toPixels(StopFieldWidth, this));
        m_texts.insert(field.name, row.field);
        m_stopRows.insert(field.name, row);
        const int line = place / 2;
        const int column = (place % 2) * 3;
        grid->addWidget(row.label, line, column);
        grid->addWidget(row.field, line, column + 1);
        grid->addWidget(row.unit, line, column + 2);
        ++place;
    }
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(5, 1);
    return m_stopFrame;
}

void StepEditor::setOfferedFunctions(const QStringList &functions)
{
    const QString chosen = chosenFunction();
    m_functionCombo->clear();
    m_functionCombo->addItems(functions);
    // A choice still offered stays as it was shown, with the fields the operator filled in; one no
    // longer offered takes its frame with it.
    m_functionCombo->setCurrentIndex(m_functionCombo->findText(chosen, Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (m_functionCombo->currentIndex() < 0)
        showFunction();
}

bool StepEditor::chooseFunction(const QString &name)
{
    const int index = m_functionCombo->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (name.isEmpty() || index < 0)
        return false;
    m_functionCombo->setCurrentIndex(index);
    showFunction();
    return true;
}

QString StepEditor::chosenFunction() const { return m_functionCombo->currentText(); }

void StepEditor::showFunction()
{
    const int function = FunctionCatalog::indexOf(chosenFunction());
    for (QGroupBox *frame : std::as_const(m_frames))
        frame->hide();
    if (QGroupBox *frame = m_frames.value(function)) {
        frame->setTitle(chosenFunction());
        frame->show();
    }
    const EditorFieldTable::StopView view = EditorFieldTable::stopViewOf(function);
    m_stopFrame->setVisible(function >= 0 && view != EditorFieldTable::StopView::Hidden);
    for (auto it = m_stopRows.cbegin(); it != m_stopRows.cend(); ++it) {
        const bool shown = EditorFieldTable::showsStopField(view, it.key());
        it->label->setVisible(shown);
        it->field->setVisible(shown);
        it->unit->setVisible(shown);
    }
    if (function == FunctionCatalog::SequenceLoad)
        m_seqLoadType->setCurrentIndex(0);
}

bool StepEditor::isStopFieldShown(const QString &field) const
{
    const auto row = m_stopRows.constFind(field);
    return row != m_stopRows.cend() && !m_stopFrame->isHidden() && !row->field->isHidden();
}

QString StepEditor::fieldText(const QString &field) const
{
    if (m_loadModes.contains(field))
        return loadModeText(field);
    if (field == m_seqLoadType->objectName())
        return m_seqLoadType->currentText();
    const QLineEdit *edit = m_texts.value(field);
    return edit ? edit->text() : QString();
}

void StepEditor::setFieldText(const QString &field, const QString &text)
{
    if (field == m_seqLoadType->objectName()) {
        const int index = m_seqLoadType->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            m_seqLoadType->setCurrentIndex(index);
    } else if (QLineEdit *edit = m_texts.value(field)) {
        edit->setText(text);
    }
}

QString StepEditor::loadModeText(const QString &field) const
{
    const QButtonGroup *group = m_loadModes.value(field);
    return group && group->checkedId() >= 0 ? EditorFieldTable::loadModeCaptions().at(group->checkedId()) : QString();
}

void StepEditor::selectLoadMode(const QString &field, int modeIndex)
{
    if (QButtonGroup *group = m_loadModes.value(field); group && group->button(modeIndex))
        group->button(modeIndex)->setChecked(true);
}

QString StepEditor::unitText(const QString &unitLabelName) const
{
    const QLabel *label = m_unitLabels.value(unitLabelName);
    return label ? label->text() : QString();
}

StepFields StepEditor::fields() const
{
    StepFields result;
    result.function = chosenFunction();
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it)
        result.texts.insert(it.key(), it.value()->text());
    for (auto it = m_loadModes.cbegin(); it != m_loadModes.cend(); ++it)
        result.texts.insert(it.key(), loadModeText(it.key()));
    result.texts.insert(m_seqLoadType->objectName(), m_seqLoadType->currentText());
    result.ramp = m_rampGrid->cells();
    result.sequence = m_seqLoadGrid->cells();
    result.cycleLife = m_cycleLifeGrid->cells();
    return result;
}

void StepEditor::applyTotalStep(SubStepTable *table, const QString &field, int minimum, int maximum)
{
    QLineEdit *edit = m_texts.value(field);
    edit->setText(SubStepRules::limitTotalStep(edit->text(), minimum, maximum));
    table->setSubStepCount(SubStepRules::subStepCount(edit->text(), minimum));
}

void StepEditor::applySequenceTimeLimit()
{
    QStringList times;
    for (int column = 1; column <= m_seqLoadGrid->subStepCount(); ++column)
        times.append(m_seqLoadGrid->cellText(2, column));
    setFieldText(QStringLiteral("DiscTStopText"),
        SubStepRules::sequenceTimeLimit(
            times, fieldText(QStringLiteral("SeqLoadTotalStepText")), fieldText(QStringLiteral("SeqRepeatText"))));
}

void StepEditor::relabelSequenceLevel()
{
    m_seqLoadGrid->setLevelCaption(
        m_seqLoadType->currentText() == QLatin1String("CP") ? QStringLiteral("CP(W)") : QStringLiteral("CC(A)"));
}

StepTableEdit::Outcome StepEditor::report(const StepTableEdit::Outcome &outcome)
{
    if (!outcome.refusal.isEmpty() && m_message)
        m_message(outcome.refusal);
    return outcome;
}

StepTableEdit::Outcome StepEditor::addStep() { return report(StepTableEdit::add(*m_program, fields(), m_ratings)); }

StepTableEdit::Outcome StepEditor::insertStep(int row)
{
    return report(StepTableEdit::insert(*m_program, row, fields(), m_ratings));
}

StepTableEdit::Outcome StepEditor::modifyStep(int row)
{
    return report(StepTableEdit::modify(*m_program, row, fields(), m_ratings));
}

StepTableEdit::Outcome StepEditor::removeStep(int row) { return StepTableEdit::remove(*m_program, row); }

StepTableEdit::Outcome StepEditor::moveStepUp(int row) { return StepTableEdit::moveUp(*m_program, row); }

StepTableEdit::Outcome StepEditor::moveStepDown(int row) { return StepTableEdit::moveDown(*m_program, row); }

bool StepEditor::loadStepBack(int row)
{
    const StepLoadBack::Plan plan = StepLoadBack::plan(*m_program, row);
    const bool offered = !plan.function.isEmpty()
        && m_functionCombo->findText(plan.function, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0
        && FunctionCatalog::indexOf(plan.function) >= 0;
    if (!offered || !plan.error.isEmpty()) {
        if (m_message)
            m_message(offered ? plan.error : QString::fromLatin1(NotAvailableMessage));
        return false;
    }
    chooseFunction(plan.function);
    for (const auto &[field, mode] : plan.modes)
        selectLoadMode(field, mode);
    for (const StepLoadBack::FieldText &text : plan.texts)
        setFieldText(text.field, text.text);
    if (plan.hasTable) {
        SubStepTable *table = plan.tableKind == SubStepTable::Kind::Ramp ? m_rampGrid
            : plan.tableKind == SubStepTable::Kind::Sequence             ? m_seqLoadGrid
                                                                         : m_cycleLifeGrid;
        // The table grows to show the whole list; cells past the list keep what they held.
        if (plan.tableKind != SubStepTable::Kind::CycleLife && table->subStepCount() < plan.tableColumnsNeeded)
            table->setSubStepCount(plan.tableColumnsNeeded);
        for (const StepLoadBack::TableCell &cell : plan.tableCells)
            table->setCellText(cell.row, cell.column, cell.text);
    }
    return true;
}

int StepEditor::viewRow() const
{
    if (!m_view || !m_view->currentIndex().isValid())
        return 0;
    return m_view->currentIndex().row() + 1;
}

void StepEditor::moveViewTo(const StepTableEdit::Outcome &outcome)
{
    if (!m_view || outcome.currentRow < 1)
        return;
    const QModelIndex current = m_view->currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    m_view->setCurrentIndex(m_view->model()->index(outcome.currentRow - 1, column));
}

void StepEditor::addStepAndShow() { moveViewTo(addStep()); }

void StepEditor::insertStepAndShow() { moveViewTo(insertStep(viewRow())); }

void StepEditor::modifyStepAndShow() { moveViewTo(modifyStep(viewRow())); }

void StepEditor::removeStepAndShow() { moveViewTo(removeStep(viewRow())); }

void StepEditor::moveStepUpAndShow() { moveViewTo(moveStepUp(viewRow())); }

void StepEditor::moveStepDownAndShow() { moveViewTo(moveStepDown(viewRow())); }

void StepEditor::loadSelectedStepBack() { loadStepBack(viewRow()); }
