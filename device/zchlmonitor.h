#ifndef ZCHLMONITOR_H
#define ZCHLMONITOR_H

#include "device/zclock.h"

class ZInChannel;

// Paces one input channel at its own interval: due() says whether the channel takes the
// sample at hand. Lateness is carried into the next interval, so the average rate equals
// the channel's rate even when single samples come late.
class ZChlMonitor
{
public:
    explicit ZChlMonitor(ZInChannel *channel, const ZClock &clock = ZClock::steady());

    ZInChannel *channel() const { return m_channel; }
    double carry() const { return m_carry; }

    bool due();

    // Milliseconds until due() will next be true; 0 when it is due now.
    double msUntilDue() const;

private:
    ZInChannel *m_channel;
    ZStopwatch m_clock;
    double m_carry = 0.0;
};

#endif // ZCHLMONITOR_H
