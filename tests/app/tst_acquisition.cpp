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

#include <memory>

namespace {

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

    QList<int> opcodes() const
    {
        QList<int> result;
        for (const QByteArray &frame : box->commandLog())
            result << (frame.size() > 2 ? quint8(frame[2]) : -1);
        return result;
    }

    ZRealBox &realBox() const { return *app.activeBox(); }

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

// Loose bounds: these runs share the machine with other work.
constexpr int RunTimeoutMs = 15000;

} // namespace

class TestAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void manualStartSamplesWithoutPolling();
    void startTriggers_data();
    void startTriggers();
    void stopByEdgeSelectsDigitalInput0();
    void stopByTimeOut();
    void armedWaitLeavesTheCoreFree_data();
    void armedWaitLeavesTheCoreFree();
    void secondConnectWhileRunningFails();
    void runConfigurationReachesTheBox_data();
    void runConfigurationReachesTheBox();
    void outputChangesDuringARun();
    void silentBoxFailsToConnect();
    void goneBoxEndsTheRun_data();
    void goneBoxEndsTheRun();
    void lateAnswerDoesNotOutliveAStop();
    void noisyAndSplitAnswers();
    void stopRacingTheStart();
    void boxTypeChangeDropsTheLink();
};

void TestAcquisition::manualStartSamplesWithoutPolling()
{
    Rig rig(1);
    ZAnalogIn *fast = rig.realBox().analogIns()[0];
    ZAnalogIn *slow = rig.realBox().analogIns()[1];
    fast->setSelected(true);
    fast->setInterval(10.0);
    slow->setSelected(true);
    slow->setInterval(50.0);

    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(slow->sampleCount() >= 10, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QCOMPARE(rig.recorder.codes(),
             (QList<int> { SamplingChanged, SampleStarted, SampleFinished, SamplingChanged }));
    QVERIFY(!rig.app.isCommunicating());
    QVERIFY(!rig.realBox().isSampling());

    const QList<int> opcodes = rig.opcodes();
    QVERIFY(!opcodes.contains(ZProtocol::OpDigitInLevel));
    QVERIFY(opcodes.contains(ZProtocol::OpSamples));
    QCOMPARE(opcodes.last(), int(ZProtocol::OpProbe)); // the final word of the run
    const double ratio = double(fast->sampleCount()) / double(slow->sampleCount());
    QVERIFY2(ratio > 2.5 && ratio < 7.5, qPrintable(QString::number(ratio)));
    QVERIFY(strictlyIncreasing(*fast));
    QVERIFY(strictlyIncreasing(*slow));
    QCOMPARE(rig.realBox().digitIns()[0]->sampleCount(), std::size_t(0)); // not selected
}

void TestAcquisition::startTriggers_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<double>("firstMs"); // level of digital input 0 when armed
    QTest::addColumn<double>("decoyMs"); // a change that is not the trigger's edge
    QTest::addColumn<double>("edgeMs"); // the edge that starts the run
    // Digital input 0 of the simulated box is high for 2 s, then low for 2 s.
    QTest::newRow("rising from high") << int(TriggerRising) << 100.0 << 2500.0 << 4100.0;
    QTest::newRow("falling from low") << int(TriggerFalling) << 2500.0 << 4100.0 << 6500.0;
}

void TestAcquisition::startTriggers()
{
    QFETCH(int, trigger);
    QFETCH(double, firstMs);
    QFETCH(double, decoyMs);
    QFETCH(double, edgeMs);
    ZManualClock clock(firstMs);
    Rig rig(1, clock);
    rig.realBox().analogIns()[0]->setSelected(true);
    rig.app.setStartTrigger(trigger);
    rig.recorder.take();

    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.opcodes().count(ZProtocol::OpDigitInLevel) >= 3, RunTimeoutMs);
    clock.setMs(decoyMs);
    const int polls = rig.opcodes().count(ZProtocol::OpDigitInLevel);
    QTRY_VERIFY_WITH_TIMEOUT(rig.opcodes().count(ZProtocol::OpDigitInLevel) >= polls + 3,
                             RunTimeoutMs);
    QVERIFY(!rig.recorder.codes().contains(SampleStarted));
    clock.setMs(edgeMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.codes().contains(SampleStarted), RunTimeoutMs);
    QVERIFY(rig.realBox().isSampling());
    QVERIFY(rig.app.requestStop());
    QCOMPARE(rig.recorder.codes().mid(rig.recorder.codes().size() - 2),
             (QList<int> { SampleFinished, SamplingChanged }));
}

