#pragma once

#include <QStyledItemDelegate>

// Paints the step the sequencer is running yellow and every other step white, as the step table's
// highlight role says.
class StepRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
