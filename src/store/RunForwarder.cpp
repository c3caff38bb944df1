#include "store/RunForwarder.h"

#include "store/ForwardWorker.h"
#include "store/KeptStationState.h"
#include "store/StationHeartbeat.h"
#include "store/StationIdentity.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

namespace {

// Waits for `thread` to end; one that cannot is left to end by itself and delete itself then.
void endThread(QThread *thread, QDeadlineTimer deadline)
{
    thread->quit();
    if (thread->wait(deadline)) {
        delete thread;
        return;
    }
    // Only a connection still being made holds the thread now (libpq gives no socket to cut
    // before it is made; its connect timeout ends it). Waiting would hold the program, and a
    // thread that still runs cannot be deleted: it is left to end by itself, and its worker goes
    // with it.
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}

} // namespace

RunForwarder::RunForwarder(
    const QString &sqlitePath, const StoreServer &server, const QString &station, QObject *parent)
    : QObject(parent),
      m_server(server),
      m_stationState(
          std::make_shared<StationStateHolder>(station, StationIdentity::of(QFileInfo(sqlitePath).absolutePath()))),
      m_kept(std::make_shared<KeptStationState>(sqlitePath)),
      m_thread(new QThread),
      m_heartbeatThread(new QThread),
      m_worker(new ForwardWorker(sqlitePath, server)),
      m_heartbeat(new StationHeartbeat(sqlitePath, server, m_stationState, m_kept))
{
    qRegisterMetaType<ServerMirror::Outcome>();
    m_thread->setObjectName(QStringLiteral("RunForwarder"));
    m_heartbeatThread->setObjectName(QStringLiteral("StationHeartbeat"));
    m_worker->moveToThread(m_thread);
    m_heartbeat->moveToThread(m_heartbeatThread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_heartbeatThread, &QThread::finished, m_heartbeat, &QObject::deleteLater);
    connect(m_worker, &ForwardWorker::roundDone, this, &RunForwarder::roundDone);
    connect(m_worker, &ForwardWorker::problem, this, &RunForwarder::problem);
    connect(m_worker, &ForwardWorker::tried, this, [this](const QString &error) { tried(true, error); });
    connect(m_heartbeat, &StationHeartbeat::beaten, this, [this](const QString &error) { tried(false, error); });
    // Straight from the heartbeat's thread to the forwarding one: the window's thread may be busy.
    connect(m_heartbeat, &StationHeartbeat::beaten, m_worker, [worker = m_worker](const QString &error) {
        if (error.isEmpty())
            worker->serverAnswered();
    });
    m_thread->start(QThread::LowPriority);
    m_heartbeatThread->start();
    QMetaObject::invokeMethod(m_worker, &ForwardWorker::start);
    QMetaObject::invokeMethod(m_heartbeat, &StationHeartbeat::start);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        m_worker->cutStuckCall();
        m_heartbeat->cutStuckCall(ForwardWorker::StuckCallMs);
    });
    m_watchdog.start(ForwardWorker::StuckCallMs / 4);
}

RunForwarder::~RunForwarder()
{
    m_watchdog.stop();
    m_worker->stop();
    m_heartbeat->stop();
    const QDeadlineTimer deadline(StopWaitMs);
    endThread(m_thread, deadline);
    endThread(m_heartbeatThread, deadline);
}

void RunForwarder::forwardSoon() { QMetaObject::invokeMethod(m_worker, &ForwardWorker::forwardSoon); }

void RunForwarder::sendStateSoon() { QMetaObject::invokeMethod(m_heartbeat, &StationHeartbeat::beatSoon); }

void RunForwarder::tried(bool runs, const QString &error)
{
    const bool wasFailing = failing();
    (runs ? m_runsError : m_stateError) = error;
    if (!wasFailing && failing()) {
        // The server's own sentence may end with its point already.
        QString reason = error;
        while (reason.endsWith(u'.'))
            reason.chop(1);
        Q_EMIT problem(
            QStringLiteral("%1. Runs are kept on this bench and sent when the server can be reached.").arg(reason));
    } else if (wasFailing && !failing())
        Q_EMIT problem(QStringLiteral("The lab server %1 can be reached again; the runs kept meanwhile are sent.")
                           .arg(m_server.describe()));
}

QString RunForwarder::finish(const QString &uuid)
{
    // On the bench first: a server that does not answer within the wait leaves the run's end to
    // the next forwarder here.
    const StationStateHolder::Snapshot last = m_stationState->snapshot();
    const bool stateToSend = last.state.activity == StationState::Activity::Finished;
    m_kept->keep(last.state);
    QString why = QStringLiteral("the lab server %1 did not answer within %2 s")
                      .arg(m_server.describe())
                      .arg(FinishWaitMs / 1000);
    bool runAnswered = false, stateAnswered = !stateToSend;
    QEventLoop loop;
    connect(m_worker, &ForwardWorker::answered, &loop, [&](const QString &answeredUuid, const QString &text) {
        if (answeredUuid != uuid)
            return;
        why = text;
        runAnswered = true;
        if (stateAnswered)
            loop.quit();
    });
    connect(m_heartbeat, &StationHeartbeat::beaten, &loop, [&](const QString &, bool finished) {
        if (!finished)
            return;
        stateAnswered = true;
        if (runAnswered)
            loop.quit();
    });
    QTimer::singleShot(FinishWaitMs, &loop, &QEventLoop::quit);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, uuid] { worker->answer(uuid); });
    sendStateSoon();
    m_waiting = &loop;
    const bool abandoned = loop.exec() != 0;
    m_waiting = nullptr;
    if (abandoned && !runAnswered)
        why = QStringLiteral("the wait for the lab server %1 was cut short").arg(m_server.describe());
    return why;
}

void RunForwarder::abandonWait()
{
    if (m_waiting)
        m_waiting->exit(1);
}
