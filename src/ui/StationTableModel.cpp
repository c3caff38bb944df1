#include "ui/StationTableModel.h"

#include "model/FigureText.h"
#include "report/ReportStyle.h"
#include "results/LoadOffText.h"

#include <QColor>
#include <QFileInfo>
#include <cmath>

namespace {

const QColor SilentFill(0xfd, 0xe0, 0xdc);

} // namespace

void StationTableModel::setStations(const QList<StationState> &stations)
{
    const bool sameRows = stations.size() == m_stations.size()
        && std::equal(stations.begin(), stations.end(), m_stations.begin(),
            [](const StationState &a, const StationState &b) { return a.key() == b.key(); });
    if (!sameRows) {
        beginResetModel();
        m_stations = stations;
        endResetModel();
        return;
    }
    m_stations = stations;
    if (!m_stations.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_stations.size()) - 1, ColumnCount - 1));
}

QString StationTableModel::stateWord(const StationState &state)
{
    if (state.isSilent())
        return StateWords.at(3);
    switch (state.activity) {
    case StationState::Activity::Running:
        return StateWords.at(0);
    case StationState::Activity::Finished:
        return StateWords.at(1);
    case StationState::Activity::Idle:
        break;
    }
    return StateWords.at(2);
}

QString StationTableModel::stateText(const StationState &state)
{
    if (!state.isSilent())
        return stateWord(state);
    const double seconds = std::floor(state.silentSeconds);
    return QStringLiteral("Silent (%1)")
        .arg(seconds < 60 ? QStringLiteral("%1 s").arg(seconds) : FigureText::words(seconds));
}

QString StationTableModel::loadOffText(const StationState &state)
{
    const LoadOff &off = state.loadOff;
    if (off.unconfirmed())
        return QStringLiteral("load not confirmed off since %1").arg(off.since.toString(QStringLiteral("HH:mm:ss")));
    if (off.confirmedLate())
        return QStringLiteral("confirmed off %1").arg(off.confirmedAt.toString(QStringLiteral("HH:mm:ss")));
    return QString();
}

int StationTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_stations.size());
}

int StationTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString StationTableModel::text(const StationState &state, int column) const
{
    const bool running = state.activity == StationState::Activity::Running;
    switch (column) {
    case Station:
        return state.label();
    case State:
        return stateText(state);
    case Program:
        return QFileInfo(state.program).fileName();
    case Step:
        if (!running || state.step == 0)
            return QString();
        return QStringLiteral("%1 of %2 %3").arg(state.step).arg(state.steps).arg(state.function);
    case Volts:
        return running ? FigureText::withUnit(state.volts, 3, "V") : QString();
    case Amps:
        return running ? FigureText::withUnit(state.amps, 3, "A") : QString();
    case AmpHours:
        return running ? FigureText::withUnit(state.runAmpHours, 4, "Ah") : QString();
    case Elapsed:
        return running ? FigureText::clock(std::llround(std::max(0.0, state.elapsedSeconds))) : QString();
    case StepLeft:
        return running && state.stepSecondsLeft ? QStringLiteral("%1 s").arg(*state.stepSecondsLeft, 0, 'f', 1)
                                                : QString();
    case Ends:
        return running && state.estimatedEnd.isValid()
            ? state.estimatedEnd.toLocalTime().toString(QStringLiteral("HH:mm:ss"))
            : QString();
    case LastResult:
        return state.lastResult;
    case LoadOffState:
        return loadOffText(state);
    case Heard:
        return state.heardAt.isValid() ? state.heardAt.toLocalTime().toString(QStringLiteral("HH:mm:ss")) : QString();
    default:
        return QString();
    }
}

QVariant StationTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_stations.size())
        return {};
    const StationState &state = m_stations.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(state, index.column());
    case Qt::ToolTipRole:
        if (index.column() == Program)
            return state.program;
        if (index.column() == Station && state.nameShared)
            return QStringLiteral("Another station of the lab is called %1 too: give each bench a name of its own "
                                  "([Store] Station in its settings). This one's id is %2.")
                .arg(state.station,
                    state.stationId.isEmpty() ? QStringLiteral("unknown (an earlier version)") : state.stationId);
        if (index.column() == State && state.isSilent())
            return QStringLiteral("Not heard from since %1; a station is heard from every 2 s while it runs "
                                  "its program.")
                .arg(state.heardAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        if (index.column() == LoadOffState && state.loadOff.state != LoadOff::State::None)
            return LoadOffText::detail(state.loadOff);
        return {};
    case Qt::ForegroundRole:
        if (index.column() == LastResult)
            return ReportStyle::resultColor(state.lastResult);
        if (index.column() == Station && state.nameShared)
            return ReportStyle::Other;
        if ((index.column() == State && state.isSilent())
            || (index.column() == LoadOffState && state.loadOff.unconfirmed()))
            return ReportStyle::Fail;
        return {};
    case Qt::BackgroundRole:
        // A load that may still be on needs someone at the bench as much as a station gone quiet.
        return state.isSilent() || state.loadOff.unconfirmed() ? QVariant(SilentFill) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() >= Volts && index.column() <= StepLeft ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                     : QVariant();
    default:
        return {};
    }
}

QVariant StationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList headers{QStringLiteral("Station"), QStringLiteral("State"), QStringLiteral("Program"),
        QStringLiteral("Step"), QStringLiteral("V"), QStringLiteral("I"), QStringLiteral("Run Ah"),
        QStringLiteral("Elapsed"), QStringLiteral("Step left"), QStringLiteral("Ends at"),
        QStringLiteral("Last result"), QStringLiteral("Load off"), QStringLiteral("Heard")};
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return headers.value(section);
}
