#include "ui/ComPortCombo.h"

#include <QSerialPortInfo>

ComPortCombo::ComPortCombo(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    for (int port = 1; port <= NumberedPorts; ++port)
        addItem(QString::number(port));
    // The entry's text carries the description; the box keeps only the path once one is picked.
    connect(this, &QComboBox::activated, this, [this](int index) {
        const QString location = itemData(index).toString();
        if (!location.isEmpty())
            setEditText(location);
    });
}

QList<ComPortCombo::Port> ComPortCombo::systemPorts()
{
    QList<Port> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.systemLocation(), info.description()});
    return ports;
}

void ComPortCombo::setSystemPorts(const QList<Port> &ports)
{
    const QString text = currentText();
    while (count() > NumberedPorts)
        removeItem(count() - 1);
    for (const Port &port : ports) {
        if (port.location.isEmpty())
            continue;
        const QString shown = port.description.isEmpty()
            ? port.location
            : QStringLiteral("%1 (%2)").arg(port.location, port.description);
        addItem(shown, port.location);
    }
    setValue(text);
}

QString ComPortCombo::value() const
{
    const QString text = currentText();
    const int index = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    const QString location = index >= 0 ? itemData(index).toString() : QString();
    return location.isEmpty() ? text : location;
}

void ComPortCombo::setValue(const QString &value)
{
    int index = value.isEmpty() ? -1 : findData(value);
    if (index < 0)
        index = findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        setCurrentIndex(index);
    setEditText(value);
}
