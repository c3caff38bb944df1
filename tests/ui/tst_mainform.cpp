#include "device/Identification.h"
#include "editor/PictureIcon.h"
#include "editor/StepButtonColumn.h"
#include "editor/StepEditor.h"
#include "editor/Twips.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "run/RunController.h"
#include "run/RunRecorder.h"
#include "settings/IniFile.h"
#include "settings/MeasureOptions.h"
#include "settings/Settings.h"
#include "station/Engine.h"
#include "ui/MainForm.h"
#include "ui/MeasureFrame.h"
#include "ui/RunEndNote.h"
#include "ui/StepRowDelegate.h"

#include "TestFiles.h"
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <utility>

namespace {

const QByteArray headerLine = "StepNo.,Function,Mode,SinkValue,VStop,TStop,AhStop,Times,Start,Step,Stop,Vth,"
                              "Limit High,Limit Low,High,Low,T-High,T-Low,Rise,Fall,Load Off V,CV Add,Cycle Count,"
                              "Ramp CC,Ramp Time,Total Step,I_DC,I_AC,Frequence,Duty,IStop,StableTime\r\n";

// The virtual load every window of these tests talks to over TCP.
struct Simulator
{
    QProcess process;
    quint16 port = 0;

    bool start(const QString &binDir)
    {
        process.start(binDir + QStringLiteral("/vornic-sim"), {QStringLiteral("--tcp"), QStringLiteral("0")});
        if (!process.waitForStarted(30000))
            return false;
        while (process.waitForReadyRead(30000)) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QStringLiteral("load tcp "))) {
                    port = quint16(line.section(u':', -1).toUInt());
                    return port != 0;
                }
            }
        }
        return false;
    }
    ~Simulator()
    {
        process.kill();
        process.waitForFinished(30000);
    }
};

quint16 simulatorPort = 0;

// A window over the engine, started in a temporary folder that serves as program folder and
// current directory (the default test step file is a bare name), with its load on the simulator.
struct Fixture
{
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    std::unique_ptr<Engine> engine;
    std::unique_ptr<MainForm> form;
    QStringList messages;
    QString chosenFile;
    QString offeredFilter;
    QString proposedFile;
    TestProgram &program() { return engine->program(); }
    TraceList &trace() { return engine->trace(); }

