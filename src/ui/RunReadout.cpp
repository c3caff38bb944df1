#include "ui/RunReadout.h"

#include "report/ChartColours.h"
#include "run/RunStatus.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QString clockText(double seconds)
{
    const qint64 whole = qint64(seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600, 2, 10, QLatin1Char('0'))
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString stateColour(RunStatus::Phase phase)
{
    switch (phase) {
    case RunStatus::Phase::Running:
    case RunStatus::Phase::Identifying:
        return QStringLiteral("#1f6fd0");
    case RunStatus::Phase::Reconnecting:
        return QStringLiteral("#b45f06");
    case RunStatus::Phase::FinishedPass:
        return QStringLiteral("#1e8e3e");
    case RunStatus::Phase::FinishedFail:
    case RunStatus::Phase::Lost:
    case RunStatus::Phase::Error:
        return QStringLiteral("#c62828");
    case RunStatus::Phase::Idle:
    case RunStatus::Phase::Stopped:
        break;
    }
    return QStringLiteral("#505050");
}

} // namespace

RunReadout::RunReadout(const RunStatus &status, QWidget *parent) : QWidget(parent), m_status(status)
{
    setObjectName(QStringLiteral("RunReadout"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("RunState"));
    m_state->setWordWrap(true);
    QFont stateFont = font();
    stateFont.setPointSizeF(stateFont.pointSizeF() * 1.4);
    stateFont.setBold(true);
    m_state->setFont(stateFont);
    column->addWidget(m_state);
    m_times = new QLabel(this);
    column->addWidget(m_times);

    // Voltage and current first and largest, in the chart's colours; the totals smaller, the
    // step's beside the run's.
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(0);
    const auto valueFont = [this](double scale) {
        QFont font = this->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        font.setBold(true);
        font.setStyleHint(QFont::Monospace);
        return font;
    };
    const QList<QPair<double, QString>> styles{{2.4, ChartColours::Volts.name()}, {2.4, ChartColours::Amps.name()},
        {1.7, ChartColours::Watts.name()}, {1.15, QString()}, {1.15, QString()}, {1.15, QString()}, {1.15, QString()}};
    for (const auto &[scale, colour] : styles) {
        auto *value = new QLabel(this);
        value->setFont(valueFont(scale));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setProperty("liveColour", colour.isEmpty() ? QStringLiteral("palette(window-text)") : colour);
        m_values.append(value);
    }
    for (int row = 0; row < 3; ++row)
        grid->addWidget(m_values.at(row), row, 0, 1, 2);
    QFont captionFont = font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.9);
    // The running step's totals start again at every step; a capacity test is after the run's.
    for (int row = 0; row < 2; ++row) {
        grid->addWidget(m_values.at(3 + 2 * row), 3 + row, 0);
        grid->addWidget(m_values.at(4 + 2 * row), 3 + row, 1);
        auto *caption = new QLabel(row == 0 ? QStringLiteral("step") : QStringLiteral("run"), this);
        caption->setFont(captionFont);
        grid->addWidget(caption, 3 + row, 2);
    }
    column->addLayout(grid);
    m_stale = new QLabel(this);
    m_stale->setObjectName(QStringLiteral("ReadoutStale"));
    m_stale->setStyleSheet(QStringLiteral("color: #b45f06; font-weight: bold"));
    column->addWidget(m_stale);
    column->addStretch();

    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &RunReadout::refresh);
    connect(&status, &RunStatus::changed, this, [this] {
        const bool running = m_status.isGoingOn();
        if (running && !m_timer.isActive())
            m_timer.start();
        if (!running) {
            m_timer.stop();
            refresh();
        }
    });
    refresh();
}

void RunReadout::refresh()
{
    m_state->setText(m_status.text());
    m_state->setStyleSheet(QStringLiteral("color: %1").arg(stateColour(m_status.phase())));
    QString times = QStringLiteral("Elapsed %1").arg(clockText(m_status.elapsedSeconds()));
    if (!m_status.timeLeft().isEmpty())
        times += QStringLiteral("   Step time left %1").arg(m_status.timeLeft());
    m_times->setText(times);
    const Sample &sample = m_status.lastSample();
    const RunTotals &run = m_status.totals();
    const bool shown = m_status.hasSample();
    const bool live = m_status.readingIsLive();
    if (m_status.phase() == RunStatus::Phase::Reconnecting)
        m_stale->setText(QStringLiteral("no reading for %1 s").arg(qint64(m_status.secondsWithoutReading())));
    else if (shown && !m_status.isGoingOn())
        m_stale->setText(QStringLiteral("last values, at %1").arg(clockText(m_status.lastSample().elapsedSeconds)));
    else
        m_stale->clear();
    m_stale->setVisible(!m_stale->text().isEmpty());
    if (live != m_live || m_values.first()->styleSheet().isEmpty()) {
        m_live = live;
        for (QLabel *value : m_values)
            value->setStyleSheet(QStringLiteral("color: %1")
                                     .arg(live ? value->property("liveColour").toString() : QStringLiteral("#9a9a9a")));
    }
    const QList<QPair<double, QString>> values{{sample.volts, QStringLiteral("V")}, {sample.amps, QStringLiteral("A")},
        {sample.watts, QStringLiteral("W")}, {sample.ampHours, QStringLiteral("Ah")},
        {sample.wattHours, QStringLiteral("Wh")}, {run.ampHours, QStringLiteral("Ah")},
        {run.wattHours, QStringLiteral("Wh")}};
    for (qsizetype i = 0; i < values.size(); ++i) {
        const int decimals = i < 3 ? 3 : 4;
        m_values.at(i)->setText(QStringLiteral("%1 %2").arg(
            shown ? QString::number(values.at(i).first, 'f', decimals) : QStringLiteral("–"),
            values.at(i).second.leftJustified(2)));
    }
}

QString RunReadout::stateText() const { return m_state->text(); }

QString RunReadout::staleText() const { return m_stale->text(); }

QStringList RunReadout::readings() const
{
    QStringList texts;
    for (const QLabel *value : m_values)
        texts.append(value->text());
    return texts;
}
