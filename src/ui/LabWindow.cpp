#include "ui/LabWindow.h"

#include "store/RunArchive.h"
#include "ui/RunArchiveThread.h"
#include "ui/RunChart.h"
#include "ui/WindowSize.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

LabWindow::LabWindow(const QString &iniPath, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_server(StoreServer::fromIni(iniPath, &m_serverProblem)),
      m_stationDays(RunArchive::stationsShownForDays(iniPath))
{
    setObjectName(QStringLiteral("LabWindow"));
    setWindowTitle(QStringLiteral("Lab"));
    WindowSize::resizeWithin(this, QSize(1400, 860));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFilters());
    auto *split = new QSplitter(Qt::Vertical, this);
    m_table = new QTableView(split);
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(StationTableModel::Program, QHeaderView::Stretch);
    auto *chartColumn = new QWidget(split);
    auto *column = new QVBoxLayout(chartColumn);
    column->setContentsMargins(0, 0, 0, 0);
    m_chartTitle = new QLabel(QStringLiteral("Select a station to follow its run."), chartColumn);
    column->addWidget(m_chartTitle);
    m_chart = new RunChart(chartColumn);
    column->addWidget(m_chart, 1);
    split->addWidget(m_table);
    split->addWidget(chartColumn);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    layout->addWidget(split, 1);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_status);

    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &LabWindow::openSelected);
    m_readAgain.setSingleShot(true);
    m_readAgain.setInterval(ReadIntervalMs);
    connect(&m_readAgain, &QTimer::timeout, this, &LabWindow::read);
    if (!m_server.isSet()) {
        setStatus(m_serverProblem.isEmpty()
                ? QStringLiteral("No lab server is named in the [Store] section of %1: the lab view reads the "
                                 "stations' state from it.")
                      .arg(iniPath)
                : m_serverProblem,
            true);
        return;
    }
    const StoreServer server = m_server;
    m_reader = std::make_unique<RunArchiveThread>([server] { return RunArchive::server(server); });
    m_loader = std::make_unique<RunArchiveThread>([server] { return RunArchive::server(server); });
    connect(m_reader.get(), &RunArchiveThread::stationsRead, this, &LabWindow::onStations);
    connect(m_loader.get(), &RunArchiveThread::loaded, this, &LabWindow::onLoaded);
    setStatus(QStringLiteral("Reading the stations from %1…").arg(m_server.describe()), false);
    read();
}

LabWindow::~LabWindow() = default;

QWidget *LabWindow::buildFilters()
{
    auto *box = new QWidget(this);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    m_station = new QLineEdit(box);
    m_station->setPlaceholderText(QStringLiteral("Station contains…"));
    m_station->setClearButtonEnabled(true);
    m_state = new QComboBox(box);
    m_state->addItem(QStringLiteral("All"));
    m_state->addItems(StationTableModel::StateWords);
    row->addWidget(new QLabel(QStringLiteral("Station:"), box));
    row->addWidget(m_station, 1);
    row->addWidget(new QLabel(QStringLiteral("State:"), box));
    row->addWidget(m_state);
    connect(m_station, &QLineEdit::textChanged, this, &LabWindow::showFiltered);
    connect(m_state, &QComboBox::currentIndexChanged, this, &LabWindow::showFiltered);
    return box;
}

QString LabWindow::statusText() const { return m_status->text(); }

QString LabWindow::chartTitle() const { return m_chartTitle->text(); }

void LabWindow::setStatus(const QString &text, bool trouble)
{
    m_status->setText(text);
    m_status->setStyleSheet(trouble ? QStringLiteral("color: #c62828;") : QString());
}

void LabWindow::read() { m_readTicket = m_reader->readStations(m_stationDays); }

void LabWindow::onStations(quint64 ticket, const QList<StationState> &stations, const QString &error)
{
    if (ticket != m_readTicket)
        return;
    // The next reading is 2 s after this answer: a slow server is never asked twice at once.
    m_readAgain.start();
    if (!error.isEmpty()) {
        setStatus(QStringLiteral("%1: %2 (reading again every %3 s)")
                      .arg(m_server.describe(), error)
                      .arg(ReadIntervalMs / 1000),
            true);
        Q_EMIT stationsShown();
        return;
    }
    m_all = stations;
    showFiltered();
    const qsizetype silent
        = std::count_if(stations.begin(), stations.end(), [](const StationState &state) { return state.isSilent(); });
    QString said = QStringLiteral("%1 stations on %2, read at %3")
                       .arg(stations.size())
                       .arg(m_server.describe(), QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")));
    if (silent > 0)
        said += QStringLiteral("; %1 silent").arg(silent);
    setStatus(said + u'.', false);
    Q_EMIT stationsShown();
    // The selected station's run may have changed: a new run started, or this one went on.
    openSelected();
}

void LabWindow::showFiltered()
{
    const QString station = m_station->text().trimmed();
    const QString state = m_state->currentIndex() > 0 ? m_state->currentText() : QString();
    QList<StationState> shown;
    for (const StationState &each : m_all) {
        if (!station.isEmpty() && !each.station.contains(station, Qt::CaseInsensitive))
            continue;
        if (!state.isEmpty() && StationTableModel::stateWord(each) != state)
            continue;
        shown.append(each);
    }
    m_model.setStations(shown);
    // The selection follows its station, wherever its row is now.
    const int row = int(std::find_if(shown.begin(), shown.end(), [this](const StationState &each) {
        return each.key() == m_openStation;
    }) - shown.begin());
    if (row < shown.size() && m_table->currentIndex().row() != row)
        m_table->selectRow(row);
}

void LabWindow::openSelected()
{
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid() || !m_loader)
        return;
    const StationState &state = m_model.stationAt(current.row());
    m_openStation = state.key();
    m_openLabel = state.label();
    if (state.runUuid.isEmpty()) {
        m_openRun.clear();
        m_chart->history().clear();
        m_chart->refresh();
        m_chartTitle->setText(QStringLiteral("%1 has run nothing since it started.").arg(m_openLabel));
        return;
    }
    // A running run is read at every reading, as it is forwarded, and once more when it has ended;
    // a finished one once.
    const bool running = state.activity == StationState::Activity::Running;
    const bool again = state.runUuid != m_openRun || running || m_openRunning;
    m_openRun = state.runUuid;
    m_openRunning = running;
    if (again)
        m_loadTicket = m_loader->loadRun(state.runUuid);
}

void LabWindow::onLoaded(quint64 ticket, const StoredRun &run, const ChartHistory &history, const QString &error)
{
    if (ticket != m_loadTicket)
        return;
    if (!error.isEmpty()) {
        m_chartTitle->setText(error);
        return;
    }
    m_chartTitle->setText(QStringLiteral("%1 — %2, %3")
                              .arg(m_openLabel, QFileInfo(run.programName).fileName(),
                                  run.result.isEmpty() ? QStringLiteral("running") : run.result));
    m_chart->history() = history;
    if (m_chart->isFollowing())
        m_chart->follow();
    else
        m_chart->refresh();
    Q_EMIT runShown(run.uuid);
}
