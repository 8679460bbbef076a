#include "zsampleintake.h"

#include "device/zchlmonitor.h"
#include "device/zsamplerecord.h"
#include "model/zglobal.h"
#include "model/zinchannel.h"

namespace {

// Record kinds in the order of the component kinds 0, 1 and 2.
int kindIndexOf(ZRecordKind kind)
{
    switch (kind) {
    case ZRecordKind::AnalogIn:
        return AnalogInKind;
    case ZRecordKind::DigitIn:
        return DigitInKind;
    case ZRecordKind::EdgeCnt:
        return EdgeCntKind;
    }
    return -1;
}

} // namespace

ZSampleIntake::ZSampleIntake(const std::vector<std::unique_ptr<ZChlMonitor>> &monitors,
                             SamplingGate sampling, const ZClock &clock)
    : m_sampling(std::move(sampling))
    , m_clock(clock)
{
    for (const auto &monitor : monitors) {
        const int id = monitor->channel()->id();
        const int kind = id >> 8;
        if (kind < 0 || kind >= KindCount)
            continue;
        ZChlMonitor *&slot = m_lookup[kind][channelOf(id)];
        if (!slot)
            slot = monitor.get();
    }
}

void ZSampleIntake::startClock()
{
    m_clock.restart();
}

ZChlMonitor *ZSampleIntake::monitorFor(int kindIndex, int channel) const
{
    if (kindIndex < 0 || channel < 0 || channel >= ChannelCount)
        return nullptr;
    return m_lookup[kindIndex][channel];
}

void ZSampleIntake::dispatch(const ZByteArray &frame)
{
    if (!m_sampling())
        return;
    ZSampleRecordReader reader(frame);
    if (!reader.isSampleAnswer())
        return;
    ZSampleRecord record;
    while (reader.next(&record)) {
        const int kindIndex = kindIndexOf(record.kind);
        ZChlMonitor *monitor = monitorFor(kindIndex, record.channel);
        if (!monitor)
            return; // a channel the run did not ask for: the rest of the frame is ignored
        if (kindIndex == DigitInKind && !monitor->channel()->isSelected())
            continue;
        if (monitor->due())
            append(monitor, record.value);
    }
}

void ZSampleIntake::append(ZChlMonitor *monitor, std::int64_t recordValue)
{
    // Channels take raw values as 32-bit integers; counts above 2^31 wrap here and come
    // back unsigned in the counter's series.
    const int value = static_cast<int>(static_cast<std::uint32_t>(recordValue));
    const double time = m_clock.elapsedMs() / 1000.0;
    monitor->channel()->append(&time, &value, 1);
    ++m_appended;
}
