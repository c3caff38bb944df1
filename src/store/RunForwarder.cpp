#include "store/RunForwarder.h"

#include "store/ForwardWorker.h"
#include "store/StationIdentity.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

RunForwarder::RunForwarder(
    const QString &sqlitePath, const StoreServer &server, const QString &station, QObject *parent)
    : QObject(parent),
      m_server(server),
      m_stationState(
          std::make_shared<StationStateHolder>(station, StationIdentity::of(QFileInfo(sqlitePath).absolutePath()))),
      m_thread(new QThread),
      m_worker(new ForwardWorker(sqlitePath, server, m_stationState))
{
    qRegisterMetaType<ServerMirror::Outcome>();
    m_thread->setObjectName(QStringLiteral("RunForwarder"));
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &ForwardWorker::roundDone, this, &RunForwarder::roundDone);
    connect(m_worker, &ForwardWorker::problem, this, &RunForwarder::problem);
    m_thread->start(QThread::LowPriority);
    QMetaObject::invokeMethod(m_worker, &ForwardWorker::start);
    connect(&m_watchdog, &QTimer::timeout, this, [this] { m_worker->cutStuckCall(); });
    m_watchdog.start(ForwardWorker::StuckCallMs / 4);
}

RunForwarder::~RunForwarder()
{
    m_watchdog.stop();
    m_worker->stop();
    m_thread->quit();
    if (m_thread->wait(StopWaitMs)) {
        delete m_thread;
        return;
    }
    // Only a connection still being made holds the thread now (libpq gives no socket to cut
    // before it is made; its connect timeout ends it). Waiting would hold the program, and a
    // thread that still runs cannot be deleted: it is left to end by itself, and its worker goes
    // with it.
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
}

void RunForwarder::forwardSoon() { QMetaObject::invokeMethod(m_worker, &ForwardWorker::forwardSoon); }

QString RunForwarder::finish(const QString &uuid)
{
    // A server that failed the last round is not asked again: the program ends at once.
    const bool again = !m_worker->lastFailed();
    QString why = QStringLiteral("the lab server %1 did not answer within %2 s")
                      .arg(m_server.describe())
                      .arg(FinishWaitMs / 1000);
    bool done = false;
    QEventLoop loop;
    connect(m_worker, &ForwardWorker::answered, &loop, [&](const QString &answeredUuid, const QString &text) {
        if (answeredUuid != uuid)
            return;
        why = text;
        done = true;
        loop.quit();
    });
    QTimer::singleShot(FinishWaitMs, &loop, &QEventLoop::quit);
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, uuid, again] { worker->answer(uuid, again); });
    m_waiting = &loop;
    const bool abandoned = loop.exec() != 0;
    m_waiting = nullptr;
    if (abandoned && !done)
        why = QStringLiteral("the wait for the lab server %1 was cut short").arg(m_server.describe());
    return why;
}

void RunForwarder::abandonWait()
{
    if (m_waiting)
        m_waiting->exit(1);
}
