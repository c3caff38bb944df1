#include "settings/MeasureOptions.h"

#include "model/Fixed4.h"
#include "model/NumberText.h"

MeasureOptions::MeasureOptions(QObject *parent) : QObject(parent) { }

void MeasureOptions::setMeasTimeText(const QString &text)
{
    if (text == m_measTimeText)
        return;
    m_measTimeText = text;
    Q_EMIT measTimeTextChanged(m_measTimeText);
}

void MeasureOptions::applyMeasTimeLimits()
{
    const double value = NumberText::lenient(m_measTimeText);
    if (value < MinMeasTime)
        setMeasTimeText(QString::number(MinMeasTime));
    else if (value > MaxMeasTime)
        setMeasTimeText(QString::number(MaxMeasTime));
    else if (!NumberText::strict(m_measTimeText))
        setMeasTimeText(Fixed4::fromDoubleOrZero(value).toText());
}

qint32 MeasureOptions::tickIntervalMs() const
{
    return NumberText::toInt32(NumberText::lenient(m_measTimeText)).value_or(0);
}

int MeasureOptions::measureCheck(int item) const
{
    return item >= 0 && item < MeasureItemCount ? m_measureCheck[item] : 0;
}

void MeasureOptions::setMeasureCheck(int item, int value)
{
    if (item < 0 || item >= MeasureItemCount || value < 0 || value > 2 || m_measureCheck[item] == value)
        return;
    changeCheck(item, value);
    if (item == Power && isChecked(Power)) {
        changeCheck(Voltage, 1);
        changeCheck(Current, 1);
    }
    if (!isChecked(Voltage) && !isChecked(Current) && !isChecked(Power))
        changeCheck(Voltage, 1);
}

void MeasureOptions::changeCheck(int item, int value)
{
    if (m_measureCheck[item] == value)
        return;
    m_measureCheck[item] = value;
    Q_EMIT measureCheckChanged(item, value);
}

void MeasureOptions::setSeparateText(const QString &text)
{
    if (text == m_separateText)
        return;
    m_separateText = text;
    Q_EMIT separateTextChanged(m_separateText);
}

QString MeasureOptions::fieldSeparator() const
{
    return m_separateText == u"<Tab>" ? QStringLiteral("\t") : m_separateText;
}
