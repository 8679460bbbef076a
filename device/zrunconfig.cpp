#include "zrunconfig.h"

#include "app/zdevicetypes.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"

QVector<ZByteArray> runConfiguration(const ZRealBox &box)
{
    QVector<ZByteArray> frames;
    frames.append(ZProtocol::probeFrame());

    const ZDeviceType *type = deviceType(box.boxType());
    if (type && type->inputModeCode != 0)
        frames.append(ZProtocol::inputModeFrame(type->inputModeCode));

    for (const ZAnalogIn *channel : box.analogIns())
        frames.append(ZProtocol::analogInFrame(channelOf(channel->id()), channel->range(),
                                               channel->isSelected()));

    frames.append(ZProtocol::rateFrame(runRate(box)));

    for (const ZEdgeCnt *channel : box.edgeCnts())
        frames.append(ZProtocol::edgeCounterFrame(channelOf(channel->id()), channel->isSelected()));

    for (const ZAnalogOut *channel : box.analogOuts()) {
        const int number = channelOf(channel->id());
        if (channel->outMode() == OutValue)
            frames.append(ZProtocol::analogOutValueFrame(number, channel->dacCode()));
        else
            frames.append(
                ZProtocol::analogOutWaveFrame(number, channel->outMode(), channel->interval()));
    }

    for (const ZDigitOut *channel : box.digitOuts()) {
        const int number = channelOf(channel->id());
        if (channel->outMode() == OutValue)
            frames.append(ZProtocol::digitOutValueFrame(number, channel->status() ? 1 : 0));
        else
            frames.append(
                ZProtocol::digitOutPwmFrame(number, channel->interval(), channel->dutyRatio()));
    }
    return frames;
}

unsigned runRate(const ZRealBox &box)
{
    const ZAnalogIn *fastest = nullptr;
    for (const ZAnalogIn *channel : box.analogIns()) {
        if (channel->isSelected() && (!fastest || channel->interval() < fastest->interval()))
            fastest = channel;
    }
    return fastest ? ZProtocol::rateOf(fastest->interval()) : 1;
}
