#pragma once

#include "SimTypes.h"

#include <QByteArray>

// The function generator's channel 1: a sine or a pulse whose output level (in volts; 10 is the
// load's full scale) drives the load's external input.
class GeneratorModel
{
public:
    enum class Shape { None, Sine, Pulse };

    explicit GeneratorModel(QByteArray identity);

    // The reply to a line (nothing for a setting), or that the line is unknown.
    SimReply handle(const QByteArray &keyword, const QByteArray &argument);

    // The output level at a simulated time (seconds); 0 while the output is off.
    double levelAt(double seconds) const;
    // The repetition period of the output in seconds; 0 when it does not repeat.
    double periodSeconds() const;

    bool outputOn() const { return m_outputOn; }
    Shape shape() const { return m_shape; }
    double frequency() const { return m_frequency; }
    double amplitude() const { return m_amplitude; }
    double offset() const { return m_offset; }
    double low() const { return m_low; }
    double high() const { return m_high; }
    double widthUs() const { return m_widthUs; }
    double dutyPercent() const { return m_duty; }
    double edgeUs() const { return m_edgeUs; }
    double riseUs() const { return m_riseUs; }
    double fallUs() const { return m_fallUs; }

private:
    bool applyWaveform(const QByteArray &argument, Shape shape);

    QByteArray m_identity;
    bool m_remote = false;
    bool m_outputOn = false;
    Shape m_shape = Shape::None;
    double m_frequency = 0;
    double m_amplitude = 0;
    double m_offset = 0;
    double m_low = 0;
    double m_high = 0;
    double m_widthUs = 0;
    double m_duty = 50;
    double m_edgeUs = 0;
    double m_riseUs = 0;
    double m_fallUs = 0;
};
