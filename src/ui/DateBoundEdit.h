#pragma once

#include <QDate>
#include <QWidget>

class QCheckBox;
class QDateEdit;

// A date a filter may be bounded by, or no bound: a check box beside a date field.
class DateBoundEdit : public QWidget
{
    Q_OBJECT

public:
    DateBoundEdit(const QString &label, QWidget *parent = nullptr);

    // Invalid while the box is not checked.
    QDate date() const;
    // An invalid date clears the bound.
    void setDate(const QDate &date);

Q_SIGNALS:
    void changed();

private:
    QCheckBox *m_bounded;
    QDateEdit *m_date;
};
