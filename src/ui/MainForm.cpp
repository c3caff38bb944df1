#include "ui/MainForm.h"

#include "editor/PictureIcon.h"
#include "editor/StepButtonColumn.h"
#include "editor/StepEditor.h"
#include "editor/Twips.h"
#include "link/TraceList.h"
#include "model/FunctionCatalog.h"
#include "model/TestProgram.h"
#include "model/TestStepFile.h"
#include "results/LogExport.h"
#include "results/ResultLog.h"
#include "results/RunLogFile.h"
#include "results/RunSummary.h"
#include "run/RunController.h"
#include "run/RunStatus.h"
#include "settings/IniFile.h"
#include "settings/MeasureOptions.h"
#include "settings/Settings.h"
#include "station/Engine.h"
#include "ui/ConnectionSetupForm.h"
#include "ui/DialogFilter.h"
#include "ui/MeasureFrame.h"
#include "ui/RunEndNote.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QCoro/QCoroSignal>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QToolButton>

namespace {

// The layout is made for a client area of 21750 by 10440 twips.
constexpr int ClientWidth = 21750;
constexpr int ClientHeight = 10440;
constexpr int StepGridLeft = 6360;
constexpr int StepGridTop = 1440;
constexpr int ListViewLeft = 240;
constexpr int ListViewTop = 5880;
constexpr int MeasureFrameWidth = 3135;
constexpr int TraceListWidth = 4815;
constexpr int MinimumWidth = 16000;
constexpr int MinimumHeight = ListViewTop + 6 * 255 + 700;

const QString TsfFilter = QStringLiteral("TSF檔(*.tsf)|*.tsf|所有檔案(*.*)|*.*");
const QString CsvFilter = QStringLiteral("CSV files (*.CSV)|*.CSV|All files (*.*)|*.*");

QRect twipsRect(int left, int top, int width, int height) { return QRect(left, top, width, height); }

QToolButton *pictureButton(QWidget *parent, const char *name, const char *toolTip, PictureIcon::Picture picture)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QLatin1String(toolTip));
    button->setIcon(PictureIcon::icon(picture));
    button->setIconSize(QSize(32, 32));
    return button;
}

QString longestFunctionName()
{
    QString longest;
    for (const QString &name : FunctionCatalog::names())
        if (name.size() > longest.size())
            longest = name;
    return longest;
}

} // namespace

int MainForm::widthOfText(const QString &text) const
{
    // Cell padding and the grid line on both sides.
    return fontMetrics().horizontalAdvance(text) + 2 * fontMetrics().averageCharWidth() + 4;
}

