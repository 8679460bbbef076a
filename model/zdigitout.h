#ifndef ZDIGITOUT_H
#define ZDIGITOUT_H

#include "zoutchannel.h"

// A digital output: a constant level, or a PWM wave with a duty ratio in percent.
class ZDigitOut : public ZOutChannel
{
public:
    static constexpr quint8 Modes = OutValue | OutPwm;

    ZDigitOut(ZOutputWriter *writer, int id);
    ~ZDigitOut() override;

    void setOutModeMask(quint8 mask) override;

    bool status() const { return m_status; }
    // While sampling in out mode OutValue also written at once.
    bool setStatus(bool on);

    quint16 dutyRatio() const { return m_dutyRatio; }
    // Clamped into 1..99.
    bool setDutyRatio(quint16 percent);

private:
    bool m_status = false;
    quint16 m_dutyRatio = 50;
};

#endif // ZDIGITOUT_H