void TestAcquisition::stopByEdgeSelectsDigitalInput0()
{
    ZManualClock clock(2500.0); // digital input 0 low
    Rig rig(10, clock);
    ZAnalogIn *analog = rig.realBox().analogIns()[3];
    ZDigitIn *digitIn0 = rig.realBox().digitIns()[0];
    analog->setSelected(true);
    analog->setInterval(5.0);
    digitIn0->setInterval(100.0);
    rig.app.setStopTrigger(TriggerRising);
    rig.recorder.take();

    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(digitIn0->sampleCount() >= 5, RunTimeoutMs);
    QVERIFY(digitIn0->isSelected());
    QCOMPARE(digitIn0->interval(), 5.0); // as fast as the fastest selected channel
    QVERIFY(!rig.recorder.codes().contains(SampleFinished));
    clock.setMs(4100.0);
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.codes().contains(SampleFinished), RunTimeoutMs);
    QVERIFY(!rig.app.isSampling());
    QVERIFY(!rig.app.isCommunicating());
    QCOMPARE(digitIn0->statuses().last(), true);
    QVERIFY(analog->sampleCount() > 0);
}

void TestAcquisition::stopByTimeOut()
{
    Rig rig(1);
    ZAnalogIn *analog = rig.realBox().analogIns()[0];
    analog->setSelected(true);
    analog->setInterval(20.0);
    rig.app.setStopTrigger(TriggerTimeOut);
    rig.app.setDuration(0.4);
    rig.recorder.take();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.codes().contains(SampleFinished), RunTimeoutMs);
    QVERIFY(timer.elapsed() >= 400);
    QCOMPARE(rig.recorder.codes(),
             (QList<int> { SamplingChanged, SampleStarted, SampleFinished, SamplingChanged }));
    QVERIFY(analog->sampleCount() > 0);
    const double last = analog->times().last();
    QVERIFY2(last < 0.4 + 0.25, qPrintable(QString::number(last)));
}

namespace {

enum ArmedBox { WritesRefused, HealthyBox, WaitingForAFall, PulledCable };

} // namespace

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
    QTRY_VERIFY_WITH_TIMEOUT(rig.opcodes().count(ZProtocol::OpDigitInLevel) >= 2, RunTimeoutMs);
    ZSimulatedBox::Faults refused;
    refused.write = ZSimulatedBox::WriteFault::Fail;
    if (state == WritesRefused)
        rig.box->setFaults(refused);
    if (state == PulledCable) {
        rig.box->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.app.isSampling(), RunTimeoutMs);
        QCOMPARE(rig.recorder.codes(),
                 (QList<int> { SamplingChanged, SampleCanceled, SamplingChanged, BoxLost }));
        QCOMPARE(rig.app.boxLostAtSeconds(), 0.0);
        return;
    }

    const CpuWatch cpu(CpuWatch::WholeProcess);
    const int polls = rig.opcodes().count(ZProtocol::OpDigitInLevel);
    QTest::qWait(500);
    QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
    QVERIFY(rig.app.isSampling());
    if (state != WritesRefused)
        QVERIFY(rig.opcodes().count(ZProtocol::OpDigitInLevel) > polls + 10);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(rig.app.requestStop());
    QVERIFY2(timer.elapsed() < 1000, "a stop must not wait for the poll to time out");
    QCOMPARE(rig.recorder.codes(),
             (QList<int> { SamplingChanged, SampleCanceled, SamplingChanged }));
    QVERIFY(!rig.app.boxLost());
    QVERIFY(!rig.realBox().isSampling());
    QVERIFY(!rig.app.requestStop());
}

