#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The trace list: every command sent, every reply read, the sequencer's timing lines. The only
// diagnostic output of the program; the window shows it on demand.
class TraceList : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // The list empties itself once its view has scrolled 3000 lines down, so a long run does not
    // grow it without limit; the line that finds it there goes too.
    static constexpr int ClearAtTopIndex = 3000;

    void TraceLine(const QString &text);
    void clear();

    const QStringList &lines() const { return m_lines; }
    int topIndex() const { return m_topIndex; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void topIndexChanged(int topIndex);

private:
    QStringList m_lines;
    int m_topIndex = 0;
};
