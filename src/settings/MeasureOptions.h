#pragma once

#include <QObject>
#include <QString>
#include <array>

// The operator's choices in the "Measure Item" frame that shape the result rows and the log file:
// the sampling interval text, the measure items and the separator. The window's controls show
// and edit this state; the settings file loads and saves it.
class MeasureOptions : public QObject
{
    Q_OBJECT

public:
    enum MeasureItem { Voltage = 0, Current = 1, Power = 2, Ah = 3, Wh = 4 };
    static constexpr int MeasureItemCount = 5;
    static constexpr int MinMeasTime = 100;
    static constexpr int MaxMeasTime = 60000;

    explicit MeasureOptions(QObject *parent = nullptr);

    // The sampling interval in milliseconds as the operator typed it (`MeasTimeText`).
    const QString &measTimeText() const { return m_measTimeText; }
    void setMeasTimeText(const QString &text);
    // What leaving the sampling interval box does: below 100 shows "100", above 60000 shows
    // "60000". A number in range followed by other characters (150ms) keeps its number and shows
    // it cleaned (150), so the text the sequencer times its ticks from is always a plain number.
    void applyMeasTimeLimits();
    // The text taken as a whole number of milliseconds, rounded halves to even; 0 when it does not fit.
    qint32 tickIntervalMs() const;

    // The value of a measure check box (`MeasureCheck`): 0 clear, 1 checked, 2 greyed.
    int measureCheck(int item) const;
    // A change of value counts as a click on the box: checking "Power" checks "Voltage" and
    // "Current" too, and "Voltage" is checked again whenever none of the first three is.
    void setMeasureCheck(int item, int value);

    // The separator choice as shown (`SeparateCombo`): ",", ";", "<Tab>" or any typed text.
    const QString &separateText() const { return m_separateText; }
    void setSeparateText(const QString &text);
    // The characters that separate the log file's fields: a tab for "<Tab>", otherwise the text.
    QString fieldSeparator() const;

Q_SIGNALS:
    void measTimeTextChanged(const QString &text);
    void measureCheckChanged(int item, int value);
    void separateTextChanged(const QString &text);

private:
    bool isChecked(int item) const { return m_measureCheck[item] == 1; }
    void changeCheck(int item, int value);

    QString m_measTimeText = QStringLiteral("1000");
    std::array<int, MeasureItemCount> m_measureCheck{1, 1, 1, 1, 1};
    QString m_separateText = QStringLiteral(",");
};
