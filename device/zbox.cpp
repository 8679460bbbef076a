#include "zbox.h"

ZBox::ZBox(int boxType, int id)
    : ZObservable<ZBox>(id)
    , m_boxType(boxType)
{ }

ZBox::~ZBox()
{
    m_analogIns.deleteAll();
    m_digitIns.deleteAll();
    m_edgeCnts.deleteAll();
}

bool ZBox::addAnalogIn(std::unique_ptr<ZAnalogIn> channel)
{
    return m_analogIns.add(std::move(channel));
}

bool ZBox::addDigitIn(std::unique_ptr<ZDigitIn> channel)
{
    return m_digitIns.add(std::move(channel));
}

bool ZBox::addEdgeCnt(std::unique_ptr<ZEdgeCnt> channel)
{
    return m_edgeCnts.add(std::move(channel));
}

bool ZBox::hasSamples() const
{
    const auto anySamples = [](const auto &channels) {
        for (const ZInChannel *channel : channels) {
            if (channel->sampleCount() > 0)
                return true;
        }
        return false;
    };
    return anySamples(analogIns()) || anySamples(digitIns()) || anySamples(edgeCnts());
}

void ZBox::setSampling(bool on)
{
    if (on == isSampling())
        return;
    for (ZAnalogIn *channel : analogIns())
        channel->setSampling(on);
    for (ZDigitIn *channel : digitIns())
        channel->setSampling(on);
    for (ZEdgeCnt *channel : edgeCnts())
        channel->setSampling(on);
    if (on != isSampling()) {
        storeSampling(on);
        notify(SamplingChanged);
    }
}

bool ZBox::startSampling()
{
    setSampling(true);
    return true;
}

bool ZBox::stopSampling()
{
    setSampling(false);
    return true;
}
