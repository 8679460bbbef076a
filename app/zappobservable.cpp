#include "zappobservable.h"

#include "app/zdevicetypes.h"
#include "device/zchlmonitor.h"
#include "device/zclock.h"
#include "device/zcomthread.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zrunconfig.h"
#include "device/zstopmonitor.h"
#include "device/zusbbridge.h"
#include "device/zusblink.h"
#include "model/zglobal.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>

namespace {

// Milliseconds the duration is compared in: changes below a microsecond are no change.
constexpr double DurationTolerance = 1e-9;

// The longest single sleep of the trigger thread. A duration of centuries, or infinity,
// would overflow the steady clock's nanoseconds when added to now, and a wait to such a
// deadline returns at once; sleeping in slices of an hour keeps every deadline in range.
constexpr double LongestSleepMs = 3600.0 * 1000.0;

bool isTrigger(int trigger, int last)
{
    return trigger >= TriggerManual && trigger <= last;
}

} // namespace

ZAppObservable::ZAppObservable(BridgeFactory bridgeFactory, QObject *parent)
    : QThread(parent)
    , ZObservable<ZAppObservable>(AppObservableId)
    , m_bridgeFactory(std::move(bridgeFactory))
{
    connect(this, &ZAppObservable::startSample, this, &ZAppObservable::onStartSample);
    connect(this, &ZAppObservable::stopSample, this, &ZAppObservable::onStopSample);
}

ZAppObservable::~ZAppObservable()
{
    stopTriggerThread();
    finishSample();
    deleteLink();
    while (!m_boxes.empty()) {
        delete m_boxes.back();
        m_boxes.pop_back();
    }
    m_activeBox = nullptr;
    detachAll();
}

QString ZAppObservable::boxTypeName(int boxType)
{
    return ::boxTypeName(boxType);
}

void ZAppObservable::setBoxType(int boxType)
{
    if (boxType == m_boxType)
        return;
    assert(m_samplingHolds == 0 && "m_samplingHolds == 0");
    // The box is about to go: a run that is still active ends first.
    if (isSampling())
        onStopSample();
    m_boxType = boxType;
    if (m_activeBox)
        removeBox(m_activeBox);
    // The next start opens the bridge afresh, at the new type's speed and, on the
    // simulated box, with the new type's channels.
    deleteLink();
    if (boxType != 0)
        addBox(new ZRealBox(this, boxType));
    m_readCoefs = true;
    notify(BoxTypeChanged);
}

bool ZAppObservable::addBox(ZBox *box)
{
    if (!box || std::find(m_boxes.begin(), m_boxes.end(), box) != m_boxes.end())
        return false;
    if (auto *realBox = dynamic_cast<ZRealBox *>(box)) {
        m_activeBox = realBox;
        m_boxes.insert(m_boxes.begin(), box);
        notify(ActiveBoxChanged);
        notify(RealBoxAdded);
    } else {
        m_boxes.push_back(box);
        notify(PlaybackBoxAdded);
    }
    return true;
}

bool ZAppObservable::removeBox(ZBox *box)
{
    const auto it = std::find(m_boxes.begin(), m_boxes.end(), box);
    if (!box || it == m_boxes.end())
        return false;
    assert((box != m_activeBox || m_samplingHolds == 0) && "m_samplingHolds == 0");
    if (box == m_activeBox && isSampling())
        onStopSample();
    const bool wasActive = box == m_activeBox;
    m_boxes.erase(it);
    delete box;
    if (wasActive) {
        m_activeBox = nullptr;
        notify(ActiveBoxChanged);
    }
    notify(BoxRemoved);
    return true;
}

bool ZAppObservable::setStartTrigger(int trigger)
{
    if (!isTrigger(trigger, TriggerFalling) || trigger == m_startTrigger.load())
        return false;
    m_startTrigger.store(trigger);
    notify(StartTriggerChanged);
    return true;
}

bool ZAppObservable::setStopTrigger(int trigger)
{
    if (!isTrigger(trigger, TriggerTimeOut) || trigger == m_stopTrigger.load())
        return false;
    m_stopTrigger.store(trigger);
    // A sleeping trigger thread looks again: a time-out may be due now.
    wakeTriggerThread();
    notify(StopTriggerChanged);
    return true;
}

