#pragma once

#include <QStyledItemDelegate>

// A run's result in the colour the operator looks for: a pass green, a failure red.
class RunResultDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
