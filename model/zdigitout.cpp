#include "zdigitout.h"

#include "zoutputwriter.h"

#include <algorithm>

ZDigitOut::ZDigitOut(ZOutputWriter *writer, int id)
    : ZOutChannel(writer, Modes, OutValue, id)
{ }

ZDigitOut::~ZDigitOut()
{
    detachAll();
}

void ZDigitOut::setOutModeMask(quint8 mask)
{
    ZOutChannel::setOutModeMask(mask);
    if (outMode() & mask)
        return;
    setOutMode((mask & OutValue) ? OutValue : OutPwm);
}

bool ZDigitOut::setStatus(bool on)
{
    if (on == m_status)
        return false;
    m_status = on;
    if (writesImmediately())
        writer()->sendDigitOut(channelOf(id()), quint8(on ? 1 : 0));
    notify(OutValueChanged);
    return true;
}

bool ZDigitOut::setDutyRatio(quint16 percent)
{
    const quint16 ratio = std::clamp<quint16>(percent, 1, 99);
    if (ratio == m_dutyRatio)
        return false;
    m_dutyRatio = ratio;
    notify(DutyRatioChanged);
    return true;
}
