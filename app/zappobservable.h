#ifndef ZAPPOBSERVABLE_H
#define ZAPPOBSERVABLE_H

#include "device/zedgedetector.h"
#include "device/zthreadfence.h"
#include "model/zobservable.h"
#include "model/zoutputwriter.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class ZBox;
class ZStopwatch;
class ZChlMonitor;
class ZComThread;
class ZRealBox;
class ZUsbBridge;
class ZUsbLink;

// Start and stop triggers.
enum ZTrigger : int {
    TriggerManual = 0,
    TriggerRising = 1,
    TriggerFalling = 2,
    TriggerTimeOut = 3
};

// The model root: the chosen box type and its device box, the playback boxes, the
// triggers and the duration, the USB link and, during a run, the communication thread.
// Its own thread (the trigger thread) polls digital input 0 for the start trigger and
// then watches the duration.
//
// States: idle (not sampling), armed (sampling flag set, start trigger not yet fired)
// and sampling (trigger fired, communication thread running).
class ZAppObservable : public QThread, public ZObservable<ZAppObservable>, public ZOutputWriter
{
    Q_OBJECT

public:
    // Opens the bridge for a box type: the libftdi backend or the simulated box.
    using BridgeFactory = std::function<std::unique_ptr<ZUsbBridge>(int boxType)>;

    static constexpr int HandshakeTimeoutMs = 1000;
    static constexpr int PollTimeoutMs = 5000;
    // Pause after a start-edge poll that failed (no answer, write refused, cable pulled).
    static constexpr int FailedPollPauseMs = 20;
    // A box that answers nothing for this long during a run is taken for gone.
    static constexpr int DefaultNoAnswerLimitMs = 3000;

    explicit ZAppObservable(BridgeFactory bridgeFactory, QObject *parent = nullptr);
    ~ZAppObservable() override;

    static QString boxTypeName(int boxType);

    int boxType() const { return m_boxType; }
    ZRealBox *activeBox() const { return m_activeBox; }
    const std::vector<ZBox *> &boxes() const { return m_boxes; }
    int startTrigger() const { return m_startTrigger.load(); }
    int stopTrigger() const { return m_stopTrigger.load(); }
    double duration() const { return m_duration.load(); }

    void setBoxType(int boxType);
    bool addBox(ZBox *box);
    bool removeBox(ZBox *box);
    bool setStartTrigger(int trigger);
    bool setStopTrigger(int trigger);
    bool setDuration(double seconds);

    bool hasSamples() const;

    // Opens the link if needed, shakes hands, reads the calibration when due and arms
    // the run. False when there is no box, a run is active or the box does not answer.
    bool connectBox();
    // Why the last connectBox() could not reach the box, as a full sentence ("A box was
    // found, but this user may not open it: ..."); empty when it succeeded or failed for
    // another reason (no box, a run active).
    QString connectFailureReason() const { return m_connectFailureReason; }
    // The Stop command: true when a run was active.
    bool requestStop();

    // File work reading the device box's series on another thread holds sampling back:
    // a start trigger that fires meanwhile begins sampling (which clears the series) only
    // once the last hold is released. Holds nest; the box type must not change while one
    // is held.
    void holdSampling();
    void releaseSampling();
    bool isSamplingHeld() const { return m_samplingHolds > 0; }

    // Immediate output writes during a run (out mode 1 only; the channels decide).
    bool sendAnalogOut(int channel, quint16 code) override;
    bool sendDigitOut(int channel, quint8 status) override;

    // The last run ended because the box was gone (announced as BoxLost); cleared when
    // the next run is armed. The time is seconds on the run's sample clock.
    bool boxLost() const { return m_boxLostAtSeconds >= 0.0; }
    double boxLostAtSeconds() const { return m_boxLostAtSeconds; }
    // "The box stopped answering at 12.3 s; the samples up to then are kept."; empty
    // unless boxLost().
    QString boxLostMessage() const;
    // How long a box may stay silent during a run before the run ends; tests lower it.
    void setNoAnswerLimitMs(int limitMs) { m_noAnswerLimitMs = limitMs; }

    // The link of the last start, for diagnostics and tests; none before the first.
    ZUsbLink *link() const { return m_link.get(); }
    bool isCommunicating() const { return m_comThread != nullptr; }

signals:
    void startSample();
    void stopSample();

public slots:
    bool onStartSample();
    bool onStopSample();

protected:
    void run() override;

private slots:
    // Queued from the thread that found the box gone; `run` tells a late report of an
    // earlier run from the current one.
    void onBoxLost(int run, double atSeconds);

private:
    bool openLink();
    void readCalibrations();
    bool finishSample();
    void stopTriggerThread();
    void deleteLink();
    enum class PollResult { Failed, NoEdge, Edge };
    PollResult pollStartTrigger();
    bool pauseAfterFailedPoll();
    bool watchDuration(const ZStopwatch &runClock);
    void wakeTriggerThread();
    void queueRunConfiguration();
    bool buildMonitors();
    bool stopRequested() const { return m_stop.load(std::memory_order_acquire); }

    BridgeFactory m_bridgeFactory;
    int m_boxType = 0;
    ZRealBox *m_activeBox = nullptr;
    std::vector<ZBox *> m_boxes;
    std::atomic<int> m_startTrigger { TriggerManual };
    std::atomic<int> m_stopTrigger { TriggerManual };
    std::atomic<double> m_duration { 60.0 };
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_started { false };
    ZEdgeDetector m_risingDetector { true };
    ZEdgeDetector m_fallingDetector { false };
    std::unique_ptr<ZUsbLink> m_link;
    std::unique_ptr<ZComThread> m_comThread;
    std::vector<std::unique_ptr<ZChlMonitor>> m_monitors;
    bool m_readCoefs = true;
    int m_noAnswerLimitMs = DefaultNoAnswerLimitMs;
    double m_boxLostAtSeconds = -1.0;
    QString m_connectFailureReason;
    int m_runSerial = 0; // counts runs
    int m_samplingHolds = 0;
    bool m_startDeferred = false;
    // Wakes the trigger thread from its sleeps when a stop is requested.
    std::mutex m_sleepMutex;
    std::condition_variable m_sleepWake;
    ZThreadFence m_fence;
};

#endif // ZAPPOBSERVABLE_H
