#include "ui/StepRowDelegate.h"

#include "model/TestProgram.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

void StepRowDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == 0)
        return;
    option->backgroundBrush = index.data(TestProgram::HighlightRole).toBool() ? QBrush(Qt::yellow) : QBrush(Qt::white);
}

bool StepRowDelegate::helpEvent(
    QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (sizeHint(option, index).width() <= option.rect.width()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), index.data().toString(), view, option.rect);
    return true;
}
