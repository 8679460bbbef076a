#include "app/zappobservable.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "tests/common/coderecorder.h"
#include "tests/common/cputime.h"

#include <QtTest>

#include <pthread.h>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <memory>

// A loose bound: these runs share the machine with other work.
#define WAIT_FOR(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 15000)

namespace {

using Codes = QList<int>;
using Faults = ZSimulatedBox::Faults;

const Codes WholeRun { SamplingChanged, SampleStarted, SampleFinished, SamplingChanged };
const Codes ArmedRunEnded { SamplingChanged, SampleCanceled, SamplingChanged };

// Records the codes, and whether the device box samples afresh when sampling starts.
struct Recorder : CodeRecorder<ZAppObservable>
{
    bool update(int code) override
    {
        const ZRealBox *box = subject()->activeBox();
        if (code == SampleStarted)
            startedAfresh = box->isSampling() && box->analogIns()[0]->sampleCount() == 0;
        return CodeRecorder::update(code);
    }

    bool startedAfresh = false;
};

// An application model wired to a simulated box the test holds.
struct Rig
{
    explicit Rig(int boxType, const ZClock &boxClock = ZClock::steady())
        : box(std::make_shared<ZSimulatedBox>(boxType, boxClock))
        , app([this](int) { return std::make_unique<ZSimulatedBridge>(box); })
    {
        app.setBoxType(boxType);
        recorder.attach(&app);
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
    Recorder recorder;
};

// The CPU clock of the thread that calls capture() first; CLOCK_REALTIME until then.
struct ThreadCpu
{
    void capture()
    {
        clockid_t id;
        if (!known() && pthread_getcpuclockid(pthread_self(), &id) == 0)
            clock = id;
    }
    bool known() const { return clock != CLOCK_REALTIME; }
    double ms() const
    {
        timespec now {};
        clock_gettime(clock.load(), &now);
        return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    }

    std::atomic<clockid_t> clock { CLOCK_REALTIME };
};

enum BoxLoss { Unplugged, UnpluggedAfterCommands, Silent };

} // namespace

class TestAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void manualRunThenTimeOut();
    void edgeTriggers();
    void armedRunEnds();
    void goneBoxEndsTheRun();
    void longDurationsSleep();
};

