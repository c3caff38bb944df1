#pragma once

#include "results/ChartHistory.h"

#include <QChartView>
#include <QElapsedTimer>
#include <QTimer>

class QLineSeries;
class QValueAxis;
class RunRecorder;

// Voltage, current and power against the run's elapsed time, each on its own axis, with the step
// starts and verdicts marked. It follows the run until the operator zooms (drag a span, or the
// wheel) or pans (right-drag); follow() goes back. Redrawn at most ten times a second from a
// bounded history, so a day of samples draws as fast as a minute.
class RunChart : public QChartView
{
    Q_OBJECT

public:
    static constexpr int RedrawIntervalMs = 100;

    explicit RunChart(QWidget *parent = nullptr);
    // Shows the runs `recorder` records, each from its start.
    void listenTo(const RunRecorder &recorder);

    ChartHistory &history() { return m_history; }
    bool isFollowing() const { return m_following; }
    // Back to the whole run, growing as it goes.
    void follow();
    // Puts the history on the series now (the redraw timer does so while the history changes).
    void refresh();
    // How long the last refresh took, in microseconds.
    qint64 lastRefreshMicroseconds() const { return m_lastRefreshUs; }
    // The chart as a PNG (or any format Qt writes by the file's suffix); "" on success, else why not.
    QString saveImage(const QString &path);

Q_SIGNALS:
    void followingChanged(bool following);

protected:
    void drawForeground(QPainter *painter, const QRectF &rect) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void setFollowing(bool following);
    void changed();
    void fitAxes();
    double xAt(double seconds) const;

    ChartHistory m_history;
    QLineSeries *m_volts, *m_amps, *m_watts;
    QValueAxis *m_time, *m_voltAxis, *m_ampAxis, *m_wattAxis;
    QTimer m_redraw;
    bool m_dirty = false;
    bool m_following = true;
    bool m_panning = false;
    QPointF m_panFrom;
    qint64 m_lastRefreshUs = 0;
};
