#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class RunStatus;

// The run's state and the latest V, I, W, Ah and Wh in large type, readable from a step back.
// Refreshed at most ten times a second, whatever the sampling interval.
class RunReadout : public QWidget
{
    Q_OBJECT

public:
    explicit RunReadout(const RunStatus &status, QWidget *parent = nullptr);

    QString stateText() const;
    // The five readings as shown, e.g. "12.503 V".
    QStringList readings() const;
    // The readings are the load's now, not the last ones it gave: a glance must never take the
    // current of a run that is over, or of a load that went silent, for a current still flowing.
    bool showsLive() const { return m_live; }
    // Why the readings are not live: "no reading for 4 s", "last values, at 00:01:35"; "" while live.
    QString staleText() const;
    // Takes the status now.
    void refresh();

private:
    const RunStatus &m_status;
    QLabel *m_state;
    QLabel *m_times;
    QLabel *m_stale;
    bool m_live = false;
    QList<QLabel *> m_values;
    QTimer m_timer;
};
