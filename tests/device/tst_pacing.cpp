#include "device/zchlmonitor.h"
#include "device/zclock.h"
#include "device/zcommandqueue.h"
#include "device/zedgedetector.h"
#include "device/zprotocol.h"
#include "device/zsampleintake.h"
#include "device/zstopmonitor.h"
#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"

#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <thread>

namespace {

// An answer to a sample request holding the given records (descriptor and data), in hex.
ZByteArray sampleAnswer(const char *recordsHex)
{
    const QByteArray payload = "\x20" + QByteArray::fromHex(recordsHex);
    ZByteArray frame(4 + unsigned(payload.size()));
    for (unsigned b : { 0xAAu, 0u, 0u, unsigned(payload.size()) })
        frame.append(static_cast<unsigned char>(b));
    for (char c : payload)
        frame.append(static_cast<unsigned char>(c));
    return frame;
}

class AnalogIn : public ZAnalogIn
{
public:
    explicit AnalogIn(int channel)
        : ZAnalogIn(componentId(AnalogInKind, channel))
    { }
};

} // namespace

class TestPacing : public QObject
{
    Q_OBJECT

private slots:
    void edgeDetector();
    void commandQueueOrder();
    void commandQueueWakes();
    void monitorThinsAndCarriesLateness();
    void intakeRoutesRecords();
    void intakeStopsAtUnmonitoredChannelAndWhileNotSampling();
    void stopMonitorEmitsOnEdge();
};

void TestPacing::edgeDetector()
{
    const struct
    {
        bool target;
        const char *levels;
        const char *fired; // fired() after each level
    } rows[] = {
        { true, "101", "001" },     { true, "01", "01" },  { true, "111", "000" },
        { true, "01101", "01001" }, { false, "10", "01" }, { false, "010", "001" },
    };
    for (const auto &row : rows) {
        ZEdgeDetector detector(row.target);
        QByteArray seen;
        for (const char *level = row.levels; *level; ++level)
            seen += detector.feed(*level == '1') ? '1' : '0';
        QVERIFY2(seen == row.fired, row.levels);
        detector.reset();
        QVERIFY(!detector.fired());
    }
}

void TestPacing::commandQueueOrder()
{
    // Frames are "aa 02 opcode n", n counting the pushes: equal priorities keep their order.
    ZCommandQueue queue;
    unsigned char n = 0;
    for (unsigned char opcode :
         { 0xF0, 0x20, 0x0A, 0x08, 0x0A, 0x02, 0x23, 0x1B, 0x13, 0x0B, 0x03, 0x0A }) {
        ZByteArray frame(4);
        for (unsigned char b : { std::uint8_t(0xAA), std::uint8_t(0x02), opcode, n++ })
            frame.append(b);
        QVERIFY(queue.push(frame));
    }
    ZByteArray partial(5);
    partial.append(0xAA);
    QVERIFY(!queue.push(partial));
    QStringList order;
    ZByteArray frame(4);
    while (queue.pop(&frame))
        order << QStringLiteral("%1.%2").arg(frame[2], 0, 16).arg(frame[3]);
    QCOMPARE(order.join(' '),
             QStringLiteral("3.10 b.9 13.8 1b.7 23.6 2.5 a.2 a.4 a.11 8.3 20.1 f0.0"));
}

void TestPacing::commandQueueWakes()
{
    ZCommandQueue queue;
    QElapsedTimer timer;
    timer.start();
    std::thread pusher([&queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.push(ZProtocol::probeFrame());
    });
    queue.waitForWork(60000);
    pusher.join();
    QCOMPARE(queue.size(), std::size_t(1));
    QVERIFY(timer.elapsed() < 30000); // woken by the push, not by the time limit

    queue.wake();
    timer.restart();
    queue.clear();
    queue.waitForWork(60000); // an earlier wake() ends the next wait
    QVERIFY(timer.elapsed() < 30000);
}

void TestPacing::monitorThinsAndCarriesLateness()
{
    ZManualClock clock;
    AnalogIn channel(0);
    channel.setInterval(10.0);
    ZChlMonitor monitor(&channel, clock);
    QList<int> takenAt;
    for (int step = 1; step <= 500; ++step) { // a 2 ms stream for one second
        clock.advanceMs(2.0);
        if (monitor.due())
            takenAt << step;
    }
    QCOMPARE(takenAt.size(), 100);
    QCOMPARE(takenAt.mid(0, 3), (QList<int> { 5, 10, 15 })); // every fifth sample
    QCOMPARE(monitor.carry(), 0.0);

    clock.advanceMs(13.0); // 3 ms late
    QVERIFY(monitor.due());
    QCOMPARE(monitor.carry(), 3.0);
    QCOMPARE(monitor.msUntilDue(), 7.0);
    clock.advanceMs(6.0);
    QVERIFY(!monitor.due());
    clock.advanceMs(1.0); // 7 ms after the late one is due again
    QVERIFY(monitor.due());
    QCOMPARE(monitor.carry(), 0.0);

    // A jittery 3 ms stream keeps the long-run average at the channel's rate.
    int taken = 0;
    for (int step = 0; step < 3000; ++step) {
        clock.advanceMs(step % 2 ? 2.0 : 4.0);
        taken += monitor.due();
    }
    QVERIFY2(qAbs(taken - 900) <= 1, qPrintable(QString::number(taken)));
}

