#include "zchlmonitor.h"

#include "model/zinchannel.h"

#include <algorithm>

ZChlMonitor::ZChlMonitor(ZInChannel *channel, const ZClock &clock)
    : m_channel(channel)
    , m_clock(clock)
{ }

bool ZChlMonitor::due()
{
    const double interval = m_channel->interval();
    if (m_carry + m_clock.elapsedMs() < interval)
        return false;
    m_carry += m_clock.elapsedMs() - interval;
    m_clock.restart();
    return true;
}

double ZChlMonitor::msUntilDue() const
{
    return std::max(0.0, m_channel->interval() - (m_carry + m_clock.elapsedMs()));
}
