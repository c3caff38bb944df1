#include "ui/CompareWindow.h"

#include "report/ComparisonReport.h"
#include "report/OverlayImage.h"
#include "report/RunColours.h"
#include "store/RunComparisonCsv.h"
#include "store/RunComparisonTable.h"
#include "ui/OverlayChart.h"
#include "ui/WindowSize.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>

namespace {

QString runsText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(count);
}

} // namespace

CompareWindow::CompareWindow(RunArchiveThread::ArchiveMaker makeArchive, const QString &sourceLabel,
    const QStringList &uuids, const QString &saveFolder, QWidget *parent)
    : QWidget(parent, Qt::Window),
      m_sourceLabel(sourceLabel),
      m_saveFolder(saveFolder),
      m_reader(std::move(makeArchive))
{
    setWindowTitle(QStringLiteral("Compare %1 — %2").arg(runsText(uuids.size()), sourceLabel));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildControls());
    auto *split = new QSplitter(Qt::Vertical, this);
    m_chart = new OverlayChart(split);
    m_table = new QTableView(split);
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    split->addWidget(m_chart);
    split->addWidget(m_table);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_status);
    WindowSize::resizeWithin(this, QSize(1200, 860));

    connect(&m_reader, &RunArchiveThread::readForComparisonDone, this, &CompareWindow::onRead);
    m_ticket = m_reader.readForComparison(uuids);
    setStatus(QStringLiteral("Reading %1 from %2…").arg(runsText(uuids.size()), sourceLabel), false);
}

CompareWindow::~CompareWindow()
{
    if (m_writing)
        m_writing->wait();
}

QWidget *CompareWindow::buildControls()
{
    auto *box = new QWidget(this);
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    m_by = new QComboBox(box);
    m_by->addItem(QStringLiteral("Time"), int(OverlayCurve::By::Seconds));
    m_by->addItem(QStringLiteral("Ah drawn"), int(OverlayCurve::By::AmpHours));
    m_quantity = new QComboBox(box);
    m_quantity->addItem(QStringLiteral("Voltage"), int(OverlayPainter::Quantity::Volts));
    m_quantity->addItem(QStringLiteral("Current"), int(OverlayPainter::Quantity::Amps));
    m_quantity->addItem(QStringLiteral("Power"), int(OverlayPainter::Quantity::Watts));
    m_align = new QSpinBox(box);
    m_align->setRange(0, 99999);
    m_align->setSpecialValueText(QStringLiteral("each run's start"));
    m_align->setToolTip(QStringLiteral("The curves and figures start where each run first sampled in this step, so "
                                       "that a rest or a test before a discharge does not shift them. Runs "
                                       "without the step are left out."));
    m_nominal = new QLineEdit(box);
    m_nominal->setPlaceholderText(QStringLiteral("Ah"));
    m_nominal->setToolTip(QStringLiteral("The capacity the parts are rated for: each run's state of health is its "
                                         "capacity over this."));
    m_nominal->setMaximumWidth(90);
    m_threshold = new QDoubleSpinBox(box);
    m_threshold->setRange(1.1, 1000);
    m_threshold->setDecimals(1);
    m_threshold->setSuffix(QStringLiteral(" %"));
    m_threshold->setValue(100 * RunComparison::DefaultThreshold);
    m_threshold->setToolTip(QStringLiteral("A part passes when its state of health is at least this."));
    m_whole = new QPushButton(QStringLiteral("Whole"), box);
    m_whole->setToolTip(QStringLiteral("Every curve whole (or double-click the chart). Drag a span to zoom, the "
                                       "wheel zooms, a right-drag pans."));
    m_saveChart = new QPushButton(QStringLiteral("Save Chart…"), box);
    m_saveFigures = new QPushButton(QStringLiteral("Save Figures…"), box);
    m_savePdf = new QPushButton(QStringLiteral("Save PDF…"), box);
    row->addWidget(new QLabel(QStringLiteral("By:"), box));
    row->addWidget(m_by);
    row->addWidget(new QLabel(QStringLiteral("Show:"), box));
    row->addWidget(m_quantity);
    row->addWidget(new QLabel(QStringLiteral("Align at step:"), box));
    row->addWidget(m_align);
    row->addWidget(new QLabel(QStringLiteral("Nominal:"), box));
    row->addWidget(m_nominal);
    row->addWidget(new QLabel(QStringLiteral("Pass at:"), box));
    row->addWidget(m_threshold);
    row->addStretch(1);
    row->addWidget(m_whole);
    row->addWidget(m_saveChart);
    row->addWidget(m_saveFigures);
    row->addWidget(m_savePdf);
    for (QPushButton *button : {m_saveChart, m_saveFigures, m_savePdf})
        button->setEnabled(false);

    connect(m_by, &QComboBox::currentIndexChanged, this, &CompareWindow::showComparison);
    connect(m_quantity, &QComboBox::currentIndexChanged, this, &CompareWindow::showComparison);
    connect(m_align, &QSpinBox::valueChanged, this, &CompareWindow::showComparison);
    connect(m_nominal, &QLineEdit::textChanged, this, &CompareWindow::showComparison);
    connect(m_threshold, &QDoubleSpinBox::valueChanged, this, &CompareWindow::showComparison);
    connect(m_whole, &QPushButton::clicked, this, [this] { m_chart->showWhole(); });
    connect(m_saveChart, &QPushButton::clicked, this, [this] {
        ask(QStringLiteral("Save Chart"), QStringLiteral(".png"), QStringLiteral("PNG images (*.png)"),
            &CompareWindow::saveChart);
    });
    connect(m_saveFigures, &QPushButton::clicked, this, [this] {
        ask(QStringLiteral("Save Figures"), QStringLiteral(".csv"), QStringLiteral("CSV files (*.csv)"),
            &CompareWindow::saveFigures);
    });
    connect(m_savePdf, &QPushButton::clicked, this, [this] {
        ask(QStringLiteral("Save PDF"), QStringLiteral(".pdf"), QStringLiteral("PDF files (*.pdf)"),
            &CompareWindow::savePdf);
    });
    return box;
}