MainForm::MainForm(Engine &engine, const QString &programFolder, QWidget *parent)
    : QWidget(parent),
      m_engine(engine),
      m_settings(engine.settings()),
      m_options(engine.measureOptions()),
      m_program(engine.program()),
      m_trace(engine.trace()),
      m_results(engine.results()),
      m_programFolder(programFolder),
      m_controller(&engine.run())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QLatin1String(Caption));
    setWindowIcon(PictureIcon::fallback(PictureIcon::Logo));
    m_message = [this](const QString &text) { QMessageBox::information(this, windowTitle(), text, QMessageBox::Ok); };
    m_runEndMessage = [this](const RunEndNote &note) {
        QMessageBox(note.icon, windowTitle(), note.text, QMessageBox::Ok, this).exec();
    };
    m_chooseFile = [this](bool save, const QString &filter, const QString &proposed) {
        const QString qtFilter = DialogFilter::toQt(filter);
        if (!save)
            return QFileDialog::getOpenFileName(this, QString(), proposed, qtFilter);
        QFileDialog dialog(this, QString(), proposed, qtFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // The dialog adds the extension before it asks whether to replace a file, so the file it asks
        // about is the one that is written.
        dialog.setDefaultSuffix(filter == CsvFilter ? QStringLiteral("CSV") : QStringLiteral("TSF"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };

    m_geometry.stepGrid = twipsRect(StepGridLeft, StepGridTop, ClientWidth - StepGridLeft - 400, 4200);
    m_geometry.listView = twipsRect(ListViewLeft, ListViewTop, ClientWidth - ListViewLeft - 400 - MeasureFrameWidth,
        ClientHeight - ListViewTop - 700);
    m_geometry.measureFrame = twipsRect(
        ClientWidth - MeasureFrameWidth - 400, ListViewTop - 100, MeasureFrameWidth, m_geometry.listView.height());
    m_geometry.traceList = twipsRect(m_geometry.listView.right() + 1 - TraceListWidth - 400, ListViewTop + 400,
        TraceListWidth, m_geometry.listView.height() - 400);
    m_geometry.stepTimeBox = twipsRect(19080, 270, 1140, 360);
    m_geometry.stepCountBox = twipsRect(20340, 270, 1000, 360);
    m_geometry.errorTrail = twipsRect(9000, 960, 12330, 330);

    buildTopBand();
    buildViews();
    resize(Twips::toPixels(ClientWidth, this), Twips::toPixels(ClientHeight, this));
    // Every part of the top band, and a few rows of the result log.
    setMinimumSize(Twips::toPixels(MinimumWidth, this), Twips::toPixels(MinimumHeight, this));
    placeResizable();

    m_connectionDialog = [this] {
        ConnectionSetupForm dialog(m_settings, iniPath(), this);
        dialog.exec();
    };

    m_engine.setLogFilePath(RunLogFile::defaultPath(m_programFolder));
    Identification &identification = m_engine.identification();
    connect(&identification, &Identification::NameLabelChanged, m_nameLabel, &QLabel::setText);
    connect(&identification, &Identification::AMaxLabelChanged, m_aMaxLabel,
        [this](const QString &amps) { m_aMaxLabel->setText(amps.isEmpty() ? amps : amps + QStringLiteral(" A")); });
    connect(&identification, &Identification::offeredFunctionsChanged, m_editor, &StepEditor::setOfferedFunctions);
    connect(&identification, &Identification::identified, m_editor,
        [this, &identification] { m_editor->setRatings(identification.ratings()); });
    connect(&m_engine.loadLink(), &TransportLink::message, this, &MainForm::showLinkMessage);
    connect(&m_engine.generatorLink(), &TransportLink::message, this, &MainForm::showLinkMessage);
    connect(&m_engine.identification(), &Identification::identified, this, [this] { m_lastLinkMessage.clear(); });
    // Queued: a message box opened while the run's end is still being told would hold back every
    // listener after it (the state, the buttons, the summary) until the operator answers.
    connect(
        m_controller, &RunController::message, this,
        [this](const QString &text) {
            if (m_runMessage)
                m_runMessage(text);
            else
                showMessage(text);
        },
        Qt::QueuedConnection);
    connect(
        m_controller, &RunController::testFinished, this,
        [this] { m_runEndMessage(RunEndNote::of(m_engine.recorder().record())); }, Qt::QueuedConnection);
    const RunRecorder &recorder = m_engine.recorder();
    connect(&recorder, &RunRecorder::stepTimeLeftChanged, this, [this, &recorder] {
        const std::optional<Fixed4> &left = recorder.record().stepTimeLeft;
        m_text2->setText(left ? RunStatus::secondsText(*left) : QString());
    });
    // A time left that no longer counts, while the load does not answer, is shown greyed.
    connect(&recorder, &RunRecorder::changed, m_text2,
        [this, &recorder] { m_text2->setEnabled(!recorder.record().silentSince); });
    connect(&recorder, &RunRecorder::stepStarted, this,
        [this](const StepRecord &step) { m_stepGrid->scrollTo(m_program.index(step.row - 1, 0)); });
    connect(&m_controller->errorTrail(), &ErrorTrail::textChanged, m_label5, &QLabel::setText);
    connect(&recorder, &RunRecorder::runStarted, this, [this] { showRunning(true); });
    connect(&recorder, &RunRecorder::runEnded, this, [this] {
        showRunning(false);
        // A step time left of a run that is over would read as if it still counted.
        m_text2->clear();
    });
    showRunning(false);
}

void MainForm::showRunning(bool running)
{
    // What a run reads must not change under it: the steps, the file they come from, the links
    // and the measure items. Run waits for the run to end; Stop has nothing to stop otherwise.
    m_runCommand->setEnabled(!running);
    m_stopCommand->setEnabled(running);
    m_connectCommand->setEnabled(!running);
    m_measureFrame->setEnabled(!running);
    for (QToolButton *button : {m_buttons->addIntoCommand(), m_buttons->removeCommand(), m_buttons->insertCommand(),
             m_buttons->modifyCommand(), m_buttons->moveUpCommand(), m_buttons->moveDnCommand(),
             m_buttons->openCommand()})
        button->setEnabled(!running);
    m_stepGrid->setEditTriggers(running ? QAbstractItemView::NoEditTriggers : m_stepGridEditTriggers);
}

MainForm::~MainForm() = default;

void MainForm::place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(Twips::toPixels(left, this), Twips::toPixels(top, this), Twips::toPixels(width, this),
        Twips::toPixels(height, this));
}

void MainForm::buildTopBand()
{
    auto *image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setPixmap(PictureIcon::fallback(PictureIcon::Logo).pixmap(Twips::toPixels(720, this)));
    place(image1, 240, 120, 720, 720);

    auto *banner = new QLabel(QLatin1String(Caption), this);
    banner->setObjectName(QStringLiteral("Label24"));
    QFont bannerFont = banner->font();
    bannerFont.setBold(true);
    bannerFont.setPointSizeF(bannerFont.pointSizeF() * 1.4);
    banner->setFont(bannerFont);
    place(banner, 1080, 120, 5160, 420);

    m_nameLabel = new QLabel(this);
    m_nameLabel->setObjectName(QStringLiteral("NameLabel"));
    place(m_nameLabel, 1080, 600, 2520, 300);
    m_aMaxLabel = new QLabel(this);
    m_aMaxLabel->setObjectName(QStringLiteral("AMaxLabel"));
    m_aMaxLabel->installEventFilter(this);
    place(m_aMaxLabel, 3720, 600, 2400, 300);

    m_runCommand = pictureButton(this, "RunCommand", "Start Test", PictureIcon::Run);
    m_stopCommand = pictureButton(this, "StopCommand", "Stop Test", PictureIcon::Stop);
    m_connectCommand = pictureButton(this, "ConnectCommand", "Device Connect Setup", PictureIcon::Connect);
    place(m_runCommand, 6360, 120, 720, 720);
    place(m_stopCommand, 7200, 120, 720, 720);
    place(m_connectCommand, 8040, 120, 720, 720);
    connect(m_runCommand, &QToolButton::clicked, this, &MainForm::startRun);
    connect(m_stopCommand, &QToolButton::clicked, this, &MainForm::stopRun);
    connect(m_connectCommand, &QToolButton::clicked, this, &MainForm::setUpConnection);

    auto *saveLog = new QPushButton(QStringLiteral("Save Log"), this);
    saveLog->setObjectName(QStringLiteral("SaveLogCmd"));
    place(saveLog, 8880, 240, 1200, 480);
    connect(saveLog, &QPushButton::clicked, this, &MainForm::saveLogCopy);

    place(new QLabel(QStringLiteral("Sampling Time"), this), 10200, 330, 1500, 300);
    m_measTimeText = new QLineEdit(m_options.measTimeText(), this);
    m_measTimeText->setObjectName(QStringLiteral("MeasTimeText"));
    place(m_measTimeText, 11760, 270, 960, 360);
    place(new QLabel(QStringLiteral("ms"), this), 12780, 330, 360, 300);
    connect(m_measTimeText, &QLineEdit::editingFinished, this, &MainForm::applyMeasTime);
    connect(&m_options, &MeasureOptions::measTimeTextChanged, m_measTimeText, [this](const QString &text) {
        if (m_measTimeText->text() != text)
            m_measTimeText->setText(text);
    });

    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setReadOnly(true);
    m_text2->setToolTip(QStringLiteral("Time left of the running step"));
    m_text1 = new QLineEdit(QStringLiteral("0"), this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setReadOnly(true);
    m_text1->setToolTip(QStringLiteral("Number of steps in the program"));
    m_stepTimeCaption = captionFor(m_text2, QStringLiteral("Time left"));
    m_stepCountCaption = captionFor(m_text1, QStringLiteral("Steps"));

    m_label5 = new QLabel(this);
    m_label5->setObjectName(QStringLiteral("Label5"));
    m_label5->setFrameShape(QFrame::Panel);
    m_label5->setFrameShadow(QFrame::Sunken);
}

QLabel *MainForm::captionFor(QLineEdit *box, const QString &caption)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(box->objectName() + QStringLiteral("Caption"));
    label->setBuddy(box);
    label->setToolTip(box->toolTip());
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    return label;
}

void MainForm::buildViews()
{
    m_editor = new StepEditor(&m_program);
    m_editor->setMessageFunction([this](const QString &text) { showMessage(text); });
    auto *editorArea = new QScrollArea(this);
    editorArea->setObjectName(QStringLiteral("EditorArea"));
    editorArea->setFrameShape(QFrame::NoFrame);
    editorArea->setWidgetResizable(true);
    editorArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editorArea->setWidget(m_editor);
    place(editorArea, 240, 900, 5400, ListViewTop - 900 - 60);

    m_buttons = new StepButtonColumn(this);
    m_buttons->connectTo(m_editor);
    place(m_buttons, 5760, 1440, 495, 4320);
    connect(m_buttons->openCommand(), &QToolButton::clicked, this, &MainForm::openProgram);
    connect(m_buttons->saveCommand(), &QToolButton::clicked, this, &MainForm::saveProgram);

    m_stepGrid = new StepGridView(this);
    m_stepGrid->setObjectName(QStringLiteral("StepGrid"));
    m_stepGrid->setModel(&m_program);
    m_stepGridEditTriggers = m_stepGrid->editTriggers();
    for (int column = 1; column < TestProgram::ColumnCount; ++column)
        m_stepGrid->setColumnWidth(column, Twips::toPixels(column == 1 ? 2000 : 1000, this));
    // The widths in twips were made for a narrower font: the longest function name and every
    // header must fit.
    m_stepGrid->setColumnWidth(1, std::max(m_stepGrid->columnWidth(1), widthOfText(longestFunctionName())));
    for (int column = 0; column < TestProgram::ColumnCount; ++column)
        m_stepGrid->setColumnWidth(
            column, std::max(m_stepGrid->columnWidth(column), m_stepGrid->horizontalHeader()->sectionSizeHint(column)));
    m_editor->setStepView(m_stepGrid);
    connect(m_stepGrid, &QTableView::doubleClicked, m_editor, &StepEditor::loadSelectedStepBack);
    connect(&m_program, &TestProgram::stepCountChanged, m_text1,
        [this](int count) { m_text1->setText(QString::number(count)); });

    m_listView = new QTableView(this);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setModel(&m_results);
    m_listView->verticalHeader()->hide();
    m_listView->verticalHeader()->setDefaultSectionSize(Twips::toPixels(255, this));
    m_listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int column = 0; column < ResultLog::ColumnCount; ++column)
        m_listView->setColumnWidth(column, Twips::toPixels(ResultLog::columnWidthsTwips().at(column), this));
    m_listView->setColumnWidth(ResultLog::TotalTime,
        std::max(m_listView->columnWidth(ResultLog::TotalTime), widthOfText(QStringLiteral("0000/00/00 00:00:00"))));
    m_listView->setColumnWidth(ResultLog::FunctionName,
        std::max(m_listView->columnWidth(ResultLog::FunctionName), widthOfText(longestFunctionName())));
    connect(&m_results, &ResultLog::rowAppended, m_listView,
        [this](int position) { m_listView->scrollTo(m_results.index(position, 0)); });

    m_measureFrame = new MeasureFrame(m_options, this);
    connect(m_measureFrame, &MeasureFrame::doubleClicked, this, &MainForm::toggleTrace);

    m_list1 = new QListView(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setModel(&m_trace);
    m_list1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list1->hide();
    connect(&m_trace, &TraceList::topIndexChanged, m_list1,
        [this](int top) { m_list1->scrollTo(m_trace.index(top, 0), QAbstractItemView::PositionAtTop); });
}

void MainForm::placeResizable()
{
    const auto placeRect = [this](QWidget *widget, const QRect &twips) {
        place(widget, twips.left(), twips.top(), twips.width(), twips.height());
    };
    placeRect(m_stepGrid, m_geometry.stepGrid);
    placeRect(m_listView, m_geometry.listView);
    placeRect(m_measureFrame, m_geometry.measureFrame);
    placeRect(m_text2, m_geometry.stepTimeBox);
    placeRect(m_text1, m_geometry.stepCountBox);
    // Each box's caption above it, wherever the box went.
    for (auto [caption, box] : {std::pair{m_stepTimeCaption, m_text2}, {m_stepCountCaption, m_text1}})
        caption->setGeometry(box->x(), 0, box->width(), box->y());
    placeRect(m_label5, m_geometry.errorTrail);
    if (!m_traceTaken) {
        placeRect(m_list1, m_geometry.traceList);
        m_list1->raise();
    }
}

QListView *MainForm::takeTraceList()
{
    m_traceTaken = true;
    return m_list1;
}

void MainForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QSize frame = frameGeometry().size() - geometry().size();
    const int outerWidth = Twips::fromPixels(width() + std::max(0, frame.width()), this);
    const int outerHeight = Twips::fromPixels(height() + std::max(0, frame.height()), this);
    ResizeRules::apply(m_geometry, outerWidth, outerHeight);
    placeResizable();
}