bool ZAppObservable::setDuration(double seconds)
{
    if (std::isnan(seconds) || seconds < 0.0)
        return false;
    if (std::fabs(m_duration.load() - seconds) * 1000.0 < DurationTolerance)
        return false;
    m_duration.store(seconds);
    wakeTriggerThread();
    notify(DurationChanged);
    return true;
}

bool ZAppObservable::hasSamples() const
{
    return m_activeBox && m_activeBox->hasSamples();
}

// ---------------------------------------------------------------------------------------
// Starting and stopping

bool ZAppObservable::connectBox()
{
    m_connectFailureReason.clear();
    if (!m_activeBox || isSampling() || isRunning())
        return false;
    if (!openLink()) {
        m_connectFailureReason
            = m_link ? linkFailureReason(m_link->failure(), m_link->baudRate()) : QString();
        return false;
    }
    if (m_readCoefs)
        readCalibrations();

    m_boxLostAtSeconds = -1.0;
    ++m_runSerial;
    setSampling(true);
    m_started.store(m_startTrigger.load() == TriggerManual);
    m_risingDetector.reset();
    m_fallingDetector.reset();
    m_stop.store(false);
    start();
    return true;
}

bool ZAppObservable::openLink()
{
    if (m_link) {
        if (m_link->sync(HandshakeTimeoutMs))
            return true;
        deleteLink();
    }
    if (!m_bridgeFactory)
        return false;
    m_link = std::make_unique<ZUsbLink>(m_bridgeFactory(m_boxType), 0, baudRateOf(m_boxType));
    return m_link->sync(HandshakeTimeoutMs);
}

void ZAppObservable::readCalibrations()
{
    const ZDeviceType *row = deviceType(m_boxType);
    if (!row)
        return;
    m_readCoefs = false;
    for (ZAnalogIn *channel : m_activeBox->analogIns()) {
        double gain = 1.0;
        double offset = 0.0;
        if (m_link->readCalibration(channelOf(channel->id()), row->calibrationSetCode, &gain,
                                    &offset)) {
            channel->setCalibration(gain, offset);
        } else {
            // Ask again at the next start rather than never.
            m_readCoefs = true;
        }
    }
}

bool ZAppObservable::requestStop()
{
    if (!isSampling())
        return false;
    emit stopSample();
    return true;
}

void ZAppObservable::holdSampling()
{
    ++m_samplingHolds;
}

void ZAppObservable::releaseSampling()
{
    assert(m_samplingHolds > 0 && "m_samplingHolds > 0");
    if (--m_samplingHolds > 0 || !m_startDeferred)
        return;
    m_startDeferred = false;
    onStartSample();
}

bool ZAppObservable::onStartSample()
{
    // A start that arrives queued after the run has ended, or twice, changes nothing.
    if (!isSampling() || !m_started.load() || m_comThread)
        return false;
    if (!m_activeBox || !m_link || !m_link->handle())
        return false;
    if (m_samplingHolds > 0) {
        // Clearing the series now would pull them from under the file work reading them.
        m_startDeferred = true;
        return false;
    }

    m_activeBox->setSampling(true);
    notify(SampleStarted);
    m_comThread = std::make_unique<ZComThread>(m_link->handle(), [this] { return isSampling(); });
    m_comThread->setNoAnswerLimitMs(m_noAnswerLimitMs);
    const int run = m_runSerial;
    connect(m_comThread.get(), &ZComThread::boxLost, this,
            [this, run](double atSeconds, bool) { onBoxLost(run, atSeconds); });
    queueRunConfiguration();
    if (!buildMonitors()) {
        m_comThread.reset();
        return false;
    }
    return true;
}

void ZAppObservable::queueRunConfiguration()
{
    for (const ZByteArray &frame : runConfiguration(*m_activeBox))
        m_comThread->postCommand(frame);
}

