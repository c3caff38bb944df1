#include "ui/RunReadout.h"

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

    auto *grid = new QGridLayout;
    QFont valueFont = font();
    valueFont.setPointSizeF(valueFont.pointSizeF() * 2.2);
    valueFont.setBold(true);
    valueFont.setStyleHint(QFont::Monospace);
    QFont captionFont = font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.9);
    // The running step's totals start again at every step; a capacity test is after the run's.
    const QStringList captions{QString(), QString(), QString(), QStringLiteral("step"), QStringLiteral("step"),
        QStringLiteral("run"), QStringLiteral("run")};
    for (int row = 0; row < int(captions.size()); ++row) {
        auto *value = new QLabel(this);
        value->setFont(valueFont);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(value, row, 0);
        m_values.append(value);
        auto *caption = new QLabel(captions.at(row), this);
        caption->setFont(captionFont);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(caption, row, 1);
    }
    column->addLayout(grid);
    column->addStretch();

    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &RunReadout::refresh);
    connect(&status, &RunStatus::changed, this, [this] {
        const bool running
            = m_status.phase() == RunStatus::Phase::Running || m_status.phase() == RunStatus::Phase::Identifying;
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

QStringList RunReadout::readings() const
{
    QStringList texts;
    for (const QLabel *value : m_values)
        texts.append(value->text());
    return texts;
}
