#include "SimProcess.h"
#include "TestFiles.h"
#include "device/Identification.h"
#include "link/SystemClock.h"
#include "model/StepColumns.h"
#include "report/ChartColours.h"
#include "run/RunController.h"
#include "run/RunStatus.h"
#include "station/Engine.h"
#include "ui/LargeReadout.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"
#include "ui/RunReadout.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The window on a load that misbehaves: what the operator sees, and what the load hears.
class TestWindowLinks : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_boxes;

    void openWindow(const QByteArray &settings)
    {
        const QString ini = m_dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, settings);
        m_engine = std::make_unique<Engine>(SystemClock::instance(), ini);
        m_window = std::make_unique<MainWindow>(*m_engine, m_dir.path());
        m_boxes.clear();
        m_window->form()->setMessageFunction([this](const QString &text) { m_boxes.append(text); });
        m_window->form()->loadSettingsAndProgram();
        m_window->show();
    }
    void setOcpProgram()
    {
        TestProgram &program = m_engine->program();
        program.setGridRowCount(3);
        const QMap<int, QString> cells{{StepColumns::StepNo, "1"}, {StepColumns::Function, "OCP"},
            {StepColumns::Start, "0"}, {StepColumns::EndValue, "10"}, {StepColumns::Increment, "0.5"},
            {StepColumns::Vth, "0.6"}, {StepColumns::LimitHigh, "60"}, {StepColumns::LimitLow, "0"}};
        for (auto it = cells.begin(); it != cells.end(); ++it)
            program.setCell(1, it.key(), it.value());
    }
    // Run, for one constant-current discharge of `amps` for `seconds` with no other stop.
    void startDischarge(const QString &amps, const QString &seconds)
    {
        TestProgram &program = m_engine->program();
        program.setGridRowCount(3);
        const QStringList cells{"1", "Discharge", "CC", amps, "0", seconds, "0"};
        for (int column = 0; column < cells.size(); ++column)
            program.setCell(1, column, cells.at(column));
        program.setCell(1, StepColumns::IStop, QStringLiteral("0"));
        program.setCell(1, StepColumns::StableTime, QStringLiteral("0"));
        m_window->form()->startRun();
    }
    QByteArray simLog() const { return TestFiles::readBytes(m_dir.filePath(QStringLiteral("sim.log"))); }

