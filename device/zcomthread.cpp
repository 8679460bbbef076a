#include "zcomthread.h"

#include "device/zchlmonitor.h"
#include "device/zprotocol.h"
#include "device/zusbbridge.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace {

constexpr unsigned ReceiveBufferSize = 512;
// Sleep at most this long between looks at the pacing monitor, so a clock that is not
// the steady one (tests, benchmarks) is still followed.
constexpr double MaxIdleSleepMs = 50.0;

} // namespace

ZComThread::ZComThread(ZUsbDevice *device, SamplingGate sampling, const ZClock &clock,
                       QObject *parent)
    : QThread(parent)
    , m_device(device)
    , m_sampling(std::move(sampling))
    , m_clock(clock)
{ }

ZComThread::~ZComThread()
{
    requestStop();
    wait();
    m_fence.afterWait();
}

bool ZComThread::postCommand(const ZByteArray &frame)
{
    return m_queue.push(frame);
}

void ZComThread::setMonitors(const std::vector<std::unique_ptr<ZChlMonitor>> *monitors,
                             std::unique_ptr<ZChlMonitor> pacing)
{
    assert((nullptr == m_monitors) && (nullptr != monitors));
    assert((nullptr == m_monitor) && (nullptr != pacing));
    m_monitors = monitors;
    m_monitor = std::move(pacing);
    m_intake = std::make_unique<ZSampleIntake>(*m_monitors, m_sampling, m_clock);
    start();
}

void ZComThread::requestStop()
{
    m_stop.store(true, std::memory_order_release);
    if (m_device)
        m_device->interrupt();
    m_queue.wake();
}

void ZComThread::run()
{
    const ZThreadFenceGuard finished(m_fence);
    if (!m_device || !m_intake)
        return;
    const ZByteArray sampleRequest = ZProtocol::sampleRequestFrame();
    m_intake->startClock();
    ZByteArray frame(sampleRequest.maxSize());
    while (!stopRequested() && !m_lost) {
        if (msUntilNoAnswerLimit() <= 0.0) {
            m_lost = true;
            emit boxLost(m_unansweredSinceMs / 1000.0, false);
            break;
        }
        if (!nextFrame(&frame, sampleRequest))
            continue;
        send(frame, AnswerTimeoutMs, true);
    }
    if (m_deviceGone)
        return;
    // The last word of every run: the box stops sampling. The stop that ended the loop
    // must not end this wait as well. A late answer to an earlier request is not its
    // echo: left in the bridge, the echo would pass for the next run's first answer.
    m_device->clearInterrupt();
    send(ZProtocol::probeFrame(), FinalAnswerTimeoutMs, false, Awaited::EchoOnly);
}

// The next frame to send: queued frames by priority, with a sample request added each
// time the pacing monitor is due. False (after sleeping) when there is nothing to send.
bool ZComThread::nextFrame(ZByteArray *frame, const ZByteArray &sampleRequest)
{
    if (m_queue.size() < MaxQueuedFrames && m_monitor->due())
        m_queue.push(sampleRequest);
    if (m_queue.pop(frame))
        return true;
    m_queue.waitForWork(std::min(m_monitor->msUntilDue(), MaxIdleSleepMs));
    return false;
}

// Writes a frame and waits for its answer. A frame whose write fails is dropped.
bool ZComThread::send(const ZByteArray &frame, int answerTimeoutMs, bool stopEndsWait,
                      Awaited awaited)
{
    noteRequest();
    unsigned written = 0;
    const int status = m_device->write(frame.data(), frame.length(), &written);
    if (status != UsbOk) {
        noteGone(status);
        return false;
    }
    return receive(frame, answerTimeoutMs, stopEndsWait, awaited);
}

// Reads and assembles until one frame completes (with EchoOnly: the echo of `command`)
// or the limit passes. Every completed frame is dispatched; bytes behind it start the
// next frame. Any frame shows that the box still answers.
bool ZComThread::receive(const ZByteArray &command, int limitMs, bool stopEndsWait, Awaited awaited)
{
    unsigned char buffer[ReceiveBufferSize];
    bool done = false;
    const ZStopwatch waited;
    // The final 0x03 gets its whole limit, however long the box has been quiet.
    const bool watchSilence = awaited == Awaited::AnyFrame;
    while (!done) {
        const double left = std::min(limitMs - waited.elapsedMs(),
                                     watchSilence ? msUntilNoAnswerLimit() : limitMs);
        if (left <= 0.0 || (stopEndsWait && stopRequested()))
            break;
        unsigned waiting = 0;
        const int status = m_device->waitForBytes(int(std::ceil(left)), &waiting);
        if (status == UsbInterrupted) {
            if (stopEndsWait)
                break;
            m_device->clearInterrupt();
            continue;
        }
        if (status != UsbOk) {
            noteGone(status);
            break;
        }
        if (waiting == 0)
            continue;
        unsigned got = 0;
        const int readStatus = m_device->read(buffer, std::min(waiting, ReceiveBufferSize), &got);
        if (readStatus != UsbOk) {
            noteGone(readStatus);
            break;
        }
        m_assembler.feedAll(buffer, got, [&](const ZByteArray &answer) {
            m_unansweredSinceMs = -1.0;
            if (awaited == Awaited::AnyFrame || ZProtocol::isEchoOf(answer, command))
                done = true;
            if (answer.length() > ZProtocol::AnswerHeaderLength
                && (answer[ZProtocol::AnswerHeaderLength] & 7) == 0) {
                m_intake->dispatch(answer);
            }
        });
    }
    m_appended.store(m_intake->appended(), std::memory_order_relaxed);
    return done;
}

// A request goes out: unless an earlier one is still unanswered, the no-answer limit
// counts from here.
void ZComThread::noteRequest()
{
    if (m_unansweredSinceMs < 0.0)
        m_unansweredSinceMs = m_intake->elapsedMs();
}

// A failed bridge operation; when it says the device is gone, the run is over at once.
void ZComThread::noteGone(int status)
{
    if (!isGoneStatus(status) || m_lost)
        return;
    m_lost = true;
    m_deviceGone = true;
    emit boxLost(std::max(m_unansweredSinceMs, 0.0) / 1000.0, true);
}

double ZComThread::msUntilNoAnswerLimit() const
{
    if (m_unansweredSinceMs < 0.0)
        return std::numeric_limits<double>::infinity();
    return m_unansweredSinceMs + m_noAnswerLimitMs - m_intake->elapsedMs();
}
