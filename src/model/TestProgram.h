#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

// The step table: at once what the operator sees, what runs and what is saved.
// Grid rows as the program knows them: row 0 the header, rows 1..StepCount() the steps, and one
// blank row at the end into which the next added step is written. The Qt model shows the step rows
// and the blank row (model row r is grid row r + 1); the header row is the horizontal header.
class TestProgram : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 32;
    // True for the rows the sequencer is running (the view paints them yellow).
    static constexpr int HighlightRole = Qt::UserRole + 1;

    explicit TestProgram(QObject *parent = nullptr);

    // An empty program: the header row and the blank row.
    void SetupStepGrid();

    int StepCount() const { return int(m_rows.size()) - 1; }
    int gridRowCount() const { return int(m_rows.size()) + 1; }
    // Grows or shrinks the grid to `rows` rows (at least 2) as a file load does; new rows are blank.
    void setGridRowCount(int rows);

    QString cell(int row, int column) const;
    // A cell never carries a "," (it would shift the fields of its line in a stored file): such a
    // text is refused and the cell keeps its content. Row 0 and rows outside the grid are refused.
    bool setCell(int row, int column, const QString &text);
    QStringList rowCells(int row) const;
    static bool isAcceptableCellText(const QString &text) { return !text.contains(u','); }

    void insertGridRow(int row);
    void removeGridRow(int row);
    // Exchanges columns 1..31 of two rows; the step numbers stay where they are.
    void swapStepCells(int rowA, int rowB);
    // Column 0 of rows first..last gets the row index.
    void renumber(int first, int last);

    void HighlightStepRow(int row);
    void ClearStepRowHighlight(int row);
    bool isHighlighted(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    void stepCountChanged(int stepCount);

private:
    struct Row
    {
        QStringList cells = QStringList(ColumnCount);
        bool highlighted = false;
    };
    bool isGridRow(int row) const { return row >= 1 && row <= int(m_rows.size()); }
    Row &rowAt(int row) { return m_rows[row - 1]; }
    const Row &rowAt(int row) const { return m_rows[row - 1]; }
    void setHighlight(int row, bool on);
    void notifyStepCount(int before);

    QList<Row> m_rows;
};
