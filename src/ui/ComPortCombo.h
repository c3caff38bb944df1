#pragma once

#include <QComboBox>
#include <QList>
#include <QString>

// The editable "COM Port" box: the port numbers "1" to "16", then the serial devices present on
// the machine, each shown with its description. Picking a device puts its path alone into the box,
// so the stored value is a port number or a device path and never the description.
class ComPortCombo : public QComboBox
{
    Q_OBJECT

public:
    struct Port
    {
        QString location; // a device path such as /dev/ttyUSB0
        QString description;
    };
    static constexpr int NumberedPorts = 16;

    explicit ComPortCombo(QWidget *parent = nullptr);

    // The serial devices the system reports now.
    static QList<Port> systemPorts();
    // Replaces the listed devices; the text in the box stays as it is.
    void setSystemPorts(const QList<Port> &ports);

    // The text to store: the device path when the box shows a listed device's entry.
    QString value() const;
    // Shows a stored value, selecting its entry when there is one.
    void setValue(const QString &value);
};
