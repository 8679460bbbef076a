#ifndef ZANALOGOUT_H
#define ZANALOGOUT_H

#include "zoutchannel.h"

// An analog output: a constant voltage, or a sine, triangle or sawtooth wave of the
// device's own amplitude.
class ZAnalogOut : public ZOutChannel
{
public:
    static constexpr double VoltageTolerance = 1e-9;
    static constexpr quint8 Modes = OutValue | OutSine | OutTriangle | OutSawtooth;

    ZAnalogOut(ZOutputWriter *writer, int id);
    ~ZAnalogOut() override;

    void setOutModeMask(quint8 mask) override;

    double voltage() const { return m_voltage; }
    // Clamped into the limits; while sampling in out mode OutValue also written at once.
    bool setVoltage(double volts);
    double minVoltage() const { return m_minVoltage; }
    double maxVoltage() const { return m_maxVoltage; }
    // Limits that are not finite or would cross are refused.
    bool setMinVoltage(double volts);
    bool setMaxVoltage(double volts);

    // The converter code of the voltage, 0..65535.
    int dacCode() const;

private:
    double m_voltage = 0.0;
    double m_minVoltage = 0.0;
    double m_maxVoltage = 2.5;
};

#endif // ZANALOGOUT_H
