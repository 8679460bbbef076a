#include "app/zappobservable.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zrunconfig.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "tests/common/coderecorder.h"
#include "tests/common/cputime.h"

#include <QElapsedTimer>
#include <QtTest>

#include <array>

#include <pthread.h>

#include <limits>
#include <memory>

namespace {

using Codes = QList<int>;
using Faults = ZSimulatedBox::Faults;

// Loose bounds: these runs share the machine with other work.
constexpr int RunTimeoutMs = 15000;
const Codes WholeRun { SamplingChanged, SampleStarted, SampleFinished, SamplingChanged };

// An application model wired to a simulated box the test holds.
struct Rig
{
    explicit Rig(int boxType, const ZClock &boxClock = ZClock::steady())
        : box(std::make_shared<ZSimulatedBox>(boxType, boxClock))
        , app([this](int) { return std::make_unique<ZSimulatedBridge>(box); })
    {
        recorder.attach(&app);
        app.setBoxType(boxType);
        recorder.take();
    }

    ZRealBox &realBox() const { return *app.activeBox(); }
    ZAnalogIn *select(int input, double intervalMs) const
    {
        ZAnalogIn *channel = realBox().analogIns()[input];
        channel->setSelected(true);
        channel->setInterval(intervalMs);
        return channel;
    }
    QList<int> opcodes() const
    {
        QList<int> result;
        for (const QByteArray &frame : box->commandLog())
            result << (frame.size() > 2 ? quint8(frame[2]) : -1);
        return result;
    }
    int sent(int opcode) const { return opcodes().count(opcode); }
    bool announced(int code) const { return recorder.codes().contains(code); }

    std::shared_ptr<ZSimulatedBox> box;
    ZAppObservable app;
    CodeRecorder<ZAppObservable> recorder;
};

QByteArray toBytes(const ZByteArray &frame)
{
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.length()));
}

bool strictlyIncreasing(const ZInChannel &channel)
{
    const auto times = channel.times();
    for (std::size_t i = 1; i < times.size(); ++i)
        if (!(times[i] > times[i - 1]))
            return false;
    return true;
}

// The CPU clock of the thread that calls capture() first.
struct ThreadCpu
{
    void capture()
    {
        clockid_t id;
        if (!known && pthread_getcpuclockid(pthread_self(), &id) == 0) {
            clock = id;
            known = true;
        }
    }
    double ms() const
    {
        timespec now {};
        clock_gettime(clock.load(), &now);
        return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    }

    std::atomic<clockid_t> clock { 0 };
    std::atomic<bool> known { false };
};

// What an observer of the application model finds in the device box when sampling starts.
class StartWitness : public ZObserver<ZAppObservable>
{
public:
    ~StartWitness() override { detach(subject()); }
    bool update(int code) override
    {
        if (code != SampleStarted)
            return false;
        const ZRealBox *box = subject()->activeBox();
        seen = QStringLiteral("sampling %1, samples %2")
                   .arg(box->isSampling())
                   .arg(box->analogIns()[0]->sampleCount());
        return true;
    }

    QString seen;
};

enum ArmedBox { WritesRefused, HealthyBox, WaitingForAFall, PulledCable };
enum BoxLoss { Unplugged, UnpluggedAfterCommands, Silent };

} // namespace

class TestAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void manualStartSamplesWithoutPolling();
    void startTriggers();
    void stopByEdgeSelectsDigitalInput0();
    void stopByTimeOut();
    void armedWaitLeavesTheCoreFree_data();
    void armedWaitLeavesTheCoreFree();
    void runConfigurationReachesTheBox_data();
    void runConfigurationReachesTheBox();
    void outputsAndNoisyAnswersDuringARun();
    void goneBoxEndsTheRun_data();
    void goneBoxEndsTheRun();
    void lateAnswerDoesNotOutliveAStop();
    void stopRacingTheStart();
    void longDurationsSleep_data();
    void longDurationsSleep();
};

