#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class RunStatus;

// The run in digits to read from across the bench, or on a second screen: voltage and current,
// the run's Ah, the step and its time left, each in digits at least an eighth of the window's
// height. Greyed whenever the values are not the load's now (the load silent, the run over).
class LargeReadout : public QWidget
{
    Q_OBJECT

public:
    explicit LargeReadout(const RunStatus &status, QWidget *parent = nullptr);

    // The five values as shown: "12.446 V", "1.500 A", "0.1234 Ah", "Step 2 of 4", "838.2 s left".
    QStringList values() const;
    QList<QLabel *> valueLabels() const { return m_values; }
    QString stateText() const;
    bool showsLive() const { return m_live; }
    void refresh();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitFonts();

    const RunStatus &m_status;
    QLabel *m_state;
    QList<QLabel *> m_values;
    QTimer m_timer;
    bool m_live = false;
};