// One monitor per selected analog input and edge counter and per digital input; the
// fastest selected channel paces the requests. An edge stop trigger needs digital
// input 0 sampled at least as fast as that channel.
bool ZAppObservable::buildMonitors()
{
    m_monitors.clear();
    ZInChannel *candidate = nullptr;
    ZChlMonitor *candidateMonitor = nullptr;
    ZChlMonitor *digitIn0Monitor = nullptr;
    const auto consider = [&](ZInChannel *channel, ZChlMonitor *monitor) {
        if (!candidate || channel->interval() < candidate->interval()) {
            candidate = channel;
            candidateMonitor = monitor;
        }
    };
    const auto addMonitor = [this](ZInChannel *channel) {
        m_monitors.push_back(std::make_unique<ZChlMonitor>(channel));
        return m_monitors.back().get();
    };

    for (ZAnalogIn *channel : m_activeBox->analogIns())
        if (channel->isSelected())
            consider(channel, addMonitor(channel));
    for (ZEdgeCnt *channel : m_activeBox->edgeCnts())
        if (channel->isSelected())
            consider(channel, addMonitor(channel));
    for (ZDigitIn *channel : m_activeBox->digitIns()) {
        ZChlMonitor *monitor = addMonitor(channel);
        if (!digitIn0Monitor)
            digitIn0Monitor = monitor;
        if (channel->isSelected())
            consider(channel, monitor);
    }

    const int stop = m_stopTrigger.load();
    if ((stop == TriggerRising || stop == TriggerFalling) && !m_activeBox->digitIns().empty()) {
        ZDigitIn *digitIn0 = m_activeBox->digitIns().front();
        if (!digitIn0->isSelected()) {
            digitIn0->setSelected(true);
            if (candidate)
                digitIn0->setInterval(candidate->interval());
        } else if (candidate && candidate->interval() < digitIn0->interval()) {
            digitIn0->setInterval(candidate->interval());
        }
    }

    ZChlMonitor *pacing = candidateMonitor ? candidateMonitor : digitIn0Monitor;
    if (!pacing)
        return false;
    m_comThread->setMonitors(&m_monitors, std::make_unique<ZChlMonitor>(*pacing));
    return true;
}

bool ZAppObservable::onStopSample()
{
    // A stop that arrives queued after the run has ended changes nothing.
    if (!isSampling())
        return false;
    stopTriggerThread();
    return finishSample();
}

// The communication thread or, while armed, the trigger thread found the box gone: the
// run ends as a Stop would, keeping its samples, and then says why.
void ZAppObservable::onBoxLost(int run, double atSeconds)
{
    if (run != m_runSerial || !isSampling())
        return;
    m_boxLostAtSeconds = std::max(atSeconds, 0.0);
    onStopSample();
    notify(BoxLost);
}

QString ZAppObservable::boxLostMessage() const
{
    if (!boxLost())
        return QString();
    return tr("The box stopped answering at %1 s; the samples up to then are kept.")
        .arg(formatNumber(m_boxLostAtSeconds, 1));
}

bool ZAppObservable::finishSample()
{
    m_startDeferred = false;
    if (m_activeBox && m_activeBox->isSampling()) {
        m_activeBox->setSampling(false);
        notify(SampleFinished);
    } else if (isSampling()) {
        notify(SampleCanceled);
    }
    setSampling(false);
    stopTriggerThread();
    m_comThread.reset();
    m_monitors.clear();
    if (m_link && m_link->handle())
        m_link->handle()->clearInterrupt();
    return true;
}

void ZAppObservable::stopTriggerThread()
{
    m_stop.store(true, std::memory_order_release);
    if (m_link && m_link->handle() && !m_comThread)
        m_link->handle()->interrupt();
    wakeTriggerThread();
    wait();
    m_fence.afterWait();
}

void ZAppObservable::deleteLink()
{
    if (m_link)
        m_link->close();
    m_link.reset();
}

// ---------------------------------------------------------------------------------------
// Output writes during a run

bool ZAppObservable::sendAnalogOut(int channel, quint16 code)
{
    if (!m_activeBox || !m_link || !m_comThread)
        return false;
    return m_comThread->postCommand(ZProtocol::analogOutValueFrame(channel, code));
}

bool ZAppObservable::sendDigitOut(int channel, quint8 status)
{
    if (!m_activeBox || !m_link || !m_comThread)
        return false;
    return m_comThread->postCommand(ZProtocol::digitOutValueFrame(channel, status));
}