void TestAcquisition::secondConnectWhileRunningFails()
{
    Rig rig(1);
    rig.realBox().analogIns()[0]->setSelected(true);
    QVERIFY(rig.app.connectBox());
    QVERIFY(!rig.app.connectBox());
    QVERIFY(rig.app.requestStop());
    QVERIFY(rig.app.connectBox()); // and a new run after the stop
    QTRY_VERIFY_WITH_TIMEOUT(rig.realBox().isSampling(), RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
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
    box.analogIns()[0]->setSelected(true);
    box.analogIns()[0]->setInterval(box.analogIns()[0]->minInterval() * 3);
    if (box.analogIns().size() > 1) {
        box.analogIns()[1]->setSelected(true);
        box.analogIns()[1]->setInterval(7.0);
    }
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
    QTRY_VERIFY_WITH_TIMEOUT(rig.opcodes().count(ZProtocol::OpSamples) >= 2, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    const QList<QByteArray> log = rig.box->commandLog();
    const int first = log.indexOf(toBytes(ZProtocol::probeFrame()), 1); // after the handshake
    QVERIFY(first > 0);
    QCOMPARE(log.mid(first, expected.size()), expected);
}

void TestAcquisition::outputChangesDuringARun()
{
    Rig rig(10);
    ZRealBox &box = rig.realBox();
    box.analogIns()[0]->setSelected(true);
    ZDigitOut *valueOut = box.digitOuts()[1];
    ZDigitOut *pwmOut = box.digitOuts()[0];
    ZAnalogOut *voltageOut = box.analogOuts()[2];
    pwmOut->setOutMode(2);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(box.isSampling(), RunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(rig.box->digitOut(1).told, RunTimeoutMs);
    rig.box->clearCommandLog();

    valueOut->setStatus(true);
    voltageOut->setVoltage(1.25);
    pwmOut->setStatus(true); // PWM mode: stored, not sent
    QTRY_VERIFY_WITH_TIMEOUT(rig.box->digitOut(1).status == 1, RunTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(rig.box->analogOut(2).dacCode, voltageOut->dacCode(), RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
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

void TestAcquisition::silentBoxFailsToConnect()
{
    Rig rig(1);
    ZSimulatedBox::Faults faults;
    faults.silent = true;
    rig.box->setFaults(faults);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!rig.app.connectBox());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!rig.app.isSampling());
    QVERIFY(rig.recorder.codes().isEmpty());

    // Without any bridge at all the start fails as well.
    ZAppObservable noBridge([](int) { return std::unique_ptr<ZUsbBridge>(); });
    noBridge.setBoxType(1);
    QVERIFY(!noBridge.connectBox());
}

namespace {

enum BoxLoss { Unplugged, UnpluggedAfterCommands, Silent };

} // namespace

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
    ZAnalogIn *analog = rig.realBox().analogIns()[0];
    analog->setSelected(true);
    analog->setInterval(5.0);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 20, RunTimeoutMs);
    rig.recorder.take();

    const CpuWatch cpu(CpuWatch::WholeProcess);
    ZSimulatedBox::Faults silent;
    silent.silent = true;
    switch (loss) {
    case Unplugged:
        rig.box->unplug();
        break;
    case UnpluggedAfterCommands:
        rig.box->unplugAfterCommands(10);
        break;
    case Silent:
        rig.box->setFaults(silent);
        break;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!rig.app.isSampling(), RunTimeoutMs);
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QCOMPARE(rig.recorder.codes(), (QList<int> { SampleFinished, SamplingChanged, BoxLost }));
    QVERIFY(!rig.app.isCommunicating());
    QVERIFY(!rig.realBox().isSampling());
    QVERIFY(rig.app.boxLost());

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

    rig.box->replug();
    rig.box->setFaults(ZSimulatedBox::Faults());
    rig.recorder.take();
    QVERIFY(rig.app.connectBox());
    QVERIFY(!rig.app.boxLost());
    QVERIFY(rig.app.boxLostMessage().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.codes().contains(SampleStarted), RunTimeoutMs);
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
    ZAnalogIn *analog = rig.realBox().analogIns()[0];
    analog->setSelected(true);
    analog->setInterval(10.0);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 3, RunTimeoutMs);
    ZSimulatedBox::Faults late;
    late.answerDelayMs = 300;
    rig.box->setFaults(late);
    // Stop just after a late request went out, so that its answer comes well before the
    // echo of the final 0x03.
    const int requests = rig.opcodes().count(ZProtocol::OpSamples);
    QElapsedTimer timer;
    timer.start();
    while (rig.opcodes().count(ZProtocol::OpSamples) < requests + 2
           && timer.elapsed() < RunTimeoutMs)
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
            requestsAtFirstSample.compare_exchange_strong(
                expected, rig.box->commandLog().count(QByteArray::fromHex("aa0120")));
        },
        Qt::DirectConnection);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(requestsAtFirstSample.load() >= 0, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QCOMPARE(requestsAtFirstSample.load(), 1);
}