QString CompareWindow::statusText() const { return m_status->text(); }

void CompareWindow::setStatus(const QString &text, bool trouble)
{
    m_status->setText(text);
    m_status->setStyleSheet(trouble ? QStringLiteral("color: #c62828;") : QString());
}

void CompareWindow::onRead(quint64 ticket, const RunComparison &runs, const QString &error)
{
    if (ticket != m_ticket)
        return;
    if (!error.isEmpty()) {
        setStatus(QStringLiteral("%1: %2").arg(m_sourceLabel, error), true);
        Q_EMIT runsRead();
        return;
    }
    m_read = runs;
    showComparison();
    Q_EMIT runsRead();
}

void CompareWindow::showComparison()
{
    const std::optional<int> alignStep = m_align->value() > 0 ? std::optional(m_align->value()) : std::nullopt;
    const auto by = OverlayCurve::By(m_by->currentData().toInt());
    m_shown = RunComparison();
    m_leftOut.clear();
    std::vector<OverlayCurve> curves;
    QList<QColor> colours;
    QStringList labels;
    for (qsizetype k = 0; k < m_read.entries().size(); ++k) {
        const RunComparison::Entry &entry = m_read.entries().at(k);
        QString why;
        const std::optional<RunFigures> figures = RunFigures::measure(entry.run, entry.chart, alignStep, &why);
        if (!figures) {
            m_leftOut.append(why);
            continue;
        }
        // Each run keeps its colour whichever runs are left out beside it.
        colours.append(RunColours::of(k));
        labels.append(OverlayPainter::labelOf(entry.run));
        curves.push_back(OverlayCurve::make(entry.chart, by, alignStep).value_or(OverlayCurve()));
        m_shown.add({entry.run, *figures, entry.chart});
    }
    bool nominalOk = false;
    const double nominal = m_nominal->text().trimmed().toDouble(&nominalOk);
    const bool judged = nominalOk && nominal > 0 && std::isfinite(nominal);
    if (judged)
        m_shown.setNominal(nominal, m_threshold->value() / 100.0);
    m_chart->setCurves(std::move(curves), colours, labels);
    m_chart->setView(by, OverlayPainter::Quantity(m_quantity->currentData().toInt()), alignStep);
    m_model.setTable(RunComparisonTable(m_shown), colours);

    QStringList said{QStringLiteral("%1 compared from %2.").arg(runsText(m_shown.entries().size()), m_sourceLabel)};
    if (!m_nominal->text().trimmed().isEmpty() && !judged)
        said.append(QStringLiteral("Nominal: \"%1\" is not a capacity in Ah; use \".\" as the decimal point.")
                        .arg(m_nominal->text().trimmed()));
    if (!m_leftOut.isEmpty())
        said.append(QStringLiteral("Left out: %1.").arg(m_leftOut.join(QStringLiteral("; "))));
    setStatus(said.join(u' '), !m_leftOut.isEmpty() || (!m_nominal->text().trimmed().isEmpty() && !judged));
    for (QPushButton *button : {m_saveChart, m_saveFigures, m_savePdf})
        button->setEnabled(!m_shown.entries().isEmpty());
}

