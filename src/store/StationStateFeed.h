#pragma once

#include "store/StationStateHolder.h"

#include <QObject>
#include <memory>

class RunForwarder;
class RunRecorder;
class RunStore;
class TestProgram;

// Keeps the station's state that the heartbeat sends to the lab's server, from the run's
// record as it goes; a step's start and a run's end are sent at once rather than at the next beat.
class StationStateFeed : public QObject
{
    Q_OBJECT

public:
    StationStateFeed(const RunRecorder &recorder, const TestProgram &program, const RunStore &store,
        RunForwarder &forwarder, QObject *parent = nullptr);

private:
    void onRunStarted();
    void onStepStarted(int row, const QString &function);
    void onSample();
    void onStepTimeLeft();
    void onRunEnded();
    void onLoadOffChanged();

    const RunRecorder &m_recorder;
    const TestProgram &m_program;
    const RunStore &m_store;
    RunForwarder &m_forwarder;
    StationStateHolder &m_holder;
};