// One manual run on a UX-107 (input mode 1, an edge counter, one analog and two digital
// outputs): configured before the first request, outputs written while it samples, noisy
// answers; then a second run that times out.
void TestAcquisition::manualRunThenTimeOut()
{
    Rig rig(8);
    ZRealBox &box = rig.realBox();
    ZAnalogIn *fast = rig.select(0, 10.0);
    ZAnalogIn *slow = rig.select(1, 50.0);
    ZEdgeCnt *counter = box.edgeCnts()[0];
    counter->setSelected(true);
    counter->setInterval(20.0);
    ZDigitOut *pwmOut = box.digitOuts()[0];
    ZDigitOut *valueOut = box.digitOuts()[1];
    pwmOut->setOutMode(2);
    pwmOut->setDutyRatio(30);
    QVERIFY(rig.app.connectBox());
    QVERIFY(!rig.app.connectBox()); // not twice
    WAIT_FOR(box.isSampling() && rig.box->digitOut(1).told);
    QCOMPARE(rig.box->inputMode(), 1);
    QVERIFY(rig.box->digitOut(0).dutyRatio == 30 && rig.box->digitOut(1).status == 0);

    valueOut->setStatus(true);
    box.analogOuts()[0]->setVoltage(1.25);
    pwmOut->setStatus(true); // PWM mode: stored, not sent
    WAIT_FOR(rig.box->digitOut(1).status == 1);
    WAIT_FOR(rig.box->analogOut(0).dacCode == box.analogOuts()[0]->dacCode());

    // Junk, a LEN 0 header and answers in pieces lose no sample of either kind.
    Faults faults;
    faults.noise = { 0x13, 0x00, 0xAA, 0x00, 0x00, 0x00, 0x55 };
    faults.pieceSize = 3;
    rig.box->setFaults(faults);
    const std::size_t samples = slow->sampleCount();
    const std::size_t counts = counter->sampleCount();
    WAIT_FOR(slow->sampleCount() >= samples + 10 && counter->sampleCount() >= counts + 3);

    QVERIFY(rig.app.requestStop());
    QCOMPARE(rig.recorder.codes(), WholeRun);
    // A start queued behind the stop changes nothing.
    QVERIFY(!rig.app.isCommunicating() && !rig.app.onStartSample() && !box.isSampling());
    QVERIFY(!rig.opcodes().contains(ZProtocol::OpDigitInLevel));
    QCOMPARE(rig.opcodes().last(), int(ZProtocol::OpProbe)); // the final word of the run
    QCOMPARE(rig.box->digitOut(0).outMode, 2);
    const double ratio = double(fast->sampleCount()) / double(slow->sampleCount());
    QVERIFY2(ratio > 2.5 && ratio < 7.5, qPrintable(QString::number(ratio)));
    for (const ZAnalogIn *channel : { fast, slow }) {
        const auto t = channel->times(); // strictly increasing
        QVERIFY(std::adjacent_find(t.begin(), t.end(), std::greater_equal<>()) == t.end());
    }
    QCOMPARE(box.digitIns()[0]->sampleCount(), std::size_t(0)); // not selected

    // Outside a run nothing is sent.
    rig.box->clearCommandLog();
    valueOut->setStatus(false);
    QTest::qWait(50);
    QVERIFY(rig.box->commandLog().isEmpty() && rig.box->digitOut(1).status == 1);

    // A second run ends by its time-out; an observer reading the box on SampleStarted
    // sees the new run, never the last one.
    rig.app.setStopTrigger(TriggerTimeOut);
    rig.app.setDuration(1.0);
    rig.recorder.take();
    QVERIFY(rig.app.connectBox());
    WAIT_FOR(rig.announced(SampleStarted) && fast->sampleCount() > 0);
    // Once the trigger thread has ended at the time-out, the stop it sent is still queued.
    QVERIFY(rig.app.wait(15000) && !rig.app.connectBox());
    WAIT_FOR(rig.recorder.codes() == WholeRun);
    QVERIFY(rig.recorder.startedAfresh && rig.app.link());
    const double last = fast->times().last(); // a time-out neither early nor late
    QVERIFY2(last > 0.5 && last < 1.0 + 0.25, qPrintable(QString::number(last)));
    rig.app.setBoxType(3);
    QVERIFY(!rig.app.link()); // another box type drops the link
}

// Digital input 0 of the simulated box is high for 2 s, then low for 2 s. Per row: the
// level when armed, a change that is not the start edge, the start edge, the stop edge.
// The stop edge is watched on digital input 0, sampled as fast as the fastest channel.
void TestAcquisition::edgeTriggers()
{
    Faults refused;
    refused.write = ZSimulatedBox::WriteFault::Fail;
    for (const auto &row : { std::array<double, 5> { TriggerRising, 100, 2500, 4100, 6500 },
                             std::array<double, 5> { TriggerFalling, 2500, 4100, 6500, 8100 } }) {
        const bool rising = row[0] == TriggerRising;
        qInfo("%s edge", rising ? "rising" : "falling"); // names the case of a failure below
        ZManualClock clock(row[1]);
        Rig rig(1, clock);
        ZAnalogIn *analog = rig.select(0, 10.0);
        ZDigitIn *digitIn0 = rig.realBox().digitIns()[0];
        digitIn0->setSelected(!rising); // by hand, or else for the stop trigger
        digitIn0->setInterval(100.0);
        rig.app.setStartTrigger(int(row[0]));
        rig.app.setStopTrigger(rising ? TriggerFalling : TriggerRising);
        rig.recorder.take();
        QVERIFY(rig.app.connectBox());
        // While armed the trigger thread waits for answers and pauses after a failed
        // poll: it never polls at full speed.
        for (const Faults &faults : { refused, Faults() }) {
            WAIT_FOR(rig.sent(ZProtocol::OpDigitInLevel) >= 3);
            rig.box->setFaults(faults);
            const CpuWatch cpu(CpuWatch::WholeProcess);
            const int polls = rig.sent(ZProtocol::OpDigitInLevel);
            QTest::qWait(500);
            QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
            QVERIFY(faults.write == refused.write
                    || rig.sent(ZProtocol::OpDigitInLevel) > polls + 10);
        }
        clock.setMs(row[2]);
        const int polls = rig.sent(ZProtocol::OpDigitInLevel);
        WAIT_FOR(rig.sent(ZProtocol::OpDigitInLevel) >= polls + 3);
        QVERIFY2(!rig.announced(SampleStarted), "started by a change that is not the edge");
        clock.setMs(row[3]);
        WAIT_FOR(rig.announced(SampleStarted) && digitIn0->sampleCount() >= 5);
        QVERIFY(rig.realBox().isSampling() && !rig.announced(SampleFinished));
        QVERIFY(digitIn0->isSelected() && digitIn0->interval() == 10.0);
        clock.setMs(row[4]);
        WAIT_FOR(rig.announced(SampleFinished));
        QCOMPARE(rig.recorder.codes(), WholeRun);
        QCOMPARE(rig.sent(ZProtocol::OpInputMode), 0); // UX-100 has no input mode
        QVERIFY(!rig.app.isCommunicating() && analog->sampleCount() > 0);
        QCOMPARE(digitIn0->statuses().last(), !rising);
    }
}

