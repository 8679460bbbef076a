#include "zrealbox.h"

#include "app/zdevicetypes.h"

ZRealBox::ZRealBox(ZOutputWriter *owner, int boxType)
    : ZBox(boxType, RealBoxId)
    , m_owner(owner)
{
    createChannels();
}

ZRealBox::~ZRealBox()
{
    m_analogOuts.deleteAll();
    m_digitOuts.deleteAll();
    detachAll();
}

void ZRealBox::setSampling(bool on)
{
    if (on == isSampling())
        return;
    for (ZAnalogOut *channel : analogOuts())
        channel->setSampling(on);
    for (ZDigitOut *channel : digitOuts())
        channel->setSampling(on);
    ZBox::setSampling(on);
}

void ZRealBox::createChannels()
{
    const ZDeviceType *type = deviceType(boxType());
    if (!type)
        return;

    for (int i = 0; i < type->analogIns; ++i) {
        auto channel = std::make_unique<ZAnalogIn>(componentId(AnalogInKind, i));
        if (type->rangeMask != 0)
            channel->setRangeMask(type->rangeMask);
        channel->setMinInterval(type->minAnalogInInterval);
        addAnalogIn(std::move(channel));
    }
    for (int i = 0; i < type->digitIns; ++i) {
        auto channel = std::make_unique<ZDigitIn>(componentId(DigitInKind, i));
        channel->setMinInterval(type->minDigitInInterval);
        addDigitIn(std::move(channel));
    }
    for (int i = 0; i < type->edgeCnts; ++i) {
        auto channel = std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, i));
        channel->setMinInterval(type->minDigitInInterval);
        addEdgeCnt(std::move(channel));
    }
    for (int i = 0; i < type->analogOuts; ++i) {
        auto channel = std::make_unique<ZAnalogOut>(m_owner, componentId(AnalogOutKind, i));
        if (type->analogOutMaxVoltage > 0.0)
            channel->setMaxVoltage(type->analogOutMaxVoltage);
        m_analogOuts.add(std::move(channel));
    }
    for (int i = 0; i < type->digitOuts; ++i) {
        auto channel = std::make_unique<ZDigitOut>(m_owner, componentId(DigitOutKind, i));
        ZDigitOutLimits limits;
        if (type->digitOutValueOnly) {
            channel->setOutModeMask(OutValue);
        } else if (digitOutLimits(boxType(), i, &limits)) {
            // The maximum first: limits B lie wholly below the default minimum.
            channel->setMaxInterval(limits.maxInterval);
            channel->setMinInterval(limits.minInterval);
        }
        m_digitOuts.add(std::move(channel));
    }
}
