#include "zclock.h"

const ZClock &ZClock::steady()
{
    static const ZSteadyClock clock;
    return clock;
}
