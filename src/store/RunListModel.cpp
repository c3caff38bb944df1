#include "store/RunListModel.h"

#include "model/FigureText.h"

#include <QLocale>

namespace {

qint64 durationSeconds(const StoredRun &run)
{
    return run.started.isValid() && run.ended.isValid() ? run.started.secsTo(run.ended) : -1;
}

} // namespace

void RunListModel::setRuns(QList<StoredRun> runs)
{
    beginResetModel();
    m_runs = std::move(runs);
    endResetModel();
}

int RunListModel::rowOf(const QString &uuid) const
{
    for (int row = 0; row < m_runs.size(); ++row) {
        if (m_runs.at(row).uuid == uuid)
            return row;
    }
    return -1;
}

QString RunListModel::programFileName(const QString &path)
{
    return path.mid(std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1);
}

QString RunListModel::durationText(const StoredRun &run)
{
    const qint64 seconds = durationSeconds(run);
    if (seconds < 0)
        return QString();
    return FigureText::clock(seconds);
}

int RunListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_runs.size()); }

int RunListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant RunListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const StoredRun &run = m_runs.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return display(run, index.column());
    case SortRole:
        return sortValue(run, index.column());
    case Qt::ToolTipRole:
        if (index.column() == Program)
            return run.programName;
        if (index.column() == Result && !run.message.isEmpty())
            return run.message;
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == Samples || index.column() == Duration || index.column() == AmpHours)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant RunListModel::display(const StoredRun &run, int column) const
{
    switch (column) {
    case Started:
        return run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Station:
        return run.station;
    case Program:
        return programFileName(run.programName);
    case Model:
        return run.model;
    case Result:
        return run.resultText();
    case Samples:
        return QLocale().toString(run.sampleCount);
    case Duration:
        return durationText(run);
    case AmpHours:
        return run.totals ? QString::number(run.totals->ampHours, 'f', 4) : QString();
    default:
        return QVariant();
    }
}

QVariant RunListModel::sortValue(const StoredRun &run, int column) const
{
    switch (column) {
    case Started:
        return run.started;
    case Samples:
        return run.sampleCount;
    case Duration:
        return durationSeconds(run);
    case AmpHours:
        return run.totals ? run.totals->ampHours : -1.0;
    default:
        return display(run, column).toString().toLower();
    }
}

QVariant RunListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const Titles[ColumnCount]
        = {"Started", "Station", "Program", "Model", "Result", "Samples", "Duration", "Run Ah"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(Titles[section]);
}
