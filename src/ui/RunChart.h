#pragma once

#include "results/ChartHistory.h"

#include <QChartView>
#include <QElapsedTimer>
#include <QTimer>
#include <array>

class QLineSeries;
class QMenu;
class QValueAxis;
class RunRecorder;

// Voltage, current and power against the run's elapsed time, each on its own axis, with the step
// starts and verdicts marked. It follows the run until the operator zooms (drag a span, or the
// wheel) or pans (right-drag); follow() goes back. Redrawn at most ten times a second from a
// bounded history, so a day of samples draws as fast as a minute.
//
// Each value axis is scaled to the readings in view. The three lines are given heights of their
// own (voltage over the middle, current high, power lower, and zero for current above zero for
// power), so that at constant current no line lies on another or on the plot's edge.
class RunChart : public QChartView
{
    Q_OBJECT

public:
    static constexpr int RedrawIntervalMs = 100;
    // Save Chart's picture: big enough to print, whatever the window's size.
    static constexpr QSize ImageSize{1600, 900};

    enum class Axis { Volts, Amps, Watts };

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
    // The chart as a PNG (or any format Qt writes by the file's suffix), drawn at `size` whatever the
    // chart's size on screen; "" on success, else why not.
    QString saveImage(const QString &path, QSize size = ImageSize);

    QValueAxis *timeAxis() const { return m_time; }
    QValueAxis *axis(Axis axis) const { return m_axes.at(int(axis)); }
    // The axis takes in every reading in view, the peak of a finished OCP, OPP or short test too.
    void fitAxis(Axis axis);
    void fitAllAxes();
    // Back to leaving such peaks out of every axis.
    void leaveOutTripPeaks();
    bool takesTripPeaks(Axis axis) const { return m_tripPeaks.at(int(axis)); }
    // Fit all, fit one axis, or leave trip-test peaks out: for a button or a context menu.
    QMenu *makeFitMenu(QWidget *parent);

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
    QValueAxis *m_time;
    std::array<QValueAxis *, 3> m_axes{};
    std::array<bool, 3> m_tripPeaks{};
    QTimer m_redraw;
    bool m_dirty = false;
    bool m_following = true;
    bool m_panning = false;
    QPointF m_panFrom;
    QPointF m_pressedAt;
    qint64 m_lastRefreshUs = 0;
};