void TestAcquisition::manualStartSamplesWithoutPolling()
{
    Rig rig(1);
    ZAnalogIn *fast = rig.select(0, 10.0);
    ZAnalogIn *slow = rig.select(1, 50.0);
    QVERIFY(rig.app.connectBox());
    QVERIFY(!rig.app.connectBox()); // not twice
    QTRY_VERIFY_WITH_TIMEOUT(slow->sampleCount() >= 10, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QCOMPARE(rig.recorder.codes(), WholeRun);
    QVERIFY(!rig.app.isCommunicating() && !rig.realBox().isSampling());

    const QList<int> opcodes = rig.opcodes();
    QVERIFY(!opcodes.contains(ZProtocol::OpDigitInLevel));
    QVERIFY(opcodes.contains(ZProtocol::OpSamples));
    QCOMPARE(opcodes.last(), int(ZProtocol::OpProbe)); // the final word of the run
    const double ratio = double(fast->sampleCount()) / double(slow->sampleCount());
    QVERIFY2(ratio > 2.5 && ratio < 7.5, qPrintable(QString::number(ratio)));
    QVERIFY(strictlyIncreasing(*fast) && strictlyIncreasing(*slow));
    QCOMPARE(rig.realBox().digitIns()[0]->sampleCount(), std::size_t(0)); // not selected

    // An observer reading the box on SampleStarted sees the new run, never the last one.
    StartWitness witness;
    witness.attach(&rig.app);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(!witness.seen.isEmpty() && rig.realBox().isSampling(), RunTimeoutMs);
    QCOMPARE(witness.seen, QStringLiteral("sampling 1, samples 0"));
    QVERIFY(rig.app.requestStop());
    QVERIFY(rig.app.link());
    rig.app.setBoxType(3);
    QVERIFY(!rig.app.link()); // another box type drops the link
}

// Digital input 0 of the simulated box is high for 2 s, then low for 2 s. Per trigger:
// the level when armed, a change that is not the trigger's edge, the edge that starts.
void TestAcquisition::startTriggers()
{
    for (const auto &row : { std::array<double, 4> { TriggerRising, 100.0, 2500.0, 4100.0 },
                             std::array<double, 4> { TriggerFalling, 2500.0, 4100.0, 6500.0 } }) {
        ZManualClock clock(row[1]);
        Rig rig(1, clock);
        rig.select(0, 10.0);
        rig.app.setStartTrigger(int(row[0]));
        rig.recorder.take();
        QVERIFY(rig.app.connectBox());
        QTRY_VERIFY_WITH_TIMEOUT(rig.sent(ZProtocol::OpDigitInLevel) >= 3, RunTimeoutMs);
        clock.setMs(row[2]);
        const int polls = rig.sent(ZProtocol::OpDigitInLevel);
        QTRY_VERIFY_WITH_TIMEOUT(rig.sent(ZProtocol::OpDigitInLevel) >= polls + 3, RunTimeoutMs);
        QVERIFY2(!rig.announced(SampleStarted), "started by a change that is not the edge");
        clock.setMs(row[3]);
        QTRY_VERIFY_WITH_TIMEOUT(rig.announced(SampleStarted), RunTimeoutMs);
        QVERIFY(rig.realBox().isSampling());
        QVERIFY(rig.app.requestStop());
        QCOMPARE(rig.recorder.codes(), WholeRun);
    }
}

void TestAcquisition::stopByEdgeSelectsDigitalInput0()
{
    ZManualClock clock(2500.0); // digital input 0 low
    Rig rig(10, clock);
    ZAnalogIn *analog = rig.select(3, 5.0);
    ZDigitIn *digitIn0 = rig.realBox().digitIns()[0];
    digitIn0->setInterval(100.0);
    rig.app.setStopTrigger(TriggerRising);
    rig.recorder.take();

    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(digitIn0->sampleCount() >= 5, RunTimeoutMs);
    QVERIFY(digitIn0->isSelected());
    QCOMPARE(digitIn0->interval(), 5.0); // as fast as the fastest selected channel
    QVERIFY(!rig.announced(SampleFinished));
    clock.setMs(4100.0);
    QTRY_VERIFY_WITH_TIMEOUT(rig.announced(SampleFinished), RunTimeoutMs);
    QVERIFY(!rig.app.isSampling() && !rig.app.isCommunicating());
    QCOMPARE(digitIn0->statuses().last(), true);
    QVERIFY(analog->sampleCount() > 0);
}

void TestAcquisition::stopByTimeOut()
{
    Rig rig(1);
    ZAnalogIn *analog = rig.select(0, 20.0);
    rig.app.setStopTrigger(TriggerTimeOut);
    rig.app.setDuration(0.4);
    rig.recorder.take();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.announced(SampleFinished), RunTimeoutMs);
    QVERIFY(timer.elapsed() >= 400);
    QCOMPARE(rig.recorder.codes(), WholeRun);
    QVERIFY(analog->sampleCount() > 0);
    QVERIFY2(analog->times().last() < 0.4 + 0.25,
             qPrintable(QString::number(analog->times().last())));

    // Switching to the time-out wakes a trigger thread asleep without one.
    rig.app.setStopTrigger(TriggerManual);
    QVERIFY(rig.app.setDuration(0.0));
    rig.recorder.take();
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.announced(SampleStarted) && analog->sampleCount() >= 3,
                             RunTimeoutMs);
    QVERIFY(!rig.announced(SampleFinished)); // asleep without a time-out
    QVERIFY(rig.app.setStopTrigger(TriggerTimeOut));
    QTRY_VERIFY_WITH_TIMEOUT(rig.announced(SampleFinished), RunTimeoutMs);
    QVERIFY(!rig.app.isSampling() && !rig.app.isCommunicating());
}

