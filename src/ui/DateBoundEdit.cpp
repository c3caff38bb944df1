#include "ui/DateBoundEdit.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

DateBoundEdit::DateBoundEdit(const QString &label, QWidget *parent)
    : QWidget(parent), m_bounded(new QCheckBox(label, this)), m_date(new QDateEdit(QDate::currentDate(), this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_bounded);
    layout->addWidget(m_date);
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setEnabled(false);
    connect(m_bounded, &QCheckBox::toggled, this, [this](bool bounded) {
        m_date->setEnabled(bounded);
        Q_EMIT changed();
    });
    connect(m_date, &QDateEdit::dateChanged, this, [this] {
        if (m_bounded->isChecked())
            Q_EMIT changed();
    });
}

QDate DateBoundEdit::date() const { return m_bounded->isChecked() ? m_date->date() : QDate(); }

void DateBoundEdit::setDate(const QDate &date)
{
    if (date.isValid())
        m_date->setDate(date);
    m_bounded->setChecked(date.isValid());
}