    // `moreSettings`: sections after the load's own.
    explicit Fixture(const QByteArray &moreSettings = {})
    {
        QDir::setCurrent(dir.path());
        QFile ini(path("VORN.INI"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(QStringLiteral("[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\n"
                                     "LanIP4=1\r\nLanPort=%1\r\n")
                          .arg(simulatorPort)
                          .toUtf8()
                + moreSettings);
        ini.close();
        engine = std::make_unique<Engine>(SystemClock::instance(), path("VORN.INI"));
        form = std::make_unique<MainForm>(*engine, dir.path());
        form->setMessageFunction([this](const QString &text) { messages.append(text); });
        form->setFileChooser([this](bool, const QString &filter, const QString &proposed) {
            offeredFilter = filter;
            proposedFile = proposed;
            return chosenFile;
        });
    }
    ~Fixture() { QDir::setCurrent(previousDir); }

    QString path(const QString &name) const { return dir.filePath(name); }
    void start() { form->loadSettingsAndProgram(); }
};

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

    Simulator m_simulator;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_simulator.start(qEnvironmentVariable("VORNIC_BIN_DIR")));
        simulatorPort = m_simulator.port;
    }

    void startUpWithoutSettingsFile()
    {
        Fixture f;
        f.start();
        QCOMPARE(f.form->windowTitle(), QStringLiteral("Vornic DC Load Test Program R1.2s"));
        QCOMPARE(f.form->findChild<QLabel *>("Label24")->text(), QStringLiteral("Vornic DC Load Test Program R1.2s"));
        QCOMPARE(f.engine->results().rowCount(), 0);
        QStringList headings;
        for (int column = 0; column < f.engine->results().columnCount(); ++column)
            headings.append(f.form->listView()->model()->headerData(column, Qt::Horizontal).toString());
        QCOMPARE(headings,
            (QStringList{"No.", "StepTime", "V", "I", "W", "AH", "WH", "TotalTime", "Function Name", "Result"}));
        QCOMPARE(f.form->stepEditor()->chosenFunction(), QStringLiteral("Discharge"));
        QVERIFY(!f.form->stepEditor()->funcFrame(0)->isHidden());
        QVERIFY(f.form->traceListView()->isHidden());
        QVERIFY(!f.form->traceVisible());
        QCOMPARE(f.form->findChild<QLineEdit *>("MeasTimeText")->text(), QStringLiteral("1000"));
        QCOMPARE(f.form->findChild<QLineEdit *>("Text1")->text(), QStringLiteral("0"));
        QVERIFY(f.engine->identification().isIdentificationRequested());
        QVERIFY(f.form->nameLabel()->text().isEmpty());
        // Identification 100 ms later: the model, its rating and the functions it offers.
        QTRY_COMPARE_WITH_TIMEOUT(f.form->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        // The rating with its unit; the rating alone stays for what reads it as a number.
        QCOMPARE(f.engine->identification().AMaxLabel(), QStringLiteral("60"));
        QCOMPARE(f.form->aMaxLabel()->text(), QStringLiteral("60 A"));
        QCOMPARE(
            f.form->stepEditor()->functionCombo()->count(), int(f.engine->identification().offeredFunctions().size()));
        QCOMPARE(f.form->stepEditor()->chosenFunction(), QStringLiteral("Discharge"));
        QVERIFY(f.messages.isEmpty());
    }

    void editorJudgesCurrentsByTheIdentifiedRating()
    {
        Fixture f;
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->aMaxLabel()->text(), QStringLiteral("60 A"), 30000);
        StepEditor *editor = f.form->stepEditor();
        editor->setFieldText("DiscSinkValueText", "999");
        QVERIFY(!editor->addStep().acted);
        QCOMPARE(f.messages, QStringList{"Step 1, Load Value: 999 A is more than the load's rated 60 A."});
        QCOMPARE(f.program().StepCount(), 0);
    }

    // A program whose values the step judge refuses is said so as it is loaded, and Run refuses
    // it with the step and field named: no run starts and the load is sent nothing.
    void runRefusesValuesTheLoadMustNotBeSent_data()
    {
        QTest::addColumn<QByteArray>("step");
        QTest::addColumn<bool>("identified");
        QTest::addColumn<QStringList>("refusals");
        QTest::newRow("beyond any number sent, no load identified")
            << QByteArray("1,Discharge,CC,1e308,0,2,0,,,,,,,,,,,,,,,,,,,,,,,,0,1e300") << false
            << QStringList{"Step 1, Load Value: 1e308 A is more than 900000000000000 A.",
                   "Step 1, Stable: 1e300 ms is more than 2147483647 ms."};
        QTest::newRow("negative, no load identified")
            << QByteArray("1,Discharge,CC,-1,0,2,0,,,,,,,,,,,,,,,,,,,,,,,,0,0") << false
            << QStringList{"Step 1, Load Value: -1 A cannot be negative."};
        QTest::newRow("above the identified load's rating")
            << QByteArray("1,Discharge,CC,100,0,2,0,,,,,,,,,,,,,,,,,,,,,,,,0,0") << true
            << QStringList{"Step 1, Load Value: 100 A is more than the load's rated 60 A."};
    }
    void runRefusesValuesTheLoadMustNotBeSent()
    {
        QFETCH(QByteArray, step);
        QFETCH(bool, identified);
        QFETCH(QStringList, refusals);
        Fixture f;
        TestFiles::writeBytes(f.path("TempTestFile.TSF"), headerLine + step + "\r\n");
        f.start();
        if (!identified) {
            QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, 30000);
            QCOMPARE(f.messages.takeFirst(),
                "These values of the program must not be sent to the load; Run refuses the program until they are "
                "mended:\n"
                    + refusals.join(u'\n'));
        }
        QTRY_COMPARE_WITH_TIMEOUT(f.form->aMaxLabel()->text(), QStringLiteral("60 A"), 30000);
        QSignalSpy started(&f.engine->recorder(), &RunRecorder::runStarted);
        f.form->startRun();
        QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, 30000);
        QCOMPARE(f.messages.first(),
            "The test cannot start: these values must not be sent to the load.\n" + refusals.join(u'\n'));
        QVERIFY(!f.engine->run().isRunning());
        QCOMPARE(started.size(), 0);
        QCOMPARE(f.program().StepCount(), 1);
    }

    // Lines of the lab's rating table that cannot be read are said at start-up with the file and
    // the line; the rest of the table counts.
    void ratingTableProblemsAreSaid()
    {
        Fixture f;
        TestFiles::writeBytes(f.path("rating-table.txt"), "60 6312C\n7.5 6312C\n-5 80V 6312C\n");
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, 30000);
        QCOMPARE(f.messages.first(),
            QStringLiteral("The rating table has lines the program cannot read:\n"
                           "%1 line 2: \"7.5\" is not a rating in amperes (1 to 100000); the line is left out\n"
                           "%1 line 3: \"-5\" is not a rating in amperes (1 to 100000); the line is left out")
                .arg(QFileInfo(f.path("rating-table.txt")).absoluteFilePath()));
        QTRY_COMPARE_WITH_TIMEOUT(f.form->aMaxLabel()->text(), QStringLiteral("60 A"), 30000);
    }

    // A [Store] section the lab server cannot be used with is said at start-up, in the window too.
    void storeSettingsProblemsAreSaid()
    {
        Fixture f("[Store]\r\nHost=lab\r\nSslMode=disable dbname=postgres\r\n");
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, 30000);
        QVERIFY2(f.messages.first().contains(QStringLiteral(
                     "[Store] SslMode=disable dbname=postgres is not one of disable, allow, prefer, require, "
                     "verify-ca, verify-full; the lab server is not used")),
            qPrintable(f.messages.first()));
    }

    void startUpLoadsTheCurrentTestFile()
    {
        Fixture f;
        QFile file(f.path("TempTestFile.TSF"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(headerLine + "5,Rest,,,,10,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n");
        file.close();
        f.start();
        QCOMPARE(f.program().StepCount(), 1);
        QCOMPARE(f.program().cell(1, 0), QStringLiteral("5"));
        QCOMPARE(f.form->findChild<QLineEdit *>("Text1")->text(), QStringLiteral("1"));
    }

    void pictureButtonsAndToolTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("run") << "RunCommand"
                             << "Start Test";
        QTest::newRow("stop") << "StopCommand"
                              << "Stop Test";
        QTest::newRow("connect") << "ConnectCommand"
                                 << "Device Connect Setup";
        QTest::newRow("add") << "AddIntoCommand"
                             << "Addition New Step";
        QTest::newRow("remove") << "RemoveCommand"
                                << "Delete Step";
        QTest::newRow("insert") << "InsertCommand"
                                << "Insert Step";
        QTest::newRow("modify") << "ModifyCommand"
                                << "Modify Step";
        QTest::newRow("up") << "MoveUpCommand"
                            << "Move Up Step";
        QTest::newRow("down") << "MoveDnCommand"
                              << "Move Down Step";
        QTest::newRow("open") << "OpenCommand"
                              << "Open File";
        QTest::newRow("save") << "SaveCommand"
                              << "Save File";
    }
    void pictureButtonsAndToolTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, toolTip);
        Fixture f;
        auto *button = f.form->findChild<QToolButton *>(name);
        QVERIFY(button);
        QCOMPARE(button->toolTip(), toolTip);
        QVERIFY(button->text().isEmpty());
        QVERIFY(!button->icon().isNull());
    }

    void topRightBoxesSayWhatTheyCount_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("step time left") << "Text2"
                                        << "Time left"
                                        << "Time left of the running step";
        QTest::newRow("step count") << "Text1"
                                    << "Steps"
                                    << "Number of steps in the program";
    }
    void topRightBoxesSayWhatTheyCount()
    {
        QFETCH(QString, box);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        Fixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        auto *edit = f.form->findChild<QLineEdit *>(box);
        QCOMPARE(edit->toolTip(), toolTip);
        const auto labels = f.form->findChildren<QLabel *>();
        const auto label = std::find_if(labels.begin(), labels.end(), [&](QLabel *l) { return l->buddy() == edit; });
        QVERIFY(label != labels.end());
        QCOMPARE((*label)->text(), caption);
        // Seen whole, over its box and clear of it.
        QVERIFY((*label)->isVisible());
        QVERIFY((*label)->geometry().bottom() < edit->geometry().top());
        QVERIFY((*label)->geometry().left() >= edit->geometry().left() - 1);
        QVERIFY((*label)->fontMetrics().horizontalAdvance(caption) <= (*label)->contentsRect().width());
        QVERIFY((*label)->fontMetrics().height() <= (*label)->contentsRect().height());
    }

    void firstColumnStaysInPlace_data()
    {
        QTest::addColumn<int>("rowsScrolled");
        QTest::newRow("right") << 0;
        QTest::newRow("right and down") << 12;
    }
    void firstColumnStaysInPlace()
    {
        QFETCH(int, rowsScrolled);
        Fixture f;
        QVERIFY(f.form->stepEditor()->chooseFunction("Rest"));
        for (int step = 0; step < 30; ++step)
            f.form->stepEditor()->addStep();
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QTableView *grid = f.form->stepGrid();
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        grid->verticalScrollBar()->setValue(rowsScrolled);
        const int y = grid->rowViewportPosition(rowsScrolled + 1) + grid->rowHeight(0) / 2;
        const QPoint leftEdge = grid->viewport()->mapTo(grid, QPoint(3, y));
        // Whatever view lies at the left edge shows the step number of the row beside it.
        auto *shown = qobject_cast<QTableView *>(grid->childAt(leftEdge)->parentWidget());
        const QPoint inShown = shown->viewport()->mapFrom(grid, leftEdge);
        QCOMPARE(shown->indexAt(inShown), f.program().index(grid->rowAt(y), 0));
        QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, inShown);
        QCOMPARE(grid->currentIndex().row(), grid->rowAt(y));
    }

    void nothingCutAtTheFormsSize()
    {
        Fixture f;
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QHeaderView *header = f.form->stepGrid()->horizontalHeader();
        for (int column = 0; column < header->count(); ++column)
            QVERIFY2(
                header->sectionSize(column) >= header->sectionSizeHint(column), qPrintable(QString::number(column)));
        auto *buttons = f.form->findChild<StepButtonColumn *>();
        for (QToolButton *button : buttons->findChildren<QToolButton *>())
            QVERIFY2(buttons->rect().contains(button->geometry()), qPrintable(button->toolTip()));
    }

    void cutCellShowsItsWholeTextAsToolTip_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("packed list") << int(StepColumns::RampCc) << ";1;2;3;4;5;6;7;8;9"
                                     << ";1;2;3;4;5;6;7;8;9";
        QTest::newRow("short value") << int(StepColumns::SinkValue) << "1"
                                     << "";
    }
    void cutCellShowsItsWholeTextAsToolTip()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        Fixture f;
        f.program().setGridRowCount(3);
        f.program().setCell(1, column, text);
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        QTableView *grid = f.form->stepGrid();
        grid->scrollTo(f.program().index(0, column));
        const QPoint at = grid->visualRect(f.program().index(0, column)).center();
        QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(grid->viewport(), &help);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), toolTip);
        QToolTip::hideText();
    }

    void fallbackPicturesAreDrawn()
    {
        for (int picture = PictureIcon::Run; picture <= PictureIcon::Logo; ++picture)
            QVERIFY2(!PictureIcon::fallback(PictureIcon::Picture(picture)).pixmap(24).isNull(),
                qPrintable(QString::number(picture)));
    }

    void measureFrameDoubleClickTogglesTraceList()
    {
        Fixture f;
        f.start();
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        MeasureFrame *frame = f.form->measureFrame();
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(frame->width() - 5, frame->height() - 5));
        QVERIFY(f.form->traceVisible());
        QVERIFY(f.form->traceListView()->isVisible());
        QTest::mouseDClick(frame, Qt::LeftButton, {}, QPoint(frame->width() - 5, frame->height() - 5));
        QVERIFY(!f.form->traceVisible());
        QVERIFY(f.form->traceListView()->isHidden());
    }

    void aMaxLabelClickTogglesGrey()
    {
        Fixture f;
        QTest::mouseClick(f.form->aMaxLabel(), Qt::LeftButton);
        QVERIFY(f.form->isAMaxLabelGreyed());
        QTest::mouseClick(f.form->aMaxLabel(), Qt::LeftButton);
        QVERIFY(!f.form->isAMaxLabelGreyed());
    }

    void enlargingFollowsTheRules()
    {
        Fixture f;
        f.start();
        f.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.form.get()));
        const int width = Twips::toPixels(30000, f.form.get());
        const int height = Twips::toPixels(15000, f.form.get());
        f.form->resize(width, height);
        const MainGeometry &g = f.form->layoutTwips();
        // The rules take the window's outer width, frame included.
        const int outer = Twips::fromPixels(f.form->frameGeometry().width(), f.form.get());
        QTRY_COMPARE(g.stepGrid.width(), outer - 6360 - 400);
        QCOMPARE(f.form->stepGrid()->width(), Twips::toPixels(g.stepGrid.width(), f.form.get()));
        QCOMPARE(g.measureFrame.left() + g.measureFrame.width(), outer - 400);
        QCOMPARE(f.form->traceListView()->width(), Twips::toPixels(4815, f.form.get()));
    }

    void stepGridHighlightsTheRunningStep()
    {
        Fixture f;
        f.start();
        f.form->stepEditor()->addStep();
        f.form->stepEditor()->addStep();
        f.program().HighlightStepRow(2);
        auto *delegate = qobject_cast<StepRowDelegate *>(f.form->stepGrid()->itemDelegate());
        QVERIFY(delegate);
        const auto brushAt = [&](int row, int column) {
            QStyleOptionViewItem o;
            delegate->initStyleOption(&o, f.program().index(row, column));
            return o.backgroundBrush.color();
        };
        QCOMPARE(brushAt(1, 3), QColor(Qt::yellow));
        QCOMPARE(brushAt(0, 3), QColor(Qt::white));
        f.program().ClearStepRowHighlight(2);
        QCOMPARE(brushAt(1, 3), QColor(Qt::white));
        QCOMPARE(f.form->findChild<QLineEdit *>("Text1")->text(), QStringLiteral("2"));
    }

    void saveAndOpenTestFiles()
    {
        Fixture f;
        f.start();
        f.form->stepEditor()->addStep();
        f.chosenFile = f.path("prog.tsf");
        f.form->saveProgram();
        QCOMPARE(
            TestFiles::readBytes(f.chosenFile), headerLine + "1,Discharge,CC,1,0,10,0,,,,,,,,,,,,,,,,,,,,,,,,0,0\r\n");
        QCOMPARE(IniFile::ReadIniString(f.path("VORN.INI"), "System", "LastTestStepFile", ""), f.chosenFile);
        QCOMPARE(f.engine->settings().TestFileName, f.chosenFile);

        f.form->stepEditor()->addStep();
        QCOMPARE(f.program().StepCount(), 2);
        f.form->openProgram();
        QCOMPARE(f.program().StepCount(), 1);
        QCOMPARE(IniFile::ReadIniString(f.path("VORN.INI"), "VORN", "TestFileName", ""), f.chosenFile);

        // Cancelled dialogs change nothing.
        f.chosenFile.clear();
        f.form->openProgram();
        f.form->saveProgram();
        QCOMPARE(f.program().StepCount(), 1);
        QVERIFY(f.messages.isEmpty());
    }

    void saveAddsTsfToANameWithoutExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("bare name") << "mytest"
                                   << "mytest.TSF";
        QTest::newRow("own extension") << "steps.txt"
                                       << "steps.txt";
    }
    void saveAddsTsfToANameWithoutExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        Fixture f;
        f.chosenFile = f.path(typed);
        f.form->saveProgram();
        QVERIFY(QFile::exists(f.path(saved)));
        QCOMPARE(f.engine->settings().TestFileName, f.path(saved));
    }

    void aLostLinkSaysSoOnceUntilTheNextConnect()
    {
        Fixture f;
        Q_EMIT f.engine->loadLink().message(QStringLiteral("Lost Connect!"));
        Q_EMIT f.engine->loadLink().message(QStringLiteral("Lost Connect!"));
        Q_EMIT f.engine->generatorLink().message(QStringLiteral("Lost Connect!"));
        QCOMPARE(f.messages, QStringList{QStringLiteral("Lost Connect!")});
        Q_EMIT f.engine->identification().identified();
        Q_EMIT f.engine->loadLink().message(QStringLiteral("Lost Connect!"));
        QCOMPARE(f.messages.size(), 2);
    }

    void unreadableFileKeepsTheProgram()
    {
        Fixture f;
        f.start();
        f.form->stepEditor()->addStep();
        QVERIFY(QDir(f.dir.path()).mkdir("folder.tsf"));
        f.chosenFile = f.path("folder.tsf");
        f.form->openProgram();
        QCOMPARE(f.program().StepCount(), 1);
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.engine->settings().TestFileName != f.chosenFile);
    }

    // A current test step file that holds no program is refused at start-up with the file named,
    // and is never saved over: the steps made since are not written into it.
    void currentFileWithoutAProgramIsRefused()
    {
        Fixture f;
        const QByteArray noise = TestFiles::noise(1 << 16, 3);
        TestFiles::writeBytes(f.path("TempTestFile.TSF"), noise);
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, 30000);
        QCOMPARE(f.messages.takeFirst(),
            QStringLiteral("TempTestFile.TSF: not a test step file: none of its %1 steps names a known test "
                           "function; nothing was loaded")
                .arg(TestFiles::linesAfterTheFirst(noise)));
        QCOMPARE(f.program().StepCount(), 0);
        QVERIFY(f.form->stepEditor()->addStep().acted);
        f.form->close();
        QCOMPARE(TestFiles::readBytes(f.path("TempTestFile.TSF")), noise);
        QCOMPARE(f.messages,
            QStringList{"The steps were not saved: TempTestFile.TSF was not loaded as a test step file and is left as "
                        "it was."});
    }

    // A LAN port with letters after it is refused at start-up with the key and its value named,
    // not taken for the port its digits make.
    void aPortWithLettersIsRefusedByName()
    {
        Fixture f;
        const QString ini = f.path("VORN.INI");
        TestFiles::writeBytes(ini,
            TestFiles::readBytes(ini).replace("LanPort=" + QByteArray::number(simulatorPort),
                "LanPort=" + QByteArray::number(simulatorPort) + "abc"));
        f.start();
        QTRY_VERIFY_WITH_TIMEOUT(!f.messages.isEmpty(), 30000);
        QCOMPARE(f.messages.first(),
            QStringLiteral("%1: [Load Option] LanPort=%2abc is not a port number (1 to 65535): no LAN connection is "
                           "made until it is set right")
                .arg(ini)
                .arg(simulatorPort));
        QCOMPARE(f.engine->settings().loadLink.LanPort, 0);
    }

    // Closed with no steps, the window saves an empty program and starts again from it without a word.
    void emptyProgramLeftAtCloseIsNoRefusal()
    {
        Fixture f;
        f.start();
        f.form->close();
        QCOMPARE(TestFiles::readBytes(f.path("TempTestFile.TSF")), headerLine);
        f.form = std::make_unique<MainForm>(*f.engine, f.dir.path());
        f.form->setMessageFunction([&f](const QString &text) { f.messages.append(text); });
        f.start();
        QCoreApplication::processEvents();
        f.form->stepEditor()->chooseFunction("Rest");
        QVERIFY(f.form->stepEditor()->addStep().acted);
        f.form->close();
        QCOMPARE(TestFiles::readBytes(f.path("TempTestFile.TSF")),
            headerLine + "1,Rest,,,,10,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n");
        QVERIFY(f.messages.isEmpty());
    }

    void closingSavesProgramAndSettings()
    {
        Fixture f;
        f.start();
        f.form->stepEditor()->chooseFunction("Rest");
        f.form->stepEditor()->addStep();
        f.form->findChild<QLineEdit *>("MeasTimeText")->setText("250");
        QTest::keyClick(f.form->findChild<QLineEdit *>("MeasTimeText"), Qt::Key_Return);
        f.form->close();
        QCOMPARE(TestFiles::readBytes(f.path("TempTestFile.TSF")),
            headerLine + "1,Rest,,,,10,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n");
        QCOMPARE(
            IniFile::ReadIniString(f.path("VORN.INI"), "VORN", "TestFileName", ""), QStringLiteral("TempTestFile.TSF"));
        QVERIFY(f.messages.isEmpty());
    }

    void samplingIntervalLimits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("interval");
        QTest::newRow("50") << "50"
                            << "100" << 100;
        QTest::newRow("99999") << "99999"
                               << "60000" << 60000;
        QTest::newRow("100") << "100"
                             << "100" << 100;
        QTest::newRow("no number") << "abc"
                                   << "100" << 100;
    }
    void samplingIntervalLimits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, interval);
        Fixture f;
        f.start();
        auto *box = f.form->findChild<QLineEdit *>("MeasTimeText");
        box->setText(typed);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->text(), shown);
        QCOMPARE(f.form->runController()->firstIntervalMs(), interval);
    }

    void shortRunFinishesAndSaveLogCopies()
    {
        Fixture f;
        f.start();
        QVERIFY(f.form->stepEditor()->chooseFunction("Rest"));
        f.form->stepEditor()->setFieldText("DiscTStopText", "0.1");
        QVERIFY(f.form->stepEditor()->addStep().acted);
        auto *box = f.form->findChild<QLineEdit *>("MeasTimeText");
        box->setText("100");
        QTest::keyClick(box, Qt::Key_Return);
        f.form->startRun();
        QVERIFY(f.form->runController()->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(f.messages, QStringList{"Test Finished: PASS"}, 60000);
        QCOMPARE(f.form->nameLabel()->text(), QStringLiteral("6312C"));
        QCOMPARE(IniFile::ReadIniString(f.path("VORN.INI"), "System", "MeasureTime", ""), QStringLiteral("100"));

        f.messages.clear();
        f.chosenFile = f.path("copy.csv");
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        f.form->saveLogCopy();
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        QCOMPARE(f.offeredFilter, QStringLiteral("CSV files (*.CSV)|*.CSV|All files (*.*)|*.*"));
        // Proposed under the date and time in the program folder: a second run that day gets a
        // name of its own.
        const QFileInfo proposed(f.proposedFile);
        QCOMPARE(proposed.absolutePath(), QFileInfo(f.dir.path()).absoluteFilePath());
        QCOMPARE(proposed.suffix(), QStringLiteral("CSV"));
        const QDateTime named = QDateTime::fromString(proposed.completeBaseName(), QStringLiteral("yyyyMMdd-HHmmss"));
        QVERIFY2(named >= before.addMSecs(-before.time().msec()) && named <= after, qPrintable(f.proposedFile));
        QCOMPARE(f.messages,
            QStringList{
                QStringLiteral("Log saved to %1\nSummary saved to %2")
                    .arg(QDir::toNativeSeparators(f.chosenFile), QDir::toNativeSeparators(f.path("copy.json")))});
        QVERIFY(QFile::exists(f.path("copy.json")));
        QVERIFY(
            TestFiles::readBytes(f.chosenFile).startsWith("No.,StepTime,V,I,W,AH,WH,TotalTime,Function Name,Result"));

        f.messages.clear();
        f.chosenFile = f.path("missing/copy.csv");
        f.form->saveLogCopy();
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages.first().startsWith(f.chosenFile));
    }

    // The box at a finished run's end tells PASS from FAIL by its words and its icon.
    void finishedRunSaysItsResult_data()
    {
        QTest::addColumn<QString>("limitLow");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::newRow("pass") << "0"
                              << "Test Finished: PASS" << int(QMessageBox::Information);
        // The load trips well below 59 A; the limits are held to its rated 60 A.
        QTest::newRow("fail") << "59"
                              << "Test Finished: FAIL (1 verdict failed)" << int(QMessageBox::Critical);
    }
    void finishedRunSaysItsResult()
    {
        QFETCH(QString, limitLow);
        QFETCH(QString, text);
        QFETCH(int, icon);
        Fixture f;
        QList<RunEndNote> notes;
        f.form->setRunEndMessageFunction([&notes](const RunEndNote &note) { notes.append(note); });
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        f.program().setGridRowCount(3);
        const QMap<int, QString> cells{{StepColumns::StepNo, "1"}, {StepColumns::Function, "OCP"},
            {StepColumns::Start, "0"}, {StepColumns::EndValue, "10"}, {StepColumns::Increment, "0.5"},
            {StepColumns::Vth, "0.6"}, {StepColumns::LimitHigh, "60"}, {StepColumns::LimitLow, limitLow}};
        for (auto it = cells.begin(); it != cells.end(); ++it)
            f.program().setCell(1, it.key(), it.value());
        f.form->startRun();
        QTRY_COMPARE_WITH_TIMEOUT(notes.size(), 1, 60000);
        QCOMPARE(notes.first().text, text);
        QCOMPARE(int(notes.first().icon), icon);
        QVERIFY(f.messages.isEmpty());
    }

    void runShowsTheRunningStepAndItsRows()
    {
        Fixture f;
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        QVERIFY(f.form->stepEditor()->chooseFunction("Rest"));
        f.form->stepEditor()->setFieldText("DiscTStopText", "1");
        QVERIFY(f.form->stepEditor()->addStep().acted);
        auto *box = f.form->findChild<QLineEdit *>("MeasTimeText");
        box->setText("200");
        QTest::keyClick(box, Qt::Key_Return);
        // During the run only Stop acts on it; what the run reads cannot change under it. Seen as the
        // first row comes, when the run is surely on, however short the machine's turns are.
        const auto enabled = [&](const char *name) { return f.form->findChild<QWidget *>(name)->isEnabled(); };
        const char *heldDuringRun[]
            = {"RunCommand", "ConnectCommand", "OpenCommand", "AddIntoCommand", "ModifyCommand"};
        QStringList enabledAtFirstRow;
        bool highlightedAtFirstRow = false;
        bool seen = false;
        QObject::connect(f.form->listView()->model(), &QAbstractItemModel::rowsInserted, f.form.get(), [&] {
            if (std::exchange(seen, true))
                return;
            highlightedAtFirstRow = f.program().isHighlighted(1);
            for (const char *name : heldDuringRun)
                if (enabled(name))
                    enabledAtFirstRow.append(QLatin1String(name));
            if (enabled("StopCommand"))
                enabledAtFirstRow.append(QStringLiteral("StopCommand"));
        });
        f.form->startRun();
        QTRY_VERIFY_WITH_TIMEOUT(seen, 30000);
        QVERIFY(highlightedAtFirstRow);
        QCOMPARE(enabledAtFirstRow, QStringList{QStringLiteral("StopCommand")});
        QCOMPARE(f.form->listView()->model()->index(0, 8).data().toString(), QStringLiteral("Rest"));
        QVERIFY(!f.form->findChild<QLineEdit *>("Text2")->text().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(f.messages, QStringList{"Test Finished: PASS"}, 60000);
        QVERIFY(!f.program().isHighlighted(1));
        for (const char *name : heldDuringRun)
            QVERIFY2(enabled(name), name);
        QVERIFY(!enabled("StopCommand"));
    }

    void closingDuringARunStopsIt()
    {
        Fixture f;
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.form->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        QVERIFY(f.form->stepEditor()->chooseFunction("Rest"));
        f.form->stepEditor()->setFieldText("DiscTStopText", "60");
        QVERIFY(f.form->stepEditor()->addStep().acted);
        f.form->startRun();
        QTRY_VERIFY_WITH_TIMEOUT(f.program().isHighlighted(1), 30000);
        f.form->close();
        QVERIFY(!f.engine->run().isRunning());
        const QStringList &lines = f.trace().lines();
        QVERIFY(
            std::any_of(lines.begin(), lines.end(), [](const QString &line) { return line.startsWith("LOAD OFF"); }));
        QVERIFY(TestFiles::readBytes(f.path("TempTestFile.TSF")).contains("1,Rest,"));
        QVERIFY(f.messages.isEmpty());
    }

    void connectRestartsIdentification()
    {
        Fixture f;
        int dialogs = 0;
        f.form->setConnectionDialog([&] { ++dialogs; });
        f.form->setUpConnection();
        QCOMPARE(dialogs, 1);
        QVERIFY(f.engine->identification().isIdentificationRequested());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