// While armed the trigger thread waits for answers and pauses after a failed poll; it
// never polls at full speed, and a Stop still ends the run at once. A box that is gone
// ends the armed run by itself.
void TestAcquisition::armedWaitLeavesTheCoreFree_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("writes refused") << int(WritesRefused);
    QTest::newRow("healthy box, no edge") << int(HealthyBox);
    QTest::newRow("falling trigger, low already") << int(WaitingForAFall);
    QTest::newRow("cable pulled") << int(PulledCable);
}

void TestAcquisition::armedWaitLeavesTheCoreFree()
{
    QFETCH(int, state);
    // Digital input 0 stays high (or low): no rising (or falling) edge comes.
    ZManualClock clock(state == WaitingForAFall ? 2500.0 : 100.0);
    Rig rig(1, clock);
    rig.app.setStartTrigger(state == WaitingForAFall ? TriggerFalling : TriggerRising);
    rig.recorder.take();
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.sent(ZProtocol::OpDigitInLevel) >= 2, RunTimeoutMs);
    Faults refused;
    refused.write = ZSimulatedBox::WriteFault::Fail;
    if (state == WritesRefused)
        rig.box->setFaults(refused);
    if (state == PulledCable) {
        rig.box->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.app.isSampling(), RunTimeoutMs);
        QCOMPARE(rig.recorder.codes(),
                 (Codes { SamplingChanged, SampleCanceled, SamplingChanged, BoxLost }));
        QCOMPARE(rig.app.boxLostAtSeconds(), 0.0);
        return;
    }

    const CpuWatch cpu(CpuWatch::WholeProcess);
    const int polls = rig.sent(ZProtocol::OpDigitInLevel);
    QTest::qWait(500);
    QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
    QVERIFY(rig.app.isSampling());
    QVERIFY(state == WritesRefused || rig.sent(ZProtocol::OpDigitInLevel) > polls + 10);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(rig.app.requestStop());
    QVERIFY2(timer.elapsed() < 1000, "a stop must not wait for the poll to time out");
    QCOMPARE(rig.recorder.codes(), (Codes { SamplingChanged, SampleCanceled, SamplingChanged }));
    QVERIFY(!rig.app.boxLost() && !rig.realBox().isSampling());
    QVERIFY(!rig.app.requestStop());
}