void MainForm::loadSettingsAndProgram()
{
    m_traceVisible = 0;
    m_results.clear();
    m_program.SetupStepGrid();
    m_engine.loadSettings();
    m_measTimeText->setText(m_options.measTimeText());
    m_measureFrame->separateCombo()->setCurrentText(m_options.separateText());
    TestStepFile::Result loaded = TestStepFile::LoadTestFile(m_program, m_settings.TestFileName);
    // The window closed with no steps saves an empty program: it starts again with it as it was left.
    if (!loaded.ok && TestStepFile::holdsEmptyProgram(m_settings.TestFileName))
        loaded = {};
    m_refusedFile = loaded.ok ? QString() : m_settings.TestFileName;
    m_text1->setText(QString::number(m_program.StepCount()));
    m_editor->chooseFunction(FunctionCatalog::name(FunctionCatalog::Discharge));
    if (m_traceTaken)
        Q_EMIT traceRequested(false);
    else
        m_list1->hide();
    m_engine.identification().requestIdentification();
    QStringList said = m_engine.settingsProblems();
    if (!m_engine.serverProblem().isEmpty())
        said.append(m_engine.serverProblem());
    if (!loaded.message.isEmpty())
        said.append(loaded.message);
    if (const QStringList problems = m_engine.ratingTableProblems(); !problems.isEmpty())
        said.append(QStringLiteral("The rating table has lines the program cannot read:\n") + problems.join(u'\n'));
    if (const QString refused = refusedValuesNote(); !refused.isEmpty())
        said.append(refused);
    if (!said.isEmpty())
        QTimer::singleShot(0, this, [this, text = said.join(QStringLiteral("\n\n"))] { showMessage(text); });
}