// An armed run ends on a Stop, or by itself when the box is gone.
void TestAcquisition::armedRunEnds()
{
    ZManualClock clock(100.0); // digital input 0 stays high: no rising edge comes
    Rig rig(1, clock);
    rig.app.setStartTrigger(TriggerRising);
    rig.recorder.take();
    for (const bool pulled : { false, true }) {
        qInfo("%s", pulled ? "cable pulled" : "stopped");
        rig.box->clearCommandLog();
        QVERIFY(rig.app.connectBox());
        WAIT_FOR(rig.sent(ZProtocol::OpDigitInLevel) >= 2);
        if (pulled)
            rig.box->unplug();
        else
            QVERIFY(rig.app.requestStop());
        WAIT_FOR(!rig.app.isSampling());
        QCOMPARE(rig.recorder.take(), ArmedRunEnded + (pulled ? Codes { BoxLost } : Codes()));
        QVERIFY(rig.app.boxLost() == pulled && !rig.realBox().isSampling());
    }
    QVERIFY(rig.app.boxLostAtSeconds() == 0.0 && !rig.app.requestStop());
}

// A box that is gone ends the run as a Stop would, keeps the samples, and the model says
// when it happened; the next start works once the box is back.
void TestAcquisition::goneBoxEndsTheRun()
{
    for (const BoxLoss loss : { Unplugged, UnpluggedAfterCommands, Silent }) {
        qInfo("box loss %d", int(loss));
        Rig rig(1);
        rig.app.setNoAnswerLimitMs(1000);
        ZAnalogIn *analog = rig.select(0, 5.0);
        QVERIFY(rig.app.connectBox());
        WAIT_FOR(analog->sampleCount() >= 20);
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
        WAIT_FOR(!rig.app.isSampling());
        QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
        QCOMPARE(rig.recorder.take(), (Codes { SampleFinished, SamplingChanged, BoxLost }));
        QVERIFY(!rig.app.isCommunicating() && !rig.realBox().isSampling() && rig.app.boxLost());

        // The samples are kept, and the loss is dated by the first request left unanswered,
        // not by the end of the wait for its answer.
        QVERIFY(analog->sampleCount() >= 20 && rig.app.hasSamples());
        const double last = analog->times().last();
        const double lostAt = rig.app.boxLostAtSeconds();
        QVERIFY2(lostAt >= last && lostAt < last + 0.5,
                 qPrintable(QStringLiteral("%1 after %2").arg(lostAt).arg(last)));
        const QRegularExpression message(QStringLiteral(
            "^The box stopped answering at \\d+(\\.\\d)? s; the samples up to then are kept\\.$"));
        QVERIFY(message.match(rig.app.boxLostMessage()).hasMatch());
        // A silent box still hears the final 0x03; a gone one is not written to.
        QVERIFY(loss != Silent || rig.opcodes().last() == ZProtocol::OpProbe);

        // Gone or silent: no new run.
        QVERIFY(!rig.app.connectBox() && rig.recorder.codes().isEmpty());
        rig.box->replug();
        rig.box->setFaults(Faults());
        QVERIFY(rig.app.connectBox() && !rig.app.boxLost() && rig.app.boxLostMessage().isEmpty());
        WAIT_FOR(rig.announced(SampleStarted) && analog->sampleCount() >= 5);

        // Stop just after a late request went out: its answer comes before the echo of
        // the final 0x03 and must not pass for it, or that echo would be the next run's
        // first answer and every sample of that run one request late.
        Faults late;
        late.answerDelayMs = 300;
        rig.box->setFaults(late);
        QSignalSpy answers(analog, &ZInChannel::dataAppended); // the next request goes at once
        QVERIFY(answers.wait(15000) && answers.wait(15000));
        QVERIFY(rig.app.requestStop() && !rig.app.boxLost());
        late.answerDelayMs = 30; // the next run's answers come a little late too
        rig.box->setFaults(late);
        rig.box->clearCommandLog();
        std::atomic<int> requestsAtFirstSample { -1 };
        connect(analog, &ZInChannel::dataAppended, [&] {
            int expected = -1;
            requestsAtFirstSample.compare_exchange_strong(expected, rig.sent(ZProtocol::OpSamples));
        });
        QVERIFY(rig.app.connectBox());
        WAIT_FOR(requestsAtFirstSample.load() >= 0);
        QVERIFY(rig.app.requestStop());
        QCOMPARE(requestsAtFirstSample.load(), 1);
    }
}

