#pragma once

#include <QTableView>

// The step table's view. Its first column ("StepNo.") stays at the left edge while the table is
// scrolled right, so every step keeps its number in sight: a second view over the same model,
// showing that column only, lies over the left edge, shares the selection and follows the
// vertical scrolling and the row heights. Both paint the running step as StepRowDelegate says.
class StepGridView : public QTableView
{
    Q_OBJECT

public:
    explicit StepGridView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

    QTableView *frozenColumn() const { return m_frozen; }

protected:
    void updateGeometries() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeFrozenColumn();
    void followVertically();

    QTableView *m_frozen;
};
