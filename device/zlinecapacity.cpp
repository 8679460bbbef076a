#include "zlinecapacity.h"

#include "app/zdevicetypes.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"

namespace {

constexpr double BitsPerByte = 10.0;
constexpr unsigned AnalogRecordBytes = 4; // descriptor and a 24-bit code
constexpr unsigned DigitalRecordBytes = 2; // descriptor and a level byte
constexpr unsigned CounterRecordBytes = 5; // descriptor and a 32-bit count

// The shortest interval, in milliseconds, among the selected inputs; that of digital
// input 0 when none is selected (it paces the run then); 0 without any input.
double pacingIntervalMs(const ZRealBox &box)
{
    double fastest = 0.0;
    const auto consider = [&fastest](const auto &channels) {
        for (const ZInChannel *channel : channels)
            if (channel->isSelected() && (fastest <= 0.0 || channel->interval() < fastest))
                fastest = channel->interval();
    };
    consider(box.analogIns());
    consider(box.edgeCnts());
    consider(box.digitIns());
    if (fastest <= 0.0 && !box.digitIns().empty())
        fastest = box.digitIns().front()->interval();
    return fastest;
}

} // namespace

double lineCapacityBytesPerSecond(int boxType)
{
    if (!deviceType(boxType))
        return 0.0;
    return baudRateOf(boxType) / BitsPerByte;
}

unsigned sampleRequestBytes()
{
    return ZProtocol::sampleRequestFrame().length();
}

unsigned sampleAnswerBytes(const ZRealBox &box)
{
    unsigned bytes = ZProtocol::AnswerHeaderLength + 1;
    for (const ZAnalogIn *channel : box.analogIns())
        if (channel->isSelected())
            bytes += AnalogRecordBytes;
    bytes += unsigned(box.digitIns().size()) * DigitalRecordBytes;
    for (const ZEdgeCnt *channel : box.edgeCnts())
        if (channel->isSelected())
            bytes += CounterRecordBytes;
    return bytes;
}

ZLineLoad lineLoad(const ZRealBox &box)
{
    ZLineLoad load;
    load.capacityBytesPerSecond = lineCapacityBytesPerSecond(box.boxType());
    load.bytesPerRecord = sampleRequestBytes() + sampleAnswerBytes(box);
    const double intervalMs = pacingIntervalMs(box);
    load.requestsPerSecond = intervalMs > 0.0 ? 1000.0 / intervalMs : 0.0;
    load.demandBytesPerSecond = load.requestsPerSecond * load.bytesPerRecord;
    load.reachableRecordsPerSecond = load.capacityBytesPerSecond / load.bytesPerRecord;
    return load;
}
