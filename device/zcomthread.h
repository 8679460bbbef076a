#ifndef ZCOMTHREAD_H
#define ZCOMTHREAD_H

#include "device/zanswerassembler.h"
#include "device/zclock.h"
#include "device/zcommandqueue.h"
#include "device/zsampleintake.h"
#include "device/zthreadfence.h"

#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

class ZChlMonitor;
class ZUsbDevice;

// All traffic with the box during a run: sends queued frames by priority, asks for
// samples at the pace of the fastest monitored channel, assembles the answers and hands
// each sample to its channel. Never spins: between requests it sleeps until the pacing
// monitor is due or a command is posted, and every wait for answer bytes is a wait on
// the bridge that a stop request interrupts.
class ZComThread : public QThread
{
    Q_OBJECT

public:
    // Frames queued beyond this count stop further sample requests.
    static constexpr std::size_t MaxQueuedFrames = 20;
    static constexpr int AnswerTimeoutMs = 5000;
    static constexpr int FinalAnswerTimeoutMs = 1000;
    // A box that has answered nothing for this long while requests went out is taken
    // for gone.
    static constexpr int NoAnswerLimitMs = 3000;

    // `device` is the open bridge of the link (not owned). `sampling` gates the intake:
    // the owner's sampling flag.
    ZComThread(ZUsbDevice *device, SamplingGate sampling, const ZClock &clock = ZClock::steady(),
               QObject *parent = nullptr);
    // Stops the loop, which sends a final 0x03, and waits for it.
    ~ZComThread() override;

    // Queues a complete command frame; safe from any thread.
    bool postCommand(const ZByteArray &frame);

    // Hands over the run's monitors (not owned) and the pacing monitor, then starts the
    // thread. Called once.
    void setMonitors(const std::vector<std::unique_ptr<ZChlMonitor>> *monitors,
                     std::unique_ptr<ZChlMonitor> pacing);

    // Asks the loop to end after the frame in progress; waits in progress end at once.
    void requestStop();

    // Shortens or lengthens the no-answer limit; call before setMonitors().
    void setNoAnswerLimitMs(int limitMs) { m_noAnswerLimitMs = limitMs; }

    // Samples appended so far (for progress displays and tests).
    quint64 appendedSamples() const { return m_appended.load(std::memory_order_relaxed); }

signals:
    // The box is gone: the bridge reports the device gone (`deviceGone`), or nothing has
    // been answered for the no-answer limit while requests went out. `atSeconds` is the
    // sample time of the first request left unanswered. Emitted once, on this thread; the
    // loop then ends (without the final 0x03 when the device is gone).
    void boxLost(double atSeconds, bool deviceGone);

protected:
    void run() override;

private:
    // What receive() waits for: any frame, or only the echo of a given command.
    enum class Awaited { AnyFrame, EchoOnly };

    bool nextFrame(ZByteArray *frame, const ZByteArray &sampleRequest);
    bool send(const ZByteArray &frame, int answerTimeoutMs, bool stopEndsWait,
              Awaited awaited = Awaited::AnyFrame);
    bool receive(const ZByteArray &command, int limitMs, bool stopEndsWait, Awaited awaited);
    void noteRequest();
    void noteGone(int status);
    double msUntilNoAnswerLimit() const;
    bool stopRequested() const { return m_stop.load(std::memory_order_acquire); }

    ZUsbDevice *m_device;
    SamplingGate m_sampling;
    const ZClock &m_clock;
    ZCommandQueue m_queue;
    ZAnswerAssembler m_assembler;
    const std::vector<std::unique_ptr<ZChlMonitor>> *m_monitors = nullptr;
    std::unique_ptr<ZChlMonitor> m_monitor;
    std::unique_ptr<ZSampleIntake> m_intake;
    std::atomic<bool> m_stop { false };
    std::atomic<quint64> m_appended { 0 };
    int m_noAnswerLimitMs = NoAnswerLimitMs;
    double m_unansweredSinceMs = -1.0; // sampling clock; < 0 while nothing is unanswered
    bool m_lost = false;
    bool m_deviceGone = false;
    ZThreadFence m_fence;
};

#endif // ZCOMTHREAD_H
