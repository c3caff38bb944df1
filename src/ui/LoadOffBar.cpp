#include "ui/LoadOffBar.h"

#include "run/OffKeeper.h"
#include "run/RunRecorder.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

LoadOffBar::LoadOffBar(const RunRecorder &recorder, OffKeeper &keeper, QWidget *parent)
    : QFrame(parent),
      m_recorder(recorder),
      m_keeper(keeper),
      m_text(new QLabel(this)),
      m_tryNow(new QPushButton(QStringLiteral("Try &Now"), this))
{
    setObjectName(QStringLiteral("LoadOffBar"));
    setAutoFillBackground(true);
    QPalette red = palette();
    red.setColor(QPalette::Window, QColor(0xb7, 0x1c, 0x1c));
    red.setColor(QPalette::WindowText, Qt::white);
    setPalette(red);
    m_text->setObjectName(QStringLiteral("LoadOffText"));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_text->font();
    bold.setBold(true);
    m_text->setFont(bold);
    m_tryNow->setObjectName(QStringLiteral("LoadOffTryNow"));
    m_tryNow->setToolTip(QStringLiteral("Reach the load and tell it to switch off now, without waiting for the "
                                        "next try"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_tryNow);
    connect(m_tryNow, &QPushButton::clicked, &m_keeper, &OffKeeper::tryNow);
    connect(&m_recorder, &RunRecorder::changed, this, &LoadOffBar::refresh);
    connect(&m_keeper, &OffKeeper::tried, this, [this](const QString &why) {
        m_lastWhy = why;
        refresh();
    });
    connect(&m_keeper, &OffKeeper::ended, this, &LoadOffBar::refresh);
    m_seconds.setInterval(1000);
    connect(&m_seconds, &QTimer::timeout, this, &LoadOffBar::refresh);
    refresh();
}

QString LoadOffBar::text() const { return isHidden() ? QString() : m_text->text(); }

void LoadOffBar::refresh()
{
    const LoadOff &off = m_recorder.record().loadOff;
    const bool show = off.unconfirmed();
    setVisible(show);
    if (!show) {
        m_seconds.stop();
        m_lastWhy.clear();
        return;
    }
    m_seconds.start();
    QString text = QStringLiteral("The load at %1 may still be on: it could not be told to switch off. Trying again… "
                                  "(%2 s since the run's end")
                       .arg(off.address)
                       .arg(std::max<qint64>(0, off.since.secsTo(QDateTime::currentDateTime())));
    if (!m_lastWhy.isEmpty())
        text += QStringLiteral("; last try: ") + m_lastWhy;
    m_text->setText(text + u')');
    m_tryNow->setEnabled(m_keeper.isTrying());
}
