#include "ui/StepRowDelegate.h"

#include "model/TestProgram.h"

void StepRowDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == 0)
        return;
    option->backgroundBrush = index.data(TestProgram::HighlightRole).toBool() ? QBrush(Qt::yellow) : QBrush(Qt::white);
}