void CompareWindow::ask(
    const QString &title, const QString &suffix, const QString &filter, void (CompareWindow::*save)(const QString &))
{
    const QString proposed
        = QDir(m_saveFolder)
              .filePath(QStringLiteral("compare-%1%2")
                            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")), suffix));
    const QString path = QFileDialog::getSaveFileName(this, title, proposed, filter);
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    (this->*save)(path);
}

void CompareWindow::writeOff(const QString &path, std::function<QString()> write)
{
    if (m_writing)
        m_writing->wait();
    auto error = std::make_shared<QString>();
    m_writing.reset(QThread::create([write = std::move(write), error] { *error = write(); }));
    connect(m_writing.get(), &QThread::finished, this, [this, path, error] {
        setStatus(error->isEmpty() ? QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)) : *error,
            !error->isEmpty());
        Q_EMIT saved(path, *error);
    });
    setStatus(QStringLiteral("Writing %1…").arg(QDir::toNativeSeparators(path)), false);
    m_writing->start();
}

void CompareWindow::saveChart(const QString &path)
{
    // The thread draws its own copy: the window may draw other curves meanwhile.
    auto curves = std::make_shared<std::vector<OverlayCurve>>();
    QList<QColor> colours;
    QStringList labels;
    for (const OverlayPainter::Curve &curve : m_chart->painterCurves()) {
        curves->push_back(*curve.curve);
        colours.append(curve.colour);
        labels.append(curve.label);
    }
    OverlayPainter::View view = m_chart->view();
    std::tie(view.from, view.to) = m_chart->span();
    view.smooth = true;
    writeOff(path, [curves, colours, labels, view, path] {
        QList<OverlayPainter::Curve> drawn;
        for (std::size_t k = 0; k < curves->size(); ++k)
            drawn.append({&curves->at(k), colours.at(qsizetype(k)), labels.at(qsizetype(k))});
        return OverlayImage::write(drawn, view, path);
    });
}

void CompareWindow::saveFigures(const QString &path)
{
    writeOff(path, [comparison = m_shown, path] { return RunComparisonCsv::write(comparison, path); });
}

void CompareWindow::savePdf(const QString &path)
{
    OverlayPainter::View view = m_chart->view();
    std::tie(view.from, view.to) = m_chart->span();
    view.smooth = true;
    writeOff(path, [comparison = m_shown, view, path] { return ComparisonReport::write(comparison, view, path); });
}
