#include "ui/RunResultDelegate.h"

void RunResultDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QString result = index.data().toString();
    QColor color;
    if (result == QLatin1String("PASS"))
        color = QColor(0x1e, 0x8e, 0x3e);
    else if (result == QLatin1String("FAIL"))
        color = QColor(0xc6, 0x28, 0x28);
    if (!color.isValid())
        return;
    option->palette.setColor(QPalette::Text, color);
    option->font.setBold(true);
}