QString MainForm::refusedValuesNote() const
{
    const QStringList refused = m_engine.programRefusals();
    if (refused.isEmpty())
        return {};
    return QStringLiteral("These values of the program must not be sent to the load; Run refuses the program until "
                          "they are mended:\n")
        + refused.join(u'\n');
}

void MainForm::showLinkMessage(const QString &text)
{
    if (text == m_lastLinkMessage)
        return;
    m_lastLinkMessage = text;
    if (m_linkMessage)
        m_linkMessage(text);
    else
        showMessage(text);
}

void MainForm::setMessageFunction(MessageFunction message)
{
    m_message = std::move(message);
    m_runEndMessage = [this](const RunEndNote &note) { showMessage(note.text); };
}

void MainForm::showMessage(const QString &text)
{
    if (m_message)
        m_message(text);
}

void MainForm::applyMeasTime()
{
    m_options.setMeasTimeText(m_measTimeText->text());
    m_options.applyMeasTimeLimits();
    m_measTimeText->setText(m_options.measTimeText());
    m_controller->setFirstIntervalMs(m_options.tickIntervalMs());
}

void MainForm::startRun()
{
    if (m_controller->isRunning())
        return;
    bool settingsSaved = true;
    m_engine.startRun(m_settings.TestFileName, &settingsSaved);
    if (!settingsSaved)
        showMessage(QStringLiteral("The settings could not be written to %1.").arg(iniPath()));
}

