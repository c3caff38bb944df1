#pragma once

#include "editor/StepTableEdit.h"
#include "model/LoadRatings.h"
#include "model/StepFields.h"

#include <QHash>
#include <QWidget>
#include <functional>

class QAbstractItemView;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class SubStepTable;
class TestProgram;

// The step editor: the function chooser, one frame of fields per function, the shared
// "Stop Condition" frame, and the operations that write the chosen step into the step table or
// load a step of it back.
class StepEditor : public QWidget
{
    Q_OBJECT

public:
    // Shows a message to the operator (an OK box in the window; tests catch the text).
    using MessageFunction = std::function<void(const QString &text)>;

    static constexpr auto NotAvailableMessage = "This function not availabel for this model, Please check it.";

    explicit StepEditor(TestProgram *program, QWidget *parent = nullptr);

    void setMessageFunction(MessageFunction message) { m_message = std::move(message); }
    // The view whose cursor row the operations act on, and which they move.
    void setStepView(QAbstractItemView *view) { m_view = view; }

    QComboBox *functionCombo() const { return m_functionCombo; }
    // Identification replaces the list with the functions the connected load offers; the chosen
    // function stays chosen while it is offered, otherwise none is until the operator picks one.
    void setOfferedFunctions(const QStringList &functions);
    // As a pick from the list; a name that is not in the list chooses nothing and returns false.
    bool chooseFunction(const QString &name);
    QString chosenFunction() const;
    // The identified load's ratings; Add, Insert and Modify refuse a current, voltage or power
    // above them. None (no load identified) holds each field to its own rule alone.
    void setRatings(const LoadRatings &ratings) { m_ratings = ratings; }

    StepFields fields() const;
    QString fieldText(const QString &field) const;
    void setFieldText(const QString &field, const QString &text);
    // The caption of the selected option of a load-mode field, or "" when none is selected.
    QString loadModeText(const QString &field) const;
    void selectLoadMode(const QString &field, int modeIndex);
    QString unitText(const QString &unitLabelName) const;

    QGroupBox *funcFrame(int index) const { return m_frames.value(index); }
    QGroupBox *stopFrame() const { return m_stopFrame; }
    bool isStopFieldShown(const QString &field) const;
    SubStepTable *rampGrid() const { return m_rampGrid; }
    SubStepTable *seqLoadGrid() const { return m_seqLoadGrid; }
    SubStepTable *cycleLifeGrid() const { return m_cycleLifeGrid; }
    QComboBox *seqLoadTypeCombo() const { return m_seqLoadType; }

    // The operations on grid rows; each shows why when the step was refused.
    StepTableEdit::Outcome addStep();
    StepTableEdit::Outcome insertStep(int row);
    StepTableEdit::Outcome modifyStep(int row);
    StepTableEdit::Outcome removeStep(int row);
    StepTableEdit::Outcome moveStepUp(int row);
    StepTableEdit::Outcome moveStepDown(int row);
    // Fills the editor from a step row; false (with a message) when the row's function is not
    // offered or its lists do not fit the tables, and then nothing has changed.
    bool loadStepBack(int row);

public Q_SLOTS:
    // The six buttons and the grid's double click: they act on the view's cursor row.
    void addStepAndShow();
    void insertStepAndShow();
    void modifyStepAndShow();
    void removeStepAndShow();
    void moveStepUpAndShow();
    void moveStepDownAndShow();
    void loadSelectedStepBack();

private:
    struct StopRow
    {
        QLabel *label;
        QLineEdit *field;
        QLabel *unit;
    };

    QGroupBox *buildFrame(int functionIndex);
    QGroupBox *buildStopFrame();
    QWidget *buildLoadMode(const QString &name);
    void showFunction();
    void applyTotalStep(SubStepTable *table, const QString &field, int minimum, int maximum);
    void applySequenceTimeLimit();
    void relabelSequenceLevel();
    StepTableEdit::Outcome report(const StepTableEdit::Outcome &outcome);
    int viewRow() const;
    void moveViewTo(const StepTableEdit::Outcome &outcome);

    TestProgram *m_program;
    QAbstractItemView *m_view = nullptr;
    MessageFunction m_message;
    LoadRatings m_ratings;
    QComboBox *m_functionCombo;
    QComboBox *m_seqLoadType = nullptr;
    SubStepTable *m_rampGrid = nullptr;
    SubStepTable *m_seqLoadGrid = nullptr;
    SubStepTable *m_cycleLifeGrid = nullptr;
    QList<QGroupBox *> m_frames;
    QGroupBox *m_stopFrame = nullptr;
    QHash<QString, StopRow> m_stopRows;
    QHash<QString, QLineEdit *> m_texts;
    QHash<QString, QButtonGroup *> m_loadModes;
    QHash<QString, QLabel *> m_unitLabels;
    // Load-mode field -> the unit labels that follow it.
    QHash<QString, QStringList> m_modeUnits;
};