// ---------------------------------------------------------------------------------------
// The trigger thread

void ZAppObservable::run()
{
    const ZThreadFenceGuard finished(m_fence);
    if (!m_activeBox || !m_link)
        return;
    std::unique_ptr<ZStopMonitor> stopMonitor;
    bool firstStartedPass = true;
    ZStopwatch runClock;
    while (!stopRequested()) {
        if (!m_started.load()) {
            const PollResult poll = pollStartTrigger();
            if (poll == PollResult::Edge)
                m_started.store(true);
            else if (poll == PollResult::Failed && !pauseAfterFailedPoll())
                break;
            continue;
        }
        if (firstStartedPass) {
            firstStartedPass = false;
            runClock.restart();
            const int stop = m_stopTrigger.load();
            if (stop == TriggerRising || stop == TriggerFalling) {
                assert(!m_activeBox->digitIns().empty() && "!dgtIns.empty()");
                stopMonitor = std::make_unique<ZStopMonitor>(
                    stop == TriggerRising ? &m_risingDetector : &m_fallingDetector);
                connect(stopMonitor.get(), &ZStopMonitor::stopSample, this,
                        &ZAppObservable::onStopSample);
                stopMonitor->attach(m_activeBox->digitIns().front());
            }
            emit startSample();
        }
        if (!watchDuration(runClock)) {
            emit stopSample();
            break;
        }
    }
    // Detaching waits for a notification in progress on the communication thread.
    stopMonitor.reset();
}

// Sleeps until the time-out is due, an hour at most, or without a time-out stop trigger
// until woken; a stop or a change of the duration or stop trigger wakes it. False once
// the time-out has come. Sleeping to the deadline instead of checking every millisecond
// keeps an idle run at no CPU.
bool ZAppObservable::watchDuration(const ZStopwatch &runClock)
{
    std::unique_lock<std::mutex> lock(m_sleepMutex);
    if (stopRequested())
        return true;
    if (m_stopTrigger.load() != TriggerTimeOut) {
        m_sleepWake.wait(lock);
        return true;
    }
    const double left = m_duration.load() * 1000.0 - runClock.elapsedMs();
    if (left <= 0.0)
        return false;
    m_sleepWake.wait_for(lock,
                         std::chrono::duration<double, std::milli>(std::min(left, LongestSleepMs)));
    return true;
}

void ZAppObservable::wakeTriggerThread()
{
    {
        // Taking the lock orders the wake-up after a sleeper's last look at the flags.
        std::lock_guard<std::mutex> lock(m_sleepMutex);
    }
    m_sleepWake.notify_all();
}

// One poll of digital input 0: whether the chosen start edge was seen, or whether the
// poll got no usable answer.
ZAppObservable::PollResult ZAppObservable::pollStartTrigger()
{
    const ZByteArray poll = ZProtocol::digitInLevelFrame();
    ZByteArray answer(5);
    if (!m_link->transact(poll, &answer, PollTimeoutMs))
        return PollResult::Failed;
    if (answer.length() != poll.length() + 3)
        return PollResult::Failed;
    const bool level = answer[6] != 0;
    m_risingDetector.feed(level);
    m_fallingDetector.feed(level);
    const int start = m_startTrigger.load();
    const bool fired = (start == TriggerRising && m_risingDetector.fired())
        || (start == TriggerFalling && m_fallingDetector.fired());
    return fired ? PollResult::Edge : PollResult::NoEdge;
}

// A poll that failed at once (write refused) would be repeated at once and spin a core;
// a Stop wakes this pause. False when the device is gone: the armed run then ends, as
// the main thread is told.
bool ZAppObservable::pauseAfterFailedPoll()
{
    if (m_link->isDeviceGone()) {
        QMetaObject::invokeMethod(this, "onBoxLost", Qt::QueuedConnection, Q_ARG(int, m_runSerial),
                                  Q_ARG(double, 0.0));
        return false;
    }
    std::unique_lock<std::mutex> lock(m_sleepMutex);
    if (!stopRequested())
        m_sleepWake.wait_for(lock, std::chrono::milliseconds(FailedPollPauseMs));
    return true;
}
