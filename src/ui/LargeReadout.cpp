#include "ui/LargeReadout.h"

#include "run/RunStatus.h"

#include <QGridLayout>
#include <QLabel>
#include <algorithm>

namespace {

enum Value { Volts, Amps, RunAmpHours, Step, TimeLeft, ValueCount };

// Of the window's height, for every value: digits are about three quarters of the font's pixel
// size, so this gives digits of more than an eighth of the height in the four rows.
constexpr double FontShare = 0.182;

} // namespace

LargeReadout::LargeReadout(const RunStatus &status, QWidget *parent) : QWidget(parent, Qt::Window), m_status(status)
{
    setObjectName(QStringLiteral("LargeReadout"));
    setWindowTitle(QStringLiteral("Run readout"));
    setAutoFillBackground(true);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(12, 6, 12, 6);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(0);
    grid->setColumnMinimumWidth(0, 0);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("LargeReadoutState"));
    grid->addWidget(m_state, 0, 0, 1, 2);
    for (int i = 0; i < ValueCount; ++i) {
        auto *label = new QLabel(this);
        label->setAlignment(Qt::AlignCenter);
        m_values.append(label);
    }
    // Voltage and current side by side, the rest a row each: at the height the digits need, the
    // step's "Step 12 of 20" would not fit half the width of a 16:9 screen.
    grid->addWidget(m_values[Volts], 1, 0);
    grid->addWidget(m_values[Amps], 1, 1);
    grid->addWidget(m_values[RunAmpHours], 2, 0, 1, 2);
    grid->addWidget(m_values[Step], 3, 0, 1, 2);
    grid->addWidget(m_values[TimeLeft], 4, 0, 1, 2);
    for (int row = 1; row <= 4; ++row)
        grid->setRowStretch(row, 1);

    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &LargeReadout::refresh);
    connect(&status, &RunStatus::changed, this, [this] {
        if (m_status.isGoingOn() && !m_timer.isActive())
            m_timer.start();
        if (!m_status.isGoingOn()) {
            m_timer.stop();
            refresh();
        }
    });
    resize(960, 540);
    refresh();
}

void LargeReadout::refresh()
{
    const bool shown = m_status.hasSample();
    const Sample &sample = m_status.lastSample();
    const QString none = QStringLiteral("–");
    m_values[Volts]->setText(shown ? QStringLiteral("%1 V").arg(sample.volts, 0, 'f', 3) : none + QStringLiteral(" V"));
    m_values[Amps]->setText(shown ? QStringLiteral("%1 A").arg(sample.amps, 0, 'f', 3) : none + QStringLiteral(" A"));
    m_values[RunAmpHours]->setText(
        shown ? QStringLiteral("%1 Ah").arg(m_status.totals().ampHours, 0, 'f', 4) : none + QStringLiteral(" Ah"));
    m_values[Step]->setText(m_status.stepOfSteps().isEmpty() ? none : m_status.stepOfSteps());
    const QString left = m_status.timeLeft();
    // The time comes with its unit ("17.0 s").
    m_values[TimeLeft]->setText(left.isEmpty() ? none : QStringLiteral("%1 left").arg(left));
    for (QLabel *value : m_values) {
        if (value->property("fittedLength").toLongLong() != value->text().size()) {
            fitFonts();
            break;
        }
    }

    // "Reconnecting to … (N s)" already says for how long no reading came.
    QString state = m_status.text();
    if (shown && !m_status.isGoingOn())
        state += QStringLiteral(" — last values");
    m_state->setText(state);
    const bool live = m_status.readingIsLive();
    if (live != m_live || m_values.first()->styleSheet().isEmpty()) {
        m_live = live;
        for (QLabel *value : m_values)
            value->setStyleSheet(
                live ? QStringLiteral("color: palette(window-text)") : QStringLiteral("color: #9a9a9a"));
    }
}

QStringList LargeReadout::values() const
{
    QStringList texts;
    for (const QLabel *value : m_values)
        texts.append(value->text());
    return texts;
}

QString LargeReadout::stateText() const { return m_state->text(); }

void LargeReadout::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitFonts();
}

void LargeReadout::fitFonts()
{
    QFont stateFont = font();
    stateFont.setPixelSize(std::max(12, height() / 24));
    m_state->setFont(stateFont);
    const QMargins margins = layout()->contentsMargins();
    const int width = this->width() - margins.left() - margins.right();
    for (int i = 0; i < ValueCount; ++i) {
        QLabel *value = m_values[i];
        // Voltage and current share a row, with a gap of a twentieth of the width between them.
        const int room = (i == Volts || i == Amps ? width * 19 / 40 : width) - 16;
        QFont font = this->font();
        font.setBold(true);
        font.setStyleHint(QFont::Monospace);
        font.setFamily(QStringLiteral("Monospace"));
        font.setPixelSize(std::max(8, int(height() * FontShare)));
        // Too wide for its room at that height (a window much narrower than high, a voltage of
        // hundreds): as large as fits.
        const int wide = QFontMetrics(font).horizontalAdvance(value->text());
        if (wide > room)
            font.setPixelSize(std::max(8, font.pixelSize() * room / wide));
        value->setFont(font);
        value->setProperty("fittedLength", value->text().size());
    }
}
