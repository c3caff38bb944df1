#pragma once

#include <QStyledItemDelegate>

// Paints the step the sequencer is running yellow and every other step white, as the step table's
// highlight role says. A cell too narrow for its text (a packed sub-step list, shown shortened)
// shows the whole text as its tool tip.
class StepRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
        const QModelIndex &index) override;
};
