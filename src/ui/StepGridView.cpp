#include "ui/StepGridView.h"

#include "editor/Twips.h"
#include "ui/StepRowDelegate.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

StepGridView::StepGridView(QWidget *parent) : QTableView(parent), m_frozen(new QTableView(this))
{
    m_frozen->setObjectName(QStringLiteral("FrozenStepNo"));
    for (QTableView *view : {static_cast<QTableView *>(this), m_frozen}) {
        view->setItemDelegate(new StepRowDelegate(view));
        view->verticalHeader()->hide();
        view->verticalHeader()->setDefaultSectionSize(Twips::toPixels(285, this));
        view->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The table alone scrolls: the frozen column follows it and hands its wheel turns over.
    m_frozen->setAutoScroll(false);
    m_frozen->viewport()->installEventFilter(this);
    // A pixel at a time, so a column slides under the frozen one rather than hiding behind it whole.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    viewport()->stackUnder(m_frozen);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (column != 0)
            return;
        m_frozen->setColumnWidth(0, size);
        placeFrozenColumn();
    });
    connect(verticalHeader(), &QHeaderView::sectionResized, m_frozen,
        [this](int row, int, int size) { m_frozen->setRowHeight(row, size); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &StepGridView::followVertically);
    connect(m_frozen, &QTableView::doubleClicked, this, &QTableView::doubleClicked);
}

void StepGridView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    m_frozen->setModel(model);
    QItemSelectionModel *ownSelection = m_frozen->selectionModel();
    m_frozen->setSelectionModel(selectionModel());
    delete ownSelection;
    for (int column = 1; model && column < model->columnCount(); ++column)
        m_frozen->setColumnHidden(column, true);
    m_frozen->setColumnWidth(0, columnWidth(0));
    placeFrozenColumn();
}

void StepGridView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    const int horizontal = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    // The frozen column is always in sight; any other cell must not end up behind it.
    if (index.column() == 0) {
        horizontalScrollBar()->setValue(horizontal);
        return;
    }
    const int behindFrozen = m_frozen->width() - visualRect(index).left();
    if (behindFrozen > 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - behindFrozen);
}

void StepGridView::updateGeometries()
{
    QTableView::updateGeometries();
    placeFrozenColumn();
}

bool StepGridView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_frozen->viewport() && event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(viewport(), event);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void StepGridView::placeFrozenColumn()
{
    m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    m_frozen->setGeometry(
        viewport()->x(), horizontalHeader()->y(), columnWidth(0), horizontalHeader()->height() + viewport()->height());
    followVertically();
}

void StepGridView::followVertically()
{
    QScrollBar *frozenBar = m_frozen->verticalScrollBar();
    // Rows just added reach the frozen column's own layout later; its range must not hold it back.
    if (frozenBar->maximum() < verticalScrollBar()->value())
        m_frozen->doItemsLayout();
    frozenBar->setValue(verticalScrollBar()->value());
}
