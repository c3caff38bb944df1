#pragma once

#include <QFrame>
#include <QTimer>

class OffKeeper;
class QLabel;
class QPushButton;
class RunRecorder;

// A red bar across the top of the window while the last run's load may still be on: its off
// lines could not be confirmed. It stays until a later try confirms them, counts the time since
// the run's end and offers a try now.
class LoadOffBar : public QFrame
{
    Q_OBJECT

public:
    LoadOffBar(const RunRecorder &recorder, OffKeeper &keeper, QWidget *parent = nullptr);

    QString text() const;
    QPushButton *tryNowButton() const { return m_tryNow; }

private:
    void refresh();

    const RunRecorder &m_recorder;
    OffKeeper &m_keeper;
    QLabel *m_text;
    QPushButton *m_tryNow;
    QTimer m_seconds;
    QString m_lastWhy;
};