void TestPacing::intakeRoutesRecords()
{
    AnalogIn analog(2);
    ZDigitIn digit(componentId(DigitInKind, 0));
    ZEdgeCnt counter(componentId(EdgeCntKind, 1));
    ZDigitIn unselected(componentId(DigitInKind, 1));
    analog.setRange(1);
    digit.setSelected(true);
    ZManualClock clock;
    std::vector<std::unique_ptr<ZChlMonitor>> monitors;
    for (ZInChannel *c :
         std::initializer_list<ZInChannel *> { &analog, &counter, &digit, &unselected }) {
        c->setInterval(c->minInterval());
        monitors.push_back(std::make_unique<ZChlMonitor>(c, clock));
    }
    ZSampleIntake intake(
        monitors, [] { return true; }, clock);
    intake.startClock();
    clock.advanceMs(1.0); // every channel is at its 1 ms minimum: all due, nothing carried

    intake.dispatch(sampleAnswer("02fffffe 4001 8100000100 4101"));
    QCOMPARE(analog.sampleCount(), std::size_t(1));
    QCOMPARE(analog.volts()[0], 10.0 * -2 / 8388607.0);
    QCOMPARE(analog.times()[0], 0.001);
    QCOMPARE(digit.statuses()[0], true);
    QCOMPARE(counter.counts()[0], 256u);
    QCOMPARE(unselected.sampleCount(),
             std::size_t(0)); // reported, but not selected
    QCOMPARE(intake.appended(), quint64(3));

    // Within the channels' interval nothing more is taken.
    intake.dispatch(sampleAnswer("02000005"));
    QCOMPARE(analog.sampleCount(), std::size_t(1));
    clock.advanceMs(analog.interval());
    intake.dispatch(sampleAnswer("02000005 c0 02000006"));
    QCOMPARE(analog.sampleCount(), std::size_t(2)); // 0xC0 ends the records

    // Echoes and frames cut inside a record take nothing beyond the last whole record.
    clock.advanceMs(1000.0);
    intake.dispatch(sampleAnswer("4000 81000000")); // the counter record a byte short
    QCOMPARE(digit.sampleCount(), std::size_t(2));
    QCOMPARE(counter.sampleCount(), std::size_t(1));
    intake.dispatch(ZProtocol::probeFrame());
    QCOMPARE(intake.appended(), quint64(5));
}

void TestPacing::intakeStopsAtUnmonitoredChannelAndWhileNotSampling()
{
    ZDigitIn digit(componentId(DigitInKind, 0));
    digit.setSelected(true);
    ZManualClock clock;
    std::vector<std::unique_ptr<ZChlMonitor>> monitors;
    monitors.push_back(std::make_unique<ZChlMonitor>(&digit, clock));
    bool sampling = false;
    ZSampleIntake intake(
        monitors, [&sampling] { return sampling; }, clock);
    clock.advanceMs(5000.0);
    intake.dispatch(sampleAnswer("4001"));
    QCOMPARE(digit.sampleCount(), std::size_t(0));
    sampling = true;
    // The unselected counter 0 has no monitor: the digital record behind it is lost.
    intake.dispatch(sampleAnswer("8000000001 4001"));
    QCOMPARE(digit.sampleCount(), std::size_t(0));
    intake.dispatch(sampleAnswer("4001 8000000001"));
    QCOMPARE(digit.sampleCount(), std::size_t(1));
}

void TestPacing::stopMonitorEmitsOnEdge()
{
    ZDigitIn digit(componentId(DigitInKind, 0));
    AnalogIn analog(0);
    ZEdgeDetector rising(true);
    ZStopMonitor monitor(&rising);
    QSignalSpy stops(&monitor, &ZStopMonitor::stopSample);
    QVERIFY(monitor.attach(&analog)); // not a digital input: watches nothing
    double t = 0.0;
    const int level1 = 1;
    analog.append(&t, &level1, 1);

    QVERIFY(monitor.attach(&digit));
    for (int level : { 1, 1, 0, 0, 1, 1, 0, 1 }) {
        t += 1.0;
        digit.append(&t, &level, 1);
    }
    QCOMPARE(stops.count(), 2); // the rises at the 5th and 8th sample
    QVERIFY(!monitor.update(IntervalChanged));
}

QTEST_MAIN(TestPacing)
#include "tst_pacing.moc"
