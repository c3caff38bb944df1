#pragma once

#include <QWidget>

class QToolButton;
class StepEditor;

// The picture buttons between the editor and the step table: the six step operations, then Open
// and Save of test step files, top to bottom.
class StepButtonColumn : public QWidget
{
    Q_OBJECT

public:
    explicit StepButtonColumn(QWidget *parent = nullptr);

    // Wires the six step buttons to the editor's operations.
    void connectTo(StepEditor *editor);

    QToolButton *addIntoCommand() const { return m_add; }
    QToolButton *removeCommand() const { return m_remove; }
    QToolButton *insertCommand() const { return m_insert; }
    QToolButton *modifyCommand() const { return m_modify; }
    QToolButton *moveUpCommand() const { return m_moveUp; }
    QToolButton *moveDnCommand() const { return m_moveDn; }
    QToolButton *openCommand() const { return m_open; }
    QToolButton *saveCommand() const { return m_save; }

private:
    QToolButton *m_add;
    QToolButton *m_remove;
    QToolButton *m_insert;
    QToolButton *m_modify;
    QToolButton *m_moveUp;
    QToolButton *m_moveDn;
    QToolButton *m_open;
    QToolButton *m_save;
};
