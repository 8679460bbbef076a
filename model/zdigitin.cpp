#include "zdigitin.h"

ZDigitIn::ZDigitIn(int id)
    : ZInChannel(id)
{ }

ZDigitIn::~ZDigitIn()
{
    detachAll();
}

void ZDigitIn::append(const double *times, const int *raws, int n)
{
    if (!raws)
        return;
    appendSamples(times, n, [this, raws](int i) { m_statuses.push(raws[i] != 0); });
}

void ZDigitIn::clearValues()
{
    m_statuses.clear();
}

std::size_t ZDigitIn::valueBytes() const
{
    return m_statuses.allocatedBytes();
}