void TestAcquisition::noisyAndSplitAnswers()
{
    Rig rig(10);
    ZAnalogIn *analog = rig.realBox().analogIns()[0];
    ZEdgeCnt *counter = rig.realBox().edgeCnts()[1];
    analog->setSelected(true);
    analog->setInterval(5.0);
    counter->setSelected(true);
    counter->setInterval(20.0);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 5, RunTimeoutMs);

    ZSimulatedBox::Faults faults;
    faults.noise = { 0x13, 0x00, 0xAA, 0x00, 0x00, 0x00, 0x55 }; // junk and a LEN 0 header
    faults.pieceSize = 3;
    rig.box->setFaults(faults);
    const std::size_t before = analog->sampleCount();
    const std::size_t countsBefore = counter->sampleCount();
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= before + 20, RunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(counter->sampleCount() >= countsBefore + 3, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QVERIFY(strictlyIncreasing(*analog));
}

void TestAcquisition::stopRacingTheStart()
{
    Rig rig(1);
    rig.realBox().analogIns()[0]->setSelected(true);
    for (int round = 0; round < 40; ++round) {
        rig.recorder.take();
        QVERIFY(rig.app.connectBox());
        if (round % 2)
            QCoreApplication::processEvents(); // sometimes let the start through first
        QVERIFY(rig.app.requestStop());
        QCoreApplication::processEvents(); // a queued start arriving late
        QVERIFY(!rig.app.isCommunicating());
        QVERIFY(!rig.app.isSampling());
        QVERIFY(!rig.realBox().isSampling());
        const QList<int> codes = rig.recorder.codes();
        QVERIFY(codes.count(SampleFinished) + codes.count(SampleCanceled) == 1);
        const int finished = codes.indexOf(SampleFinished);
        QVERIFY(finished < 0 || !codes.mid(finished).contains(SampleCanceled));
    }
    // The box was told to stop after every run that reached it.
    const QList<int> opcodes = rig.opcodes();
    if (opcodes.contains(ZProtocol::OpSamples))
        QCOMPARE(opcodes.last(), int(ZProtocol::OpProbe));
}

void TestAcquisition::boxTypeChangeDropsTheLink()
{
    Rig rig(1);
    rig.realBox().analogIns()[0]->setSelected(true);
    QVERIFY(rig.app.connectBox());
    QVERIFY(rig.app.requestStop());
    QVERIFY(rig.app.link());
    rig.app.setBoxType(3);
    QVERIFY(!rig.app.link());
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