private Q_SLOTS:
    void cleanup()
    {
        m_window.reset();
        m_engine.reset();
        m_sim.reset();
    }

    // Stop while the load's answer to "OCP?" is late, then Run at once: the late answer is never
    // taken for the next run's: the model shown stays the load's and the new run judges its own trip.
    void aLateReplyNeverReachesTheNextRun_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<int>("lateMs");
        // Late, but within the time each link gives a reply.
        QTest::newRow("TCP") << false << 2000;
        QTest::newRow("pty") << true << 700;
    }
    void aLateReplyNeverReachesTheNextRun()
    {
        QFETCH(bool, pty);
        QFETCH(int, lateMs);
        QStringList arguments{"--log", m_dir.filePath(QStringLiteral("sim.log")), "--fault",
            QStringLiteral("late=%1,late-line=OCP?").arg(lateMs)};
        arguments += pty ? QStringList{"--pty", m_dir.filePath(QStringLiteral("load-pty"))} : QStringList{"--tcp", "0"};
        m_sim = std::make_unique<SimProcess>(arguments);
        QVERIFY(m_sim->waitForAnnouncements(1));
        openWindow(pty ? TestFiles::serialLoadSettings(m_dir.filePath(QStringLiteral("load-pty")))
                       : TestFiles::lanLoadSettings(m_sim->port(QStringLiteral("load"))));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->form()->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        setOcpProgram();
        QSignalSpy ended(&m_engine->run().events(), &RunEvents::runEnded);
        QSignalSpy verdicts(&m_engine->run().events(), &RunEvents::verdict);

        m_window->form()->startRun();
        QTRY_VERIFY_WITH_TIMEOUT(simLog().contains("OCP?"), 60000);
        m_window->form()->stopRun();
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
        m_window->form()->startRun();
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 60000);

        QCOMPARE(ended.at(0).at(0).value<RunResult>(), RunResult::Stopped);
        QCOMPARE(ended.at(1).at(0).value<RunResult>(), RunResult::Pass);
        QCOMPARE(m_window->form()->nameLabel()->text(), QStringLiteral("6312C"));
        QCOMPARE(m_engine->identification().ModelName(), QStringLiteral("6312C"));
        QCOMPARE(verdicts.size(), 1);
        QVERIFY(verdicts.first().at(1).value<Verdict>().pass);
        QCOMPARE(m_window->status()->phase(), RunStatus::Phase::FinishedPass);
    }

    // While the load is out of reach the bar says so, and says it again once the load answers.
    void theBarSaysWhileTheLoadIsOutOfReach()
    {
        m_sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--fault", "outage=5:3000"});
        QVERIFY(m_sim->waitForAnnouncements(1));
        openWindow(TestFiles::lanLoadSettings(m_sim->port(QStringLiteral("load"))));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->form()->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        startDischarge(QStringLiteral("1"), QStringLiteral("30"));
        const QString address = QStringLiteral("127.0.0.1:%1").arg(m_sim->port(QStringLiteral("load")));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->barText().startsWith(
                QStringLiteral("Step 1: no reply from the load at %1; its link is being made again").arg(address)),
            30000);
        // Meanwhile nothing reads as live: the state says where it reconnects, the readings are greyed.
        QCOMPARE(m_window->status()->phase(), RunStatus::Phase::Reconnecting);
        m_window->readout()->refresh();
        QVERIFY2(m_window->readout()->stateText().startsWith(QStringLiteral("Reconnecting to %1 (").arg(address)),
            qPrintable(m_window->readout()->stateText()));
        QVERIFY(!m_window->readout()->showsLive());
        QVERIFY(m_window->readout()->staleText().startsWith(QLatin1String("no reading for ")));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->barText().endsWith(QStringLiteral("it answers again.")), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->readout()->showsLive(), 30000);
        QCOMPARE(m_window->readout()->staleText(), QString());
        QVERIFY(m_engine->run().isRunning());
        m_window->form()->stopRun();
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->run().isRunning(), 30000);
    }

    // The connection goes right after the load's OCP test was started: the test is started again
    // over the new one, and the bar says so beside the gap, once the load answers again.
    void aTestStartedAgainIsSaidInTheBar()
    {
        m_sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--fault", "outage=1:1500,outage-line=START"});
        QVERIFY(m_sim->waitForAnnouncements(1));
        openWindow(TestFiles::lanLoadSettings(m_sim->port(QStringLiteral("load"))));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->form()->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        setOcpProgram();
        QSignalSpy ended(&m_engine->run().events(), &RunEvents::runEnded);
        m_window->form()->startRun();
        static const QRegularExpression said(
            QStringLiteral("it answers again\\. Step 1: the load's OCP test was started again at [0-9]+\\.[0-9] s of "
                           "the run, over a reopened link: the first start may not have reached it\\.$"));
        QTRY_VERIFY_WITH_TIMEOUT(said.match(m_window->barText()).hasMatch(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 60000);
        QCOMPARE(ended.first().first().value<RunResult>(), RunResult::Pass);
    }

    // A load that goes away mid-run: at once the run says it is reconnecting, with how long, and
    // the readings grey out; once the run ends LOST they stay as last values, never as a current
    // still flowing.
    void aLoadKilledMidRunNeverLooksLive()
    {
        m_sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0"});
        QVERIFY(m_sim->waitForAnnouncements(1));
        openWindow(TestFiles::lanLoadSettings(m_sim->port(QStringLiteral("load"))));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->form()->nameLabel()->text(), QStringLiteral("6312C"), 30000);
        startDischarge(QStringLiteral("1.5"), QStringLiteral("600"));
        QTRY_VERIFY2_WITH_TIMEOUT(
            m_window->readout()->showsLive(), qPrintable(m_window->readout()->stateText()), 30000);
        // Live, voltage and current are in the chart's colours.
        const auto styleOf = [this](int reading) {
            for (const QLabel *label : m_window->readout()->findChildren<QLabel *>())
                if (label->text() == m_window->readout()->readings().at(reading))
                    return label->styleSheet();
            return QString();
        };
        QVERIFY2(styleOf(0).contains(ChartColours::Volts.name()), qPrintable(styleOf(0)));
        QVERIFY2(styleOf(1).contains(ChartColours::Amps.name()), qPrintable(styleOf(1)));
        m_window->showLargeReadout();
        QVERIFY(m_window->largeReadout()->showsLive());

        const QString address = QStringLiteral("127.0.0.1:%1").arg(m_sim->port(QStringLiteral("load")));
        m_sim->process().kill();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->status()->phase() == RunStatus::Phase::Reconnecting, 30000);
        m_window->readout()->refresh();
        QVERIFY(m_window->readout()->stateText().startsWith(QStringLiteral("Reconnecting to %1 (").arg(address)));
        QVERIFY(!m_window->readout()->showsLive());
        m_window->largeReadout()->refresh();
        QVERIFY(!m_window->largeReadout()->showsLive());
        // It counts how long.
        const auto secondsSaid = [this] { return m_window->readout()->staleText().section(u' ', 3, 3).toInt(); };
        QVERIFY(m_window->readout()->staleText().startsWith(QLatin1String("no reading for ")));
        const int first = secondsSaid();
        QTRY_VERIFY_WITH_TIMEOUT(secondsSaid() > first || m_window->status()->phase() == RunStatus::Phase::Lost, 30000);

        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->phase(), RunStatus::Phase::Lost, 60000);
        QVERIFY(!m_window->readout()->showsLive());
        QVERIFY2(m_window->readout()->staleText().startsWith(QLatin1String("last values, at ")),
            qPrintable(m_window->readout()->staleText()));
        QVERIFY(m_window->readout()->readings().first().endsWith(QLatin1String(" V ")));
        QVERIFY(!m_window->largeReadout()->showsLive());
        QVERIFY(m_window->largeReadout()->stateText().endsWith(QLatin1String("last values")));
    }

    // On a first start nothing may answer at the default serial port: the bar says where the load
    // was asked for and offers Connect Setup, which opens the same dialog as the top band's button.
    void noAnswerToNameOffersConnectSetup_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("silent load on serial") << false;
        QTest::newRow("load answers") << true;
    }
    void noAnswerToNameOffersConnectSetup()
    {
        QFETCH(bool, answers);
        const QString pty = m_dir.filePath(QStringLiteral("load-pty"));
        QStringList arguments{"--pty", pty};
        if (!answers)
            arguments += QStringList{"--fault", "silent-after=1"};
        m_sim = std::make_unique<SimProcess>(arguments);
        QVERIFY(m_sim->waitForAnnouncements(1));
        openWindow(TestFiles::serialLoadSettings(pty));
        int dialogs = 0;
        m_window->form()->setConnectionDialog([&dialogs] { ++dialogs; });
        // Identification starts 100 ms after the window: the spy is in place before it ends.
        QSignalSpy identified(&m_engine->identification(), &Identification::identified);
        QTRY_COMPARE_WITH_TIMEOUT(identified.size(), 1, 30000);
        QCOMPARE(m_engine->identification().loadAnswered(), answers);
        QPushButton *offer = m_window->barConnectSetup();
        QCOMPARE(offer->isVisible(), !answers);
        if (answers) {
            QCOMPARE(m_window->barText(), QString());
            return;
        }
        QCOMPARE(m_window->barText(),
            QStringLiteral("No load answered \"name?\" at %1. Check the cable and the load's interface, or choose "
                           "another link in Connect Setup.")
                .arg(m_engine->loadLink().address()));
        QVERIFY(m_window->barText().contains(pty));
        QVERIFY(m_boxes.isEmpty());
        QTest::mouseClick(offer, Qt::LeftButton);
        QCOMPARE(dialogs, 1);
        QVERIFY(m_engine->identification().isIdentificationRequested());
    }

    // A load that never answered: the run ends at once as an error naming where it was looked for,
    // no rating of another load is shown, and no model is kept for the run.
    void aLoadThatNeverAnsweredEndsTheRunAtOnce()
    {
        const QString missing = m_dir.filePath(QStringLiteral("no-such-port"));
        openWindow(QStringLiteral("[Load Option]\r\nConnectMode=0\r\nCOMPort=%1\r\n").arg(missing).toLatin1());
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->identification().isIdentificationRequested(), 30000);
        setOcpProgram();
        QSignalSpy ended(&m_engine->run().events(), &RunEvents::runEnded);
        QSignalSpy stepStarts(&m_engine->run().events(), &RunEvents::stepStarted);
        m_window->form()->startRun();
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);

        QCOMPARE(ended.first().at(0).value<RunResult>(), RunResult::Error);
        QCOMPARE(ended.first().at(1).toString(), QStringLiteral("No load answers at ") + missing);
        QCOMPARE(m_window->status()->phase(), RunStatus::Phase::Error);
        QVERIFY(stepStarts.isEmpty());
        QCOMPARE(m_window->form()->aMaxLabel()->text(), QString());
        QCOMPARE(m_engine->runSummary().record().model, QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->barText(), QStringLiteral("No load answers at ") + missing, 30000);
    }
};

QTEST_MAIN(TestWindowLinks)
#include "tst_windowlinks.moc"
