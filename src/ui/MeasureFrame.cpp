#include "ui/MeasureFrame.h"

#include "settings/MeasureOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

MeasureFrame::MeasureFrame(MeasureOptions &options, QWidget *parent)
    : QGroupBox(QStringLiteral("Measure Item"), parent), m_options(options), m_separate(new QComboBox(this))
{
    setObjectName(QStringLiteral("MeasureFrame"));
    auto *grid = new QGridLayout(this);
    const QStringList captions{QStringLiteral("Voltage"), QStringLiteral("Current"), QStringLiteral("Power"),
        QStringLiteral("Ah"), QStringLiteral("Wh")};
    for (int item = 0; item < MeasureOptions::MeasureItemCount; ++item) {
        auto *check = new QCheckBox(captions.at(item), this);
        check->setObjectName(QStringLiteral("MeasureCheck%1").arg(item));
        m_checks.append(check);
        grid->addWidget(check, item / 2, item % 2);
        showCheck(item, options.measureCheck(item));
        connect(check, &QCheckBox::clicked, this,
            [this, item](bool checked) { m_options.setMeasureCheck(item, checked ? 1 : 0); });
    }
    connect(&options, &MeasureOptions::measureCheckChanged, this, &MeasureFrame::showCheck);

    m_separate->setObjectName(QStringLiteral("SeparateCombo"));
    m_separate->setEditable(true);
    m_separate->addItems({QStringLiteral(","), QStringLiteral(";"), QStringLiteral("<Tab>")});
    m_separate->setCurrentText(options.separateText());
    connect(m_separate, &QComboBox::currentTextChanged, &options, &MeasureOptions::setSeparateText);
    connect(&options, &MeasureOptions::separateTextChanged, this, [this](const QString &text) {
        if (m_separate->currentText() != text)
            m_separate->setCurrentText(text);
    });
    grid->addWidget(new QLabel(QStringLiteral("Separate"), this), 3, 0);
    grid->addWidget(m_separate, 3, 1);
    grid->setRowStretch(4, 1);
}

void MeasureFrame::showCheck(int item, int value)
{
    QCheckBox *check = m_checks.value(item);
    if (!check)
        return;
    const QSignalBlocker quiet(check);
    check->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void MeasureFrame::mouseDoubleClickEvent(QMouseEvent *event)
{
    QGroupBox::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}
