#ifndef ZSAMPLEINTAKE_H
#define ZSAMPLEINTAKE_H

#include "device/zclock.h"
#include "model/zsmartarray.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ZChlMonitor;

// Whether arriving samples are taken: the owner's sampling flag.
using SamplingGate = std::function<bool()>;

// Takes the sample records of one answer frame and appends each to its input channel,
// thinned by the channel's monitor to the channel's own interval. Runs on the
// communication thread. Times are seconds on the sampling clock.
class ZSampleIntake
{
public:
    // `monitors` is the run's monitor list (not owned); `sampling` gates the intake:
    // while it reads false every answer is ignored.
    ZSampleIntake(const std::vector<std::unique_ptr<ZChlMonitor>> &monitors, SamplingGate sampling,
                  const ZClock &clock);

    // Starts the sampling clock: sample times count from here.
    void startClock();

    // Hands over one complete answer frame (header included). Echoes and frames that
    // answer anything but a sample request are ignored.
    void dispatch(const ZByteArray &frame);

    // Milliseconds on the sampling clock since startClock().
    double elapsedMs() const { return m_clock.elapsedMs(); }

    // The number of samples appended since construction.
    quint64 appended() const { return m_appended; }

private:
    static constexpr int KindCount = 3; // analog inputs, digital inputs, edge counters
    static constexpr int ChannelCount = 64;

    ZChlMonitor *monitorFor(int kindIndex, int channel) const;
    void append(ZChlMonitor *monitor, std::int64_t recordValue);

    // The first monitor of each (kind, channel), found once instead of per record.
    std::array<std::array<ZChlMonitor *, ChannelCount>, KindCount> m_lookup {};
    SamplingGate m_sampling;
    ZStopwatch m_clock;
    quint64 m_appended = 0;
};

#endif // ZSAMPLEINTAKE_H
