#include "editor/SubStepTable.h"

#include "editor/SubStepRules.h"
#include "editor/Twips.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <cmath>

namespace {

struct TableShape
{
    int columns;
    int rows;
    int labelWidth; // twips
    int valueWidth; // twips
    QStringList rowLabels; // column 0, from row 0
    QStringList columnLabels; // row 0, from column 1
};

TableShape shapeOf(SubStepTable::Kind kind)
{
    switch (kind) {
    case SubStepTable::Kind::Ramp:
        return {SubStepRules::RampMaxSteps + 1, 3, 650, 495, {"Step", "CC(A)", "Time(s)"}, {}};
    case SubStepTable::Kind::Sequence:
        return {SubStepRules::SequenceMaxSteps + 1, 3, 1000, 495, {"Step", "CC(A)", "Time(ms)"}, {}};
    case SubStepTable::Kind::CycleLife:
        return {6, SubStepRules::CycleLifeRows + 1, 700, 800, {"Step", "1", "2", "3"},
            {"CCH", "CCL", "THigh", "TLow", "Cycle"}};
    }
    return {};
}

const char *inputBoxName(SubStepTable::Kind kind)
{
    switch (kind) {
    case SubStepTable::Kind::Ramp:
        return "RampTestStepInputText";
    case SubStepTable::Kind::Sequence:
        return "SeqLoadTestStepInputText";
    case SubStepTable::Kind::CycleLife:
        return "CycleTestStepInputText";
    }
    return "";
}

} // namespace

SubStepTable::SubStepTable(Kind kind, QWidget *parent)
    : QTableWidget(parent), m_kind(kind), m_inputBox(new QLineEdit(viewport()))
{
    const TableShape shape = shapeOf(kind);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRowCount(shape.rows);
    setColumnCount(shape.columns);
    const int rowHeight = Twips::toPixels(285, this);
    for (int row = 0; row < shape.rows; ++row) {
        setRowHeight(row, rowHeight);
        setLabel(row, 0, shape.rowLabels.value(row));
    }
    // The widths in twips were made for a narrower font: a label wider than its column would be
    // cut ("Tim…"). What it needs more comes out of the value columns, so a table made to fit its
    // frame still does.
    const int twipsLabelWidth = Twips::toPixels(shape.labelWidth, this);
    const int labelWidth = std::max(twipsLabelWidth, widthOfLabels(shape.rowLabels));
    const int valueColumns = shape.columns - 1;
    m_valueWidth
        = Twips::toPixels(shape.valueWidth, this) - (labelWidth - twipsLabelWidth + valueColumns - 1) / valueColumns;
    setColumnWidth(0, labelWidth);
    for (int column = 1; column < shape.columns; ++column) {
        setColumnWidth(column, m_valueWidth);
        setValueColumnLook(column);
        setLabel(
            0, column, shape.columnLabels.isEmpty() ? QString::number(column) : shape.columnLabels.value(column - 1));
    }
    setMinimumHeight(rowHeight * shape.rows + 2 * frameWidth() + Twips::toPixels(255, this));

    m_inputBox->setObjectName(QString::fromLatin1(inputBoxName(kind)));
    m_inputBox->setFrame(false);
    m_inputBox->setAlignment(Qt::AlignCenter);
    m_inputBox->hide();
    m_inputBox->installEventFilter(this);
    connect(this, &QTableWidget::cellClicked, this, &SubStepTable::openCellEditor);
}

QString SubStepTable::cellText(int row, int column) const
{
    const QTableWidgetItem *cell = item(row, column);
    return cell ? cell->text() : QString();
}

void SubStepTable::setCellText(int row, int column, const QString &text)
{
    if (row < 1 || row >= rowCount() || column < 1 || column >= columnCount())
        return;
    QTableWidgetItem *cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignCenter);
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, column, cell);
    }
    cell->setText(text);
}

SubStepCells SubStepTable::cells() const
{
    SubStepCells cells;
    for (int row = 1; row < rowCount(); ++row) {
        for (int column = 1; column < columnCount(); ++column)
            cells.setCell(row, column, cellText(row, column));
    }
    return cells;
}

void SubStepTable::setSubStepCount(int count)
{
    if (m_kind == Kind::CycleLife || count < 0 || count == subStepCount())
        return;
    const int before = columnCount();
    if (m_inputBox->isVisible() && m_editColumn > count)
        m_inputBox->hide();
    setColumnCount(count + 1);
    // Added columns look like the first ones, so a table that grows again reads the same.
    for (int column = before; column <= count; ++column) {
        setColumnWidth(column, m_valueWidth);
        setValueColumnLook(column);
        setLabel(0, column, QString::number(column));
    }
}

void SubStepTable::setLevelCaption(const QString &caption) { setLabel(1, 0, caption); }

void SubStepTable::openCellEditor(int row, int column)
{
    if (row < 1 || row >= rowCount() || column < 1 || column >= columnCount())
        return;
    commitCellEditor();
    setCurrentCell(row, column);
    m_editRow = row;
    m_editColumn = column;
    placeInputBox();
    m_inputBox->setText(cellText(row, column));
    m_inputBox->show();
    m_inputBox->setFocus();
    m_inputBox->selectAll();
}

void SubStepTable::commitCellEditor()
{
    if (m_inputBox->isHidden())
        return;
    // Hidden before the focus moves, so the focus loss that hiding causes commits nothing twice.
    m_inputBox->hide();
    setCellText(m_editRow, m_editColumn, m_inputBox->text());
}

bool SubStepTable::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_inputBox) {
        // The box's own context menu takes the focus for a moment; that is no leaving.
        if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason) {
            commitCellEditor();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                commitCellEditor();
                setFocus();
                return true;
            }
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

void SubStepTable::scrollContentsBy(int dx, int dy)
{
    QTableWidget::scrollContentsBy(dx, dy);
    if (m_inputBox->isVisible())
        placeInputBox();
}

int SubStepTable::widthOfLabels(const QStringList &labels) const
{
    const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + showGrid();
    const QFontMetricsF metrics(font());
    qreal widest = 0;
    for (const QString &label : labels)
        widest = std::max(widest, metrics.horizontalAdvance(label));
    return int(std::ceil(widest)) + padding;
}

void SubStepTable::setLabel(int row, int column, const QString &text)
{
    QTableWidgetItem *cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setTextAlignment(Qt::AlignCenter);
        cell->setBackground(palette().button());
        setItem(row, column, cell);
    }
    cell->setText(text);
}

void SubStepTable::setValueColumnLook(int column)
{
    for (int row = 1; row < rowCount(); ++row)
        setCellText(row, column, cellText(row, column));
}

void SubStepTable::placeInputBox() { m_inputBox->setGeometry(visualRect(model()->index(m_editRow, m_editColumn))); }
