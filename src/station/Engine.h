#pragma once

#include "device/Identification.h"
#include "link/TraceList.h"
#include "link/TransportLink.h"
#include "model/TestProgram.h"
#include "results/ResultLog.h"
#include "results/RunLogWriter.h"
#include "results/RunSummary.h"
#include "run/RunController.h"
#include "run/RunRecorder.h"
#include "settings/MeasureOptions.h"
#include "settings/Settings.h"
#include "store/RunForwarder.h"
#include "store/RunStore.h"
#include "store/StationStateFeed.h"

#include <QObject>
#include <memory>

class Clock;

// The program's engine as one piece: the settings, the step table, the links to the load and the
// generator, identification, the run controller and the models the window shows. The window and
// the headless runner both drive this, so they run the very same thing.
class Engine : public QObject
{
    Q_OBJECT

public:
    // `iniPath` empty: the settings file in the program's folder.
    explicit Engine(Clock &clock, const QString &iniPath = QString(), QObject *parent = nullptr);

    Settings &settings() { return m_settings; }
    MeasureOptions &measureOptions() { return m_measureOptions; }
    TestProgram &program() { return m_program; }
    TraceList &trace() { return m_trace; }
    ResultLog &results() { return m_results; }
    TransportLink &loadLink() { return m_load; }
    TransportLink &generatorLink() { return m_generator; }
    Identification &identification() { return m_identification; }
    RunController &run() { return m_run; }
    // The run's record, as far as it has gone: what everything that shows or keeps a run reads.
    RunRecorder &recorder() { return m_recorder; }
    // The run's rows into the result log and the CSV file.
    RunLogWriter &log() { return m_log; }
    // The last run's summary: the window shows it, the runner and Save Log write it.
    RunSummary &runSummary() { return m_summary; }
    // Every run kept in "runs.sqlite" beside the settings file; its problem() never stops a run.
    RunStore &runStore() { return m_store; }
    // Sends the store's runs on to the lab's server named in the settings' [Store] section; null
    // when none is named, or its port is wrong (each run then says so in a notice).
    RunForwarder *forwarder() { return m_forwarder.get(); }
    QString iniPath() const { return m_iniPath; }

    // LoadSettings, then the rating table beside the settings file ahead of the built-in one.
    void loadSettings();
    // The values the last loadSettings refused, each named with its key; also in the trace.
    const QStringList &settingsProblems() const { return m_settingsProblems; }
    // What is wrong with the settings' [Store] section; "" when nothing is.
    const QString &serverProblem() const { return m_serverProblem; }
    // What the last loadSettings() left out of the lab's rating table, one line each naming the
    // file and the line ("<file> line 3: ..."); empty when it read the table whole.
    const QStringList &ratingTableProblems() const { return m_ratingTableProblems; }
    // Why the program in the step table must not be sent to the load, one line per refused value
    // ("Step 3, Load Value: ..."), judged against the ratings of the load identified last, and by
    // each field's own rule alone while none is. A run refuses to start while there is any, and
    // refuses again, before any step, when the load that answers its own identification is rated
    // lower.
    QStringList programRefusals() const;
    bool saveSettings();
    // Run: the settings saved (the sampling interval, measure items and separator in force now),
    // then the run started with them. A settings file that cannot be written does not stop the
    // run; `settingsSaved` tells.
    bool startRun(const QString &programFile, bool *settingsSaved = nullptr);
    // The run's log file; the "TestLog" folder of the program's folder unless set.
    void setLogFilePath(const QString &path) { m_log.setPath(path); }

Q_SIGNALS:
    // Something the operator should know of a run that goes on all the same.
    void notice(const QString &text);

private:
    QString m_iniPath;
    Settings m_settings;
    MeasureOptions m_measureOptions;
    TestProgram m_program;
    TraceList m_trace;
    ResultLog m_results;
    TransportLink m_load;
    TransportLink m_generator;
    Identification m_identification;
    RunController m_run;
    RunRecorder m_recorder;
    RunLogWriter m_log;
    RunSummary m_summary;
    RunStore m_store;
    std::unique_ptr<RunForwarder> m_forwarder;
    // What the lab's server is told of this station at each round; with the forwarder.
    std::unique_ptr<StationStateFeed> m_stationFeed;
    QStringList m_settingsProblems;
    // Why the [Store] section's server is not used; empty when it is, or when none is named.
    QString m_serverProblem;
    QStringList m_ratingTableProblems;
};
