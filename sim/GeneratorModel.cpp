#include "GeneratorModel.h"

#include "SimText.h"

#include <QList>
#include <cmath>
#include <numbers>

GeneratorModel::GeneratorModel(QByteArray identity) : m_identity(std::move(identity)) { }

SimReply GeneratorModel::handle(const QByteArray &keyword, const QByteArray &argument)
{
    const QByteArray arg = argument.trimmed();
    auto setUs = [&](double &field) {
        const std::optional<double> value = SimText::numberWithUnit(arg, "US");
        if (value)
            field = *value;
        return SimReply{value.has_value(), std::nullopt};
    };
    if (keyword == "*IDN?" && arg.isEmpty())
        return {true, m_identity};
    if (keyword == "REM" && arg.isEmpty()) {
        m_remote = true;
        return {true, std::nullopt};
    }
    if (keyword == "OUTP") {
        const std::optional<bool> on = SimText::onOff(arg);
        if (on)
            m_outputOn = *on;
        return {on.has_value(), std::nullopt};
    }
    if (keyword == "SOUR1:APPL:SIN")
        return {applyWaveform(arg, Shape::Sine), std::nullopt};
    if (keyword == "SOUR1:APPL:PULS")
        return {applyWaveform(arg, Shape::Pulse), std::nullopt};
    if (keyword == "SOUR1:PULS:WIDT")
        return setUs(m_widthUs);
    if (keyword == "SOUR1:PULS:DCYC") {
        const std::optional<double> value = SimText::number(arg);
        if (value && *value >= 0 && *value <= 100)
            m_duty = *value;
        return {value && *value >= 0 && *value <= 100, std::nullopt};
    }
    // The generator takes the misspelling "EGDE" of the edge time as well as the right one.
    if (keyword == "SOUR1:PULS:EGDE" || keyword == "SOUR1:PULS:EDGE")
        return setUs(m_edgeUs);
    if (keyword == "SOUR1:PULS:RISE")
        return setUs(m_riseUs);
    if (keyword == "SOUR1:PULS:FALL")
        return setUs(m_fallUs);
    return {};
}

bool GeneratorModel::applyWaveform(const QByteArray &argument, Shape shape)
{
    const QList<QByteArray> fields = argument.split(',');
    if (fields.size() != 3)
        return false;
    const std::optional<double> frequency = SimText::number(fields[0]);
    const std::optional<double> second = SimText::number(fields[1]);
    const std::optional<double> third = SimText::number(fields[2]);
    if (!frequency || !second || !third || *frequency < 0)
        return false;
    m_shape = shape;
    m_frequency = *frequency;
    if (shape == Shape::Sine) {
        m_amplitude = *second;
        m_offset = *third;
    } else {
        m_low = *second;
        m_high = *third;
    }
    return true;
}

double GeneratorModel::periodSeconds() const { return m_frequency > 0 ? 1.0 / m_frequency : 0; }

double GeneratorModel::levelAt(double seconds) const
{
    if (!m_outputOn)
        return 0;
    const double phase = m_frequency > 0 ? std::fmod(seconds * m_frequency, 1.0) : 0;
    switch (m_shape) {
    case Shape::None:
        return 0;
    case Shape::Sine:
        return m_offset + m_amplitude * std::sin(2 * std::numbers::pi * phase);
    case Shape::Pulse:
        return phase < m_duty / 100.0 ? m_high : m_low;
    }
    return 0;
}