// A time-out far beyond the steady clock's range is a time-out that does not come: the
// trigger thread sleeps through it instead of spinning. At ten samples a second the
// communication thread sleeps between requests as well.
void TestAcquisition::longDurationsSleep()
{
    for (const double seconds : { qInf(), 1e10, std::numeric_limits<double>::max() }) {
        qInfo("time-out %g s", seconds);
        Rig rig(1);
        ZAnalogIn *analog = rig.select(0, 100.0);
        ThreadCpu comThread;
        ThreadCpu triggerThread;
        // Without a context object the slots run in the emitting thread.
        connect(analog, &ZInChannel::dataAppended, [&] { comThread.capture(); });
        connect(&rig.app, &ZAppObservable::startSample, [&] { triggerThread.capture(); });
        rig.app.setStopTrigger(TriggerTimeOut);
        QVERIFY(rig.app.setDuration(seconds));
        QVERIFY(rig.app.connectBox());
        WAIT_FOR(analog->sampleCount() >= 2 && comThread.known() && triggerThread.known());

        const CpuWatch cpu(CpuWatch::WholeProcess);
        const double comStartMs = comThread.ms();
        const double triggerStartMs = triggerThread.ms();
        const std::size_t samples = analog->sampleCount();
        WAIT_FOR(analog->sampleCount() >= samples + 10);
        const double comMs = comThread.ms() - comStartMs;
        const double triggerMs = triggerThread.ms() - triggerStartMs;
        QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
        // Generous for sanitizer builds; a thread that polls instead of sleeping uses more.
        const double bound = 0.03 * cpu.wallMs() + 10.0;
        QVERIFY2(comMs < bound, qPrintable(QString::number(comMs) + " ms communication thread"));
        QVERIFY2(triggerMs < bound, qPrintable(QString::number(triggerMs) + " ms trigger thread"));

        // Switching to the time-out wakes a trigger thread asleep without one.
        QVERIFY(rig.app.setStopTrigger(TriggerManual) && rig.app.setDuration(0.0));
        WAIT_FOR(analog->sampleCount() >= samples + 13);
        QVERIFY(!rig.announced(SampleFinished)); // asleep without a time-out
        QVERIFY(rig.app.setStopTrigger(TriggerTimeOut));
        WAIT_FOR(rig.announced(SampleFinished));
        QVERIFY(!rig.app.isSampling() && !rig.app.isCommunicating());
    }
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