void TestAcquisition::runConfigurationReachesTheBox_data()
{
    QTest::addColumn<int>("boxType");
    QTest::newRow("UX-100") << 1;
    QTest::newRow("UX-105 input mode") << 6;
    QTest::newRow("UX-108 outputs") << 9;
    QTest::newRow("UX-109 every output mode") << 10;
}

void TestAcquisition::runConfigurationReachesTheBox()
{
    QFETCH(int, boxType);
    Rig rig(boxType);
    ZRealBox &box = rig.realBox();
    rig.select(0, box.analogIns()[0]->minInterval() * 3);
    if (box.analogIns().size() > 1)
        rig.select(1, 7.0);
    if (!box.edgeCnts().empty())
        box.edgeCnts()[0]->setSelected(true);
    const int analogModes[] = { 1, 4, 8, 16 };
    for (std::size_t i = 0; i < box.analogOuts().size(); ++i) {
        box.analogOuts()[i]->setOutMode(analogModes[i % 4]);
        box.analogOuts()[i]->setVoltage(1.0);
        box.analogOuts()[i]->setInterval(12345.0);
    }
    for (std::size_t i = 0; i < box.digitOuts().size(); ++i) {
        box.digitOuts()[i]->setOutMode(i % 2 ? 1 : 2);
        box.digitOuts()[i]->setStatus(true);
        box.digitOuts()[i]->setInterval(box.digitOuts()[i]->minInterval() * 2);
        box.digitOuts()[i]->setDutyRatio(30);
    }
    QList<QByteArray> expected;
    for (const ZByteArray &frame : runConfiguration(box))
        expected << toBytes(frame);

    rig.box->clearCommandLog();
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.sent(ZProtocol::OpSamples) >= 2, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    const QList<QByteArray> log = rig.box->commandLog();
    const int first = log.indexOf(toBytes(ZProtocol::probeFrame()), 1); // after the handshake
    QVERIFY(first > 0);
    QCOMPARE(log.mid(first, expected.size()), expected);
}