void MainForm::stopRun() { m_controller->stop(); }

void MainForm::setUpConnection()
{
    if (m_connectionDialog)
        m_connectionDialog();
    m_engine.identification().requestIdentification();
}

void MainForm::saveLogCopy()
{
    const QString target
        = m_chooseFile(true, CsvFilter, LogExport::proposedPath(m_programFolder, QDateTime::currentDateTime()));
    if (target.isEmpty())
        return;
    QString error = LogExport::copyLog(m_engine.log().path(), target);
    QString saved = QStringLiteral("Log saved to %1").arg(QDir::toNativeSeparators(target));
    // The run's summary goes beside its rows, once the run has one.
    if (error.isEmpty() && m_engine.runSummary().isFinished()) {
        const QString summary = LogExport::summaryPathFor(target);
        error = m_engine.runSummary().writeJson(summary);
        saved += QStringLiteral("\nSummary saved to %1").arg(QDir::toNativeSeparators(summary));
    }
    showMessage(error.isEmpty() ? saved : error);
}

void MainForm::openProgram()
{
    const QString proposed = !m_settings.TestFileName.isEmpty()
        ? m_settings.TestFileName
        : QDir(m_settings.DefaultPath).filePath(QStringLiteral("TESTTMP.TSF"));
    const QString chosen = m_chooseFile(false, TsfFilter, proposed);
    if (chosen.isEmpty())
        return;
    // Read once aside first, so a file that cannot be read leaves the program on screen as it was.
    TestProgram trial;
    const TestStepFile::Result readable = TestStepFile::LoadTestFile(trial, chosen);
    if (!readable.ok) {
        showMessage(readable.message);
        return;
    }
    m_settings.TestFileName = chosen;
    m_refusedFile.clear();
    writeIniKey(QStringLiteral("VORN"), QStringLiteral("TestFileName"), chosen);
    m_program.SetupStepGrid();
    const TestStepFile::Result loaded = TestStepFile::LoadTestFile(m_program, chosen);
    m_text1->setText(QString::number(m_program.StepCount()));
    QStringList said;
    if (!loaded.message.isEmpty())
        said.append(loaded.message);
    if (const QString refused = refusedValuesNote(); !refused.isEmpty())
        said.append(refused);
    if (!said.isEmpty())
        showMessage(said.join(QStringLiteral("\n\n")));
}

