#include "zoutchannel.h"

#include <QCoreApplication>

ZOutChannel::ZOutChannel(ZOutputWriter *writer, quint8 outModeMask, int outMode, int id)
    : ZComponent(1000000.0, 1000.0, MaxPeriod, id)
    , m_writer(writer)
    , m_outModeMask(outModeMask)
    , m_outMode(outMode)
{ }

ZOutChannel::~ZOutChannel() = default;

void ZOutChannel::setOutModeMask(quint8 mask)
{
    m_outModeMask = mask;
}

bool ZOutChannel::setOutMode(int mode)
{
    // A combination of bits is no mode the device knows.
    const bool singleBit = mode > 0 && (mode & (mode - 1)) == 0;
    if (mode == m_outMode || !singleBit || !(mode & m_outModeMask))
        return false;
    m_outMode = mode;
    notify(OutModeChanged);
    return true;
}

double ZOutChannel::intervalRate(double value) const
{
    return 1000000.0 / value;
}

QString ZOutChannel::rateName() const
{
    return QCoreApplication::translate("ZOutChannel", "Frequency");
}

QString ZOutChannel::rateUnit() const
{
    return QCoreApplication::translate("ZOutChannel", "Hz");
}
