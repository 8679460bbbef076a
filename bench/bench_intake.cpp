// Intake throughput: sample records per second through the answer assembler, the
// dispatch and the appends, for full answer frames of the largest box (UX-109: 14
// analog inputs, 5 digital inputs, 2 edge counters), on a manual clock that makes every
// record due.

#include "device/zanswerassembler.h"
#include "device/zchlmonitor.h"
#include "device/zclock.h"
#include "device/zrealbox.h"
#include "device/zsampleintake.h"

#include <QElapsedTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int BoxType = 10;
constexpr int Frames = 200000;

// One answer frame holding a record for every input of the box.
std::vector<unsigned char> fullAnswer(const ZRealBox &box)
{
    std::vector<unsigned char> payload { 0x20 };
    for (std::size_t i = 0; i < box.analogIns().size(); ++i)
        payload.insert(payload.end(), { static_cast<unsigned char>(i), 0x12, 0x34, 0x56 });
    for (std::size_t i = 0; i < box.digitIns().size(); ++i)
        payload.insert(payload.end(), { static_cast<unsigned char>(0x40 | i), 1 });
    for (std::size_t i = 0; i < box.edgeCnts().size(); ++i)
        payload.insert(payload.end(), { static_cast<unsigned char>(0x80 | i), 0, 0, 1, 0 });
    std::vector<unsigned char> frame { 0xAA, 0, 0, static_cast<unsigned char>(payload.size()) };
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

std::vector<ZInChannel *> inputsOf(const ZRealBox &box)
{
    std::vector<ZInChannel *> inputs(box.analogIns().begin(), box.analogIns().end());
    inputs.insert(inputs.end(), box.edgeCnts().begin(), box.edgeCnts().end());
    inputs.insert(inputs.end(), box.digitIns().begin(), box.digitIns().end());
    return inputs;
}

} // namespace

int main()
{
    ZRealBox box(nullptr, BoxType);
    ZManualClock clock;
    std::vector<std::unique_ptr<ZChlMonitor>> monitors;
    for (ZInChannel *channel : inputsOf(box)) {
        channel->setSelected(true);
        channel->setInterval(channel->minInterval());
        monitors.push_back(std::make_unique<ZChlMonitor>(channel, clock));
    }
    box.setSampling(true);
    ZSampleIntake intake(
        monitors, [] { return true; }, clock);
    ZAnswerAssembler assembler;
    const std::vector<unsigned char> answer = fullAnswer(box);
    const double millisecondPerFrame = 1.0; // the fastest interval: every record due

    QElapsedTimer timer;
    timer.start();
    for (int frame = 0; frame < Frames; ++frame) {
        clock.advanceMs(millisecondPerFrame);
        assembler.feedAll(answer.data(), unsigned(answer.size()),
                          [&intake](const ZByteArray &complete) { intake.dispatch(complete); });
    }
    const double seconds = timer.nsecsElapsed() / 1e9;

    const double records = double(intake.appended());
    const double perSecond = records / seconds;
    const double target = 100.0 * 21 * 1000;
    std::printf("intake: %d frames of %zu bytes, %.0f records in %.3f s\n", Frames, answer.size(),
                records, seconds);
    std::printf("intake: %.2f million records per second (target %.1f million: %s)\n",
                perSecond / 1e6, target / 1e6, perSecond >= target ? "met" : "MISSED");
    return records == double(Frames) * inputsOf(box).size() ? 0 : 1;
}
