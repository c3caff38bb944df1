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
    // Takes the status now.
    void refresh();

private:
    const RunStatus &m_status;
    QLabel *m_state;
    QLabel *m_times;
    QList<QLabel *> m_values;
    QTimer m_timer;
};
