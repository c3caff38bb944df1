#include "ui/RunsWindow.h"

#include "report/RunReport.h"
#include "store/RunExport.h"
#include "store/RunStore.h"
#include "store/StoreServer.h"
#include "store/StoredRunText.h"
#include "ui/CompareWindow.h"
#include "ui/DateBoundEdit.h"
#include "ui/RunArchiveThread.h"
#include "ui/RunChart.h"
#include "ui/RunResultDelegate.h"
#include "ui/WindowSize.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QString samplesText(qint64 count)
{
    return count == 1 ? QStringLiteral("1 sample") : QStringLiteral("%L1 samples").arg(count);
}

QLineEdit *filterEdit(const QString &placeholder, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    return edit;
}

} // namespace

RunsWindow::RunsWindow(const QString &iniPath, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_storeFile(QDir(QFileInfo(iniPath).absolutePath()).filePath(RunStore::FileName)),
      m_saveFolder(QFileInfo(iniPath).absolutePath())
{
    setObjectName(QStringLiteral("RunsWindow"));
    setWindowTitle(QStringLiteral("Runs"));
    WindowSize::resizeWithin(this, QSize(1500, 900));
    m_sources.push_back({QStringLiteral("This bench (%1)").arg(RunStore::FileName),
        [file = m_storeFile] { return RunArchive::local(file); }, nullptr, nullptr});
    if (const StoreServer server = StoreServer::fromIni(iniPath, &m_serverProblem); server.isSet())
        m_sources.push_back({QStringLiteral("Lab server (%1)").arg(server.describe()),
            [server] { return RunArchive::server(server); }, nullptr, nullptr});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildFilters());
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(buildTable());
    split->addWidget(buildRunView());
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    layout->addWidget(split, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("RunsStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    m_filterDelay.setSingleShot(true);
    m_filterDelay.setInterval(FilterDelayMs);
    connect(&m_filterDelay, &QTimer::timeout, this, &RunsWindow::refresh);
    m_followLive.setSingleShot(true);
    m_followLive.setInterval(LiveIntervalMs);
    connect(&m_followLive, &QTimer::timeout, this, [this] {
        refresh();
        reloadShown();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &RunsWindow::openCurrent);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &RunsWindow::selectionChanged);
    connect(m_compare, &QPushButton::clicked, this, &RunsWindow::compareSelected);
    selectionChanged();
    refresh();
}

RunsWindow::~RunsWindow() = default;

QWidget *RunsWindow::buildTable()
{
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("RunTable"));
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(&m_runs);
    m_sorted->setSortRole(RunListModel::SortRole);
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(RunListModel::Started, Qt::DescendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows at once are for Compare; the current row is the one shown.
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Times, results and counts take the room they need; the program's name has the rest.
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(RunListModel::Program, QHeaderView::Stretch);
    header->setResizeContentsPrecision(200);
    m_table->setItemDelegateForColumn(RunListModel::Result, new RunResultDelegate(m_table));
    return m_table;
}

QWidget *RunsWindow::buildFilters()
{
    auto *box = new QWidget(this);
    auto *rows = new QVBoxLayout(box);
    rows->setContentsMargins(0, 0, 0, 0);

    auto *top = new QHBoxLayout;
    m_source = new QComboBox(box);
    m_source->setObjectName(QStringLiteral("RunSource"));
    for (const Source &source : m_sources)
        m_source->addItem(source.label);
    m_source->setItemData(0, QDir::toNativeSeparators(m_storeFile), Qt::ToolTipRole);
    m_refresh = new QPushButton(QStringLiteral("Refresh"), box);
    top->addWidget(new QLabel(QStringLiteral("Source:"), box));
    top->addWidget(m_source);
    top->addStretch(1);
    m_compare = new QPushButton(QStringLiteral("Compare…"), box);
    top->addWidget(m_compare);
    top->addWidget(m_refresh);
    rows->addLayout(top);

    auto *filters = new QHBoxLayout;
    m_program = filterEdit(QStringLiteral("Program contains…"), box);
    m_model = filterEdit(QStringLiteral("Model contains…"), box);
    m_result = new QComboBox(box);
    m_result->addItem(QStringLiteral("All"), QString());
    for (const char *result : {"PASS", "FAIL", "STOPPED", "LOST", "ERROR", "UNFINISHED"})
        m_result->addItem(QString::fromLatin1(result), QString::fromLatin1(result));
    m_from = new DateBoundEdit(QStringLiteral("From"), box);
    m_to = new DateBoundEdit(QStringLiteral("To"), box);
    filters->addWidget(new QLabel(QStringLiteral("Program:"), box));
    filters->addWidget(m_program, 2);
    filters->addWidget(new QLabel(QStringLiteral("Model:"), box));
    filters->addWidget(m_model, 1);
    filters->addWidget(new QLabel(QStringLiteral("Result:"), box));
    filters->addWidget(m_result);
    filters->addSpacing(12);
    filters->addWidget(m_from);
    filters->addWidget(m_to);
    rows->addLayout(filters);

    const auto later = [this] { m_filterDelay.start(); };
    connect(m_program, &QLineEdit::textChanged, this, later);
    connect(m_model, &QLineEdit::textChanged, this, later);
    connect(m_result, &QComboBox::currentIndexChanged, this, later);
    connect(m_from, &DateBoundEdit::changed, this, later);
    connect(m_to, &DateBoundEdit::changed, this, later);
    connect(m_refresh, &QPushButton::clicked, this, &RunsWindow::refresh);
    connect(m_source, &QComboBox::currentIndexChanged, this, &RunsWindow::sourceChanged);
    return box;
}

QWidget *RunsWindow::buildRunView()
{
    auto *split = new QSplitter(Qt::Horizontal);
    m_summary = new QPlainTextEdit(split);
    m_summary->setObjectName(QStringLiteral("StoredRunSummary"));
    m_summary->setReadOnly(true);
    m_summary->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    m_summary->setFont(fixed);
    m_summary->setPlaceholderText(QStringLiteral("Select a run to see its summary and chart."));
    split->addWidget(m_summary);

    auto *chartColumn = new QWidget(split);
    auto *column = new QVBoxLayout(chartColumn);
    column->setContentsMargins(0, 0, 0, 0);
    auto *tools = new QHBoxLayout;
    m_chartTitle = new QLabel(chartColumn);
    m_chartTitle->setObjectName(QStringLiteral("StoredRunChartTitle"));
    m_export = new QPushButton(QStringLiteral("Export CSV…"), chartColumn);
    m_report = new QPushButton(QStringLiteral("Report…"), chartColumn);
    m_export->setToolTip(QStringLiteral("Every sample of the run, one row each, in the columns %1 (verdict rows and "
                                        "the date and time are not in it, unlike the run's own CSV log)")
                             .arg(QString::fromLatin1(RunExport::CsvHeader).replace(u',', QStringLiteral(", "))));
    m_report->setToolTip(QStringLiteral("The run as a PDF: its result, chart, steps, settings and program"));
    tools->addWidget(m_chartTitle, 1);
    tools->addWidget(m_export);
    tools->addWidget(m_report);
    column->addLayout(tools);
    m_chart = new RunChart(chartColumn);
    column->addWidget(m_chart, 1);
    split->addWidget(chartColumn);
    // The summary as wide as its step table, the chart the rest and what the window gains.
    const int summaryWidth = m_summary->fontMetrics().horizontalAdvance(QString(104, u'0')) + 24;
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({summaryWidth, std::max(600, width() - summaryWidth)});

    connect(m_export, &QPushButton::clicked, this, [this] {
        writeOut(QStringLiteral("Export CSV"), QStringLiteral("CSV"), QStringLiteral("CSV files (*.CSV *.csv)"),
            [](const RunArchive &archive, const StoredRun &run, const QString &path) {
                return RunExport::writeCsv(archive, run, path);
            });
    });
    connect(m_report, &QPushButton::clicked, this, [this] {
        writeOut(QStringLiteral("Report"), QStringLiteral("pdf"), QStringLiteral("PDF files (*.pdf)"),
            [](const RunArchive &archive, const StoredRun &run, const QString &path) {
                return RunReport::write(archive, run, path);
            });
    });
    clearRun();
    return split;
}

RunsWindow::Source &RunsWindow::source()
{
    Source &source = m_sources.at(size_t(std::max(0, m_source->currentIndex())));
    if (!source.lists) {
        source.lists = std::make_unique<RunArchiveThread>(source.makeArchive);
        source.loads = std::make_unique<RunArchiveThread>(source.makeArchive);
        connect(source.lists.get(), &RunArchiveThread::listed, this, &RunsWindow::onListed);
        connect(source.lists.get(), &RunArchiveThread::written, this, &RunsWindow::onWritten);
        connect(source.loads.get(), &RunArchiveThread::loaded, this, &RunsWindow::onLoaded);
    }
    return source;
}

RunArchive::Filter RunsWindow::filter() const
{
    RunArchive::Filter filter;
    filter.program = m_program->text().trimmed();
    filter.model = m_model->text().trimmed();
    filter.result = m_result->currentData().toString();
    filter.from = m_from->date();
    filter.to = m_to->date();
    return filter;
}

QString RunsWindow::statusText() const { return m_status->text(); }

QString RunsWindow::chartTitle() const { return m_chartTitle->text(); }

QStringList RunsWindow::shownUuids() const
{
    QStringList uuids;
    for (int row = 0; row < m_sorted->rowCount(); ++row)
        uuids.append(m_runs.runAt(m_sorted->mapToSource(m_sorted->index(row, 0)).row()).uuid);
    return uuids;
}

QStringList RunsWindow::selectedUuids() const
{
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList uuids;
    for (const QModelIndex &row : rows)
        uuids.append(m_runs.runAt(m_sorted->mapToSource(row).row()).uuid);
    return uuids;
}

void RunsWindow::selectionChanged()
{
    const qsizetype selected = m_table->selectionModel()->selectedRows().size();
    m_compare->setEnabled(selected >= 2 && selected <= CompareWindow::MostRuns);
    m_compare->setToolTip(selected > CompareWindow::MostRuns
            ? QStringLiteral("At most %1 runs can be compared; %2 are selected.")
                  .arg(CompareWindow::MostRuns)
                  .arg(selected)
            : QStringLiteral("Select from 2 to %1 runs (Ctrl-click, Shift-click) to lay their curves over each other "
                             "and set their figures side by side.")
                  .arg(CompareWindow::MostRuns));
}

CompareWindow *RunsWindow::compareSelected()
{
    const QStringList uuids = selectedUuids();
    if (uuids.size() < 2 || uuids.size() > CompareWindow::MostRuns)
        return nullptr;
    const Source &shown = source();
    auto *window = new CompareWindow(shown.makeArchive, shown.label, uuids, m_saveFolder, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void RunsWindow::refresh()
{
    m_filterDelay.stop();
    m_listTicket = source().lists->listRuns(filter());
    if (m_runs.rowCount() == 0)
        setStatus(QStringLiteral("Reading the runs of %1 …").arg(m_source->currentText()), false);
}

void RunsWindow::sourceChanged()
{
    m_runs.setRuns({});
    m_openUuid.clear();
    m_loadTicket = 0;
    clearRun();
    refresh();
}

void RunsWindow::onListed(quint64 ticket, const QList<StoredRun> &runs, const QString &error)
{
    if (ticket != m_listTicket)
        return;
    m_runs.setRuns(runs);
    // The run on show stays selected when it is still listed, without being read again; one the
    // filters now leave out goes from view too.
    if (const int row = m_runs.rowOf(m_openUuid); row >= 0) {
        const QModelIndex index = m_sorted->mapFromSource(m_runs.index(row, 0));
        m_table->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        // The run has moved on since it was read (it was still going): the detail must not
        // contradict the list beside it.
        const StoredRun &listed = m_runs.runAt(row);
        if (m_shown
            && (listed.result != m_shown->result || listed.sampleCount != m_shown->sampleCount
                || listed.ended != m_shown->ended))
            reloadShown();
    } else if (!m_openUuid.isEmpty()) {
        m_openUuid.clear();
        m_loadTicket = 0;
        clearRun();
    }
    const QString count = runs.size() == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(runs.size());
    if (!error.isEmpty())
        setStatus(error, true);
    else if (!m_serverProblem.isEmpty())
        setStatus(count + QStringLiteral(". ") + m_serverProblem, true);
    else
        setStatus(count, false);
    Q_EMIT listShown();
}

void RunsWindow::openCurrent()
{
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid())
        return;
    const StoredRun &run = m_runs.runAt(m_sorted->mapToSource(current).row());
    if (run.uuid == m_openUuid)
        return;
    m_openUuid = run.uuid;
    clearRun();
    m_chartTitle->setText(QStringLiteral("Loading %1 …").arg(samplesText(run.sampleCount)));
    m_loadTicket = source().loads->loadRun(run.uuid);
}

void RunsWindow::onLoaded(quint64 ticket, const StoredRun &run, const ChartHistory &history, const QString &error)
{
    if (ticket != m_loadTicket)
        return;
    if (!error.isEmpty()) {
        m_chartTitle->setText(QString());
        m_summary->setPlainText(error);
        setStatus(error, true);
        return;
    }
    m_shown = run;
    m_summary->setPlainText(StoredRunText::toText(run));
    m_chartTitle->setText(
        QStringLiteral("%1 — %2").arg(RunListModel::programFileName(run.programName), samplesText(run.sampleCount)));
    m_chart->history() = history;
    // Read again while it goes on: an operator's zoom stays where it is.
    if (m_chart->isFollowing())
        m_chart->follow();
    else
        m_chart->refresh();
    if (run.result.isEmpty())
        m_followLive.start();
    else
        m_followLive.stop();
    m_export->setEnabled(true);
    m_report->setEnabled(true);
    Q_EMIT runShown(run.uuid);
}

void RunsWindow::reloadShown()
{
    if (m_openUuid.isEmpty())
        return;
    m_loadTicket = source().loads->loadRun(m_openUuid);
}

void RunsWindow::clearRun()
{
    m_followLive.stop();
    m_shown.reset();
    m_summary->clear();
    m_chartTitle->clear();
    m_chart->history().clear();
    m_chart->follow();
    m_export->setEnabled(false);
    m_report->setEnabled(false);
}

void RunsWindow::writeOut(const QString &title, const QString &suffix, const QString &fileFilter,
    std::function<QString(const RunArchive &, const StoredRun &, const QString &)> write)
{
    if (!m_shown)
        return;
    const QString proposed = QStringLiteral("%1-%2.%3")
                                 .arg(QFileInfo(RunListModel::programFileName(m_shown->programName)).completeBaseName(),
                                     m_shown->started.toString(QStringLiteral("yyyyMMdd-HHmmss")), suffix);
    const QString path = QFileDialog::getSaveFileName(this, title, QDir(m_saveFolder).filePath(proposed), fileFilter);
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    const quint64 ticket = source().lists->write(
        *m_shown, [path, write](const RunArchive &archive, const StoredRun &run) { return write(archive, run, path); });
    m_writing.insert(ticket, path);
    setStatus(QStringLiteral("Writing %1 …").arg(QDir::toNativeSeparators(path)), false);
}

void RunsWindow::onWritten(quint64 ticket, const QString &error)
{
    const QString path = m_writing.take(ticket);
    if (path.isEmpty())
        return;
    if (!error.isEmpty()) {
        setStatus(error, true);
        QMessageBox::warning(this, windowTitle(), error);
        return;
    }
    setStatus(QStringLiteral("Written: %1").arg(QDir::toNativeSeparators(path)), false);
}

void RunsWindow::setStatus(const QString &text, bool trouble)
{
    m_status->setText(text);
    m_status->setStyleSheet(
        trouble ? QStringLiteral("QLabel { background: #fdecea; color: #8a1c1c; padding: 2px 6px; }") : QString());
}
