#pragma once

#include <QGroupBox>

class MeasureOptions;
class QCheckBox;
class QComboBox;

// The "Measure Item" frame: the five measure items and the log file's separator, shown from and
// written to the measure options. A double click on the frame asks for the trace list.
class MeasureFrame : public QGroupBox
{
    Q_OBJECT

public:
    explicit MeasureFrame(MeasureOptions &options, QWidget *parent = nullptr);

    QCheckBox *measureCheck(int item) const { return m_checks.value(item); }
    QComboBox *separateCombo() const { return m_separate; }

Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void showCheck(int item, int value);

    MeasureOptions &m_options;
    QList<QCheckBox *> m_checks;
    QComboBox *m_separate;
};
