#include "zanalogout.h"

#include "zoutputwriter.h"

#include <algorithm>
#include <cmath>

ZAnalogOut::ZAnalogOut(ZOutputWriter *writer, int id)
    : ZOutChannel(writer, Modes, OutValue, id)
{ }

ZAnalogOut::~ZAnalogOut()
{
    detachAll();
}

void ZAnalogOut::setOutModeMask(quint8 mask)
{
    ZOutChannel::setOutModeMask(mask);
    if (outMode() & mask)
        return;
    for (const int mode : { OutValue, OutSine, OutTriangle }) {
        if (mask & mode) {
            setOutMode(mode);
            return;
        }
    }
    setOutMode(OutSawtooth);
}

bool ZAnalogOut::setVoltage(double volts)
{
    if (std::isnan(volts) || std::abs(m_voltage - volts) <= VoltageTolerance)
        return false;
    m_voltage = std::clamp(volts, m_minVoltage, m_maxVoltage);
    if (writesImmediately())
        writer()->sendAnalogOut(channelOf(id()), quint16(dacCode()));
    notify(OutValueChanged);
    return true;
}

bool ZAnalogOut::setMinVoltage(double volts)
{
    if (!std::isfinite(volts) || std::abs(m_minVoltage - volts) <= VoltageTolerance
        || volts > m_maxVoltage)
        return false;
    m_minVoltage = volts;
    if (volts - m_voltage > VoltageTolerance)
        setVoltage(volts);
    return true;
}

bool ZAnalogOut::setMaxVoltage(double volts)
{
    if (!std::isfinite(volts) || std::abs(m_maxVoltage - volts) <= VoltageTolerance
        || volts < m_minVoltage)
        return false;
    m_maxVoltage = volts;
    if (m_voltage - volts > VoltageTolerance)
        setVoltage(volts);
    return true;
}

int ZAnalogOut::dacCode() const
{
    // The voltage itself is scaled, not its distance from the minimum (which is 0 on
    // every box). Limits that meet, or a negative minimum, must still give a valid code.
    const double span = m_maxVoltage - m_minVoltage;
    if (!(span > 0.0))
        return 0;
    const double code = 65535.0 * m_voltage / span;
    return int(std::clamp(code, 0.0, 65535.0));
}
