#pragma once

#include "model/StepFields.h"

#include <QStringList>
#include <QTableWidget>

class QLineEdit;

// A sub-step table: row 0 and column 0 hold labels, the other cells the sub-step values. The
// operator types a value through an input box laid over the clicked cell; Enter or leaving the box
// stores the text exactly as typed.
class SubStepTable : public QTableWidget
{
    Q_OBJECT

public:
    enum class Kind { Ramp, Sequence, CycleLife };

    SubStepTable(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    QLineEdit *inputBox() const { return m_inputBox; }

    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString &text);
    SubStepCells cells() const;

    // RAMP and Sequence Load: the number of sub-step columns (columns 1..count), numbered in row 0.
    // Columns removed take their values with them; columns added are empty.
    void setSubStepCount(int count);
    int subStepCount() const { return columnCount() - 1; }
    // Sequence Load: the caption of the level row, "CC(A)" or "CP(W)".
    void setLevelCaption(const QString &caption);

    // Opens the input box over a value cell (row and column past the labels); nothing otherwise.
    void openCellEditor(int row, int column);
    // Stores the input box's text in the cell it was opened over and hides it; nothing when hidden.
    void commitCellEditor();
    int editRow() const { return m_editRow; }
    int editColumn() const { return m_editColumn; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int widthOfLabels(const QStringList &labels) const;
    void setLabel(int row, int column, const QString &text);
    void setValueColumnLook(int column);
    void placeInputBox();

    Kind m_kind;
    QLineEdit *m_inputBox;
    // Pixels, the same for the columns a growing table adds.
    int m_valueWidth = 0;
    int m_editRow = -1;
    int m_editColumn = -1;
};