void MainForm::saveProgram()
{
    const QString proposed = !m_settings.TestFileName.isEmpty()
        ? m_settings.TestFileName
        : QDir(m_programFolder).filePath(QStringLiteral("TESTTMP.TSF"));
    QString chosen = m_chooseFile(true, TsfFilter, proposed);
    if (chosen.isEmpty())
        return;
    // Test step files are known by their extension; a name typed without one would not be.
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".TSF");
    const TestStepFile::Result saved
        = TestStepFile::SaveTestFile(m_program, chosen, [this](const QString &line) { m_trace.TraceLine(line); });
    if (!saved.ok) {
        showMessage(saved.message);
        return;
    }
    m_settings.TestFileName = chosen;
    m_refusedFile.clear();
    writeIniKey(QStringLiteral("System"), QStringLiteral("LastTestStepFile"), chosen);
}

void MainForm::writeIniKey(const QString &section, const QString &key, const QString &value)
{
    const QString path = iniPath();
    if (!IniFile::WriteIniString(path, section, key, value))
        showMessage(QStringLiteral("The settings file %1 could not be written.").arg(path));
}

QString MainForm::iniPath() const { return m_engine.iniPath(); }

void MainForm::toggleTrace() { setTraceVisible(m_traceVisible == 0); }

void MainForm::setTraceVisible(bool visible)
{
    if ((m_traceVisible != 0) == visible)
        return;
    m_traceVisible = visible ? 1 : 0;
    if (m_traceTaken) {
        Q_EMIT traceRequested(visible);
        return;
    }
    m_list1->setVisible(visible);
    if (visible)
        m_list1->raise();
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_aMaxLabel
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        // Greyed, not disabled: a disabled label would no longer hear the click that brings it back.
        m_aMaxGreyed = !m_aMaxGreyed;
        QPalette palette = m_aMaxLabel->palette();
        palette.setColor(QPalette::WindowText,
            this->palette().color(m_aMaxGreyed ? QPalette::Disabled : QPalette::Active, QPalette::WindowText));
        m_aMaxLabel->setPalette(palette);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    shutDown();
    event->accept();
}

void MainForm::endRun()
{
    // The load is not left sinking current with nobody watching: a run still going is stopped,
    // and the window goes once its off lines are out.
    if (m_controller->isRunning()) {
        m_controller->stop();
        if (m_controller->isRunning())
            QCoro::waitFor(qCoro(&m_controller->events(), &RunEvents::runEnded));
    }
}

void MainForm::shutDown()
{
    endRun();
    // A load whose off lines a run's end could not confirm gets one last try before the window goes.
    OffKeeper &keeper = m_controller->offKeeper();
    keeper.lastTry();
    // The events served meanwhile are the try's own: one new connection and its few replies.
    while (keeper.isTrying())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QStringList problems;
    // A file the window would not load stays as it is: the program on screen did not come from it.
    if (!m_refusedFile.isEmpty() && m_settings.TestFileName == m_refusedFile) {
        if (m_program.StepCount() > 0)
            problems.append(QStringLiteral("The steps were not saved: %1 was not loaded as a test step file and is "
                                           "left as it was.")
                                .arg(m_refusedFile));
    } else {
        const TestStepFile::Result saved = TestStepFile::SaveTestFile(
            m_program, m_settings.TestFileName, [this](const QString &line) { m_trace.TraceLine(line); });
        if (!saved.ok)
            problems.append(saved.message);
    }
    if (!m_engine.saveSettings())
        problems.append(QStringLiteral("The settings could not be written to %1.").arg(iniPath()));
    if (!problems.isEmpty())
        showMessage(problems.join(u'\n'));
}