void TestAcquisition::outputsAndNoisyAnswersDuringARun()
{
    Rig rig(10);
    ZRealBox &box = rig.realBox();
    ZAnalogIn *analog = rig.select(0, 5.0);
    ZEdgeCnt *counter = box.edgeCnts()[1];
    counter->setSelected(true);
    counter->setInterval(20.0);
    ZDigitOut *valueOut = box.digitOuts()[1];
    ZDigitOut *pwmOut = box.digitOuts()[0];
    ZAnalogOut *voltageOut = box.analogOuts()[2];
    pwmOut->setOutMode(2);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(box.isSampling() && rig.box->digitOut(1).told, RunTimeoutMs);
    rig.box->clearCommandLog();

    valueOut->setStatus(true);
    voltageOut->setVoltage(1.25);
    pwmOut->setStatus(true); // PWM mode: stored, not sent
    QTRY_VERIFY_WITH_TIMEOUT(rig.box->digitOut(1).status == 1, RunTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.box->analogOut(2).dacCode, voltageOut->dacCode(), RunTimeoutMs);

    // Junk, a LEN 0 header and answers in pieces lose no sample of either kind.
    Faults faults;
    faults.noise = { 0x13, 0x00, 0xAA, 0x00, 0x00, 0x00, 0x55 };
    faults.pieceSize = 3;
    rig.box->setFaults(faults);
    const std::size_t samples = analog->sampleCount();
    const std::size_t counts = counter->sampleCount();
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= samples + 20, RunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(counter->sampleCount() >= counts + 3, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QVERIFY(strictlyIncreasing(*analog));
    const QList<QByteArray> log = rig.box->commandLog();
    QVERIFY(log.contains(toBytes(ZProtocol::digitOutValueFrame(1, 1))));
    QVERIFY(!log.contains(toBytes(ZProtocol::digitOutValueFrame(0, 1))));

    // Outside a run nothing is sent.
    rig.box->clearCommandLog();
    valueOut->setStatus(false);
    QTest::qWait(50);
    QVERIFY(rig.box->commandLog().isEmpty());
    QCOMPARE(rig.box->digitOut(1).status, 1);
}

// A box that is gone ends the run as a Stop would, keeps the samples, and the model says
// when it happened; the next start works once the box is back.
void TestAcquisition::goneBoxEndsTheRun_data()
{
    QTest::addColumn<int>("loss");
    QTest::newRow("cable pulled") << int(Unplugged);
    QTest::newRow("cable pulled after some commands") << int(UnpluggedAfterCommands);
    QTest::newRow("box falls silent") << int(Silent);
}

void TestAcquisition::goneBoxEndsTheRun()
{
    QFETCH(int, loss);
    Rig rig(1);
    rig.app.setNoAnswerLimitMs(300);
    ZAnalogIn *analog = rig.select(0, 5.0);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 20, RunTimeoutMs);
    rig.recorder.take();

    const CpuWatch cpu(CpuWatch::WholeProcess);
    Faults silent;
    silent.silent = true;
    if (loss == Unplugged)
        rig.box->unplug();
    else if (loss == UnpluggedAfterCommands)
        rig.box->unplugAfterCommands(10);
    else
        rig.box->setFaults(silent);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.app.isSampling(), RunTimeoutMs);
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QCOMPARE(rig.recorder.codes(), (Codes { SampleFinished, SamplingChanged, BoxLost }));
    QVERIFY(!rig.app.isCommunicating() && !rig.realBox().isSampling() && rig.app.boxLost());

    // The samples are kept, and the loss is dated by the first request left unanswered.
    const std::size_t kept = analog->sampleCount();
    QVERIFY(kept >= 20 && rig.app.hasSamples());
    const double last = analog->times().last();
    const double lostAt = rig.app.boxLostAtSeconds();
    QVERIFY2(lostAt >= last && lostAt < last + 0.5,
             qPrintable(QStringLiteral("%1 after %2").arg(lostAt).arg(last)));
    QVERIFY(QRegularExpression(
                QStringLiteral("^The box stopped answering at \\d+(\\.\\d)? s; the samples up "
                               "to then are kept\\.$"))
                .match(rig.app.boxLostMessage())
                .hasMatch());
    QTest::qWait(50);
    QCOMPARE(analog->sampleCount(), kept);
    // A silent box still hears the final 0x03; a gone one is not written to.
    if (loss == Silent)
        QCOMPARE(rig.opcodes().last(), int(ZProtocol::OpProbe));

    rig.recorder.take();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!rig.app.connectBox()); // gone or silent: no new run
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!rig.app.isSampling() && rig.recorder.codes().isEmpty());
    rig.box->replug();
    rig.box->setFaults(Faults());
    QVERIFY(rig.app.connectBox());
    QVERIFY(!rig.app.boxLost() && rig.app.boxLostMessage().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(rig.announced(SampleStarted), RunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 5, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QVERIFY(!rig.app.boxLost());
}

// A sample answer still on its way when Stop comes must not pass for the echo of the
// final 0x03: that echo would then be the next run's first answer, and every sample of
// that run one request late.
void TestAcquisition::lateAnswerDoesNotOutliveAStop()
{
    Rig rig(1);
    ZAnalogIn *analog = rig.select(0, 10.0);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 3, RunTimeoutMs);
    Faults late;
    late.answerDelayMs = 300;
    rig.box->setFaults(late);
    // Stop just after a late request went out, so that its answer comes well before the
    // echo of the final 0x03.
    const int requests = rig.sent(ZProtocol::OpSamples);
    QElapsedTimer timer;
    timer.start();
    while (rig.sent(ZProtocol::OpSamples) < requests + 2 && timer.elapsed() < RunTimeoutMs)
        QThread::msleep(1);
    QVERIFY(rig.app.requestStop());
    // The next run's answers come a little late too, well within the probe window.
    late.answerDelayMs = 30;
    rig.box->setFaults(late);

    rig.box->clearCommandLog();
    std::atomic<int> requestsAtFirstSample { -1 };
    connect(
        analog, &ZInChannel::dataAppended, this,
        [&] {
            int expected = -1;
            requestsAtFirstSample.compare_exchange_strong(expected, rig.sent(ZProtocol::OpSamples));
        },
        Qt::DirectConnection);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(requestsAtFirstSample.load() >= 0, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QCOMPARE(requestsAtFirstSample.load(), 1);
}

void TestAcquisition::stopRacingTheStart()
{
    Rig rig(1);
    rig.select(0, 10.0);
    for (int round = 0; round < 40; ++round) {
        rig.recorder.take();
        QVERIFY(rig.app.connectBox());
        if (round % 2)
            QCoreApplication::processEvents(); // sometimes let the start through first
        QVERIFY(rig.app.requestStop());
        QCoreApplication::processEvents(); // a queued start arriving late
        QVERIFY(!rig.app.isCommunicating() && !rig.app.isSampling());
        QVERIFY(!rig.realBox().isSampling());
        const QList<int> codes = rig.recorder.codes();
        QVERIFY(codes.count(SampleFinished) + codes.count(SampleCanceled) == 1);
        const int finished = codes.indexOf(SampleFinished);
        QVERIFY(finished < 0 || !codes.mid(finished).contains(SampleCanceled));
    }
    // The box was told to stop after every run that reached it.
    const QList<int> opcodes = rig.opcodes();
    QVERIFY(!opcodes.contains(ZProtocol::OpSamples) || opcodes.last() == ZProtocol::OpProbe);
}

void TestAcquisition::longDurationsSleep_data()
{
    QTest::addColumn<double>("seconds");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    QTest::newRow("three centuries") << 1e10;
    QTest::newRow("largest double") << std::numeric_limits<double>::max();
}

// A time-out far beyond the steady clock's range is a time-out that does not come: the
// trigger thread sleeps through it instead of spinning, and Stop still ends the run. At
// ten samples a second the communication thread sleeps between requests as well.
void TestAcquisition::longDurationsSleep()
{
    QFETCH(double, seconds);
    Rig rig(1);
    ZAnalogIn *analog = rig.select(0, 100.0);
    ThreadCpu comThread;
    ThreadCpu triggerThread;
    connect(
        analog, &ZInChannel::dataAppended, this, [&] { comThread.capture(); },
        Qt::DirectConnection);
    connect(
        &rig.app, &ZAppObservable::startSample, this, [&] { triggerThread.capture(); },
        Qt::DirectConnection);
    rig.app.setStopTrigger(TriggerTimeOut);
    QVERIFY(rig.app.setDuration(seconds));
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 2 && comThread.known && triggerThread.known,
                             RunTimeoutMs);

    const CpuWatch cpu(CpuWatch::WholeProcess);
    const double comStartMs = comThread.ms();
    const double triggerStartMs = triggerThread.ms();
    const std::size_t samples = analog->sampleCount();
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= samples + 10, RunTimeoutMs);
    const double comMs = comThread.ms() - comStartMs;
    const double triggerMs = triggerThread.ms() - triggerStartMs;
    QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
    // Generous for sanitizer builds; a thread that polls instead of sleeping uses more.
    QVERIFY2(comMs < 0.03 * cpu.wallMs() + 10.0 && triggerMs < 0.03 * cpu.wallMs() + 10.0,
             qPrintable(QStringLiteral("communication thread %1 ms, trigger thread %2 ms in %3")
                            .arg(comMs)
                            .arg(triggerMs)
                            .arg(cpu.report())));
    QVERIFY(rig.app.isSampling());

    QElapsedTimer wall;
    wall.start();
    QVERIFY(rig.app.requestStop());
    QVERIFY2(wall.elapsed() < 5000, qPrintable(QString::number(wall.elapsed())));
    QVERIFY(rig.announced(SampleFinished) && !rig.app.isSampling());
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
