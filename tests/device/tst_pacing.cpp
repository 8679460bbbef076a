#include "devicetestutil.h"

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

#include <future>

namespace {

// An answer to a sample request holding the given records (descriptor and data), in hex.
ZByteArray sampleAnswer(const char *recordsHex)
{
    const QByteArray payload = "\x20" + QByteArray::fromHex(recordsHex);
    return frameOf(QByteArray::fromHex("aa0000") + char(payload.size()) + payload);
}

} // namespace

class TestPacing : public QObject
{
    Q_OBJECT

private slots:
    void commandQueue();
    void monitorThinsAndCarriesLateness();
    void intakeRoutesRecords();
    void stopOnEdge();
};

// Frames leave by priority, equal ones in their order; a push wakes a waiter at once, and a wake()
// ends the next wait even when it came first.
void TestPacing::commandQueue()
{
    // Frames are "aa 02 opcode n", n counting the pushes.
    ZCommandQueue queue;
    unsigned char n = 0;
    for (unsigned char opcode :
         { 0xF0, 0x20, 0x0A, 0x08, 0x0A, 0x02, 0x23, 0x1B, 0x13, 0x0B, 0x03, 0x0A })
        QVERIFY(queue.push(frameOf(QByteArray::fromHex("aa02") + char(opcode) + char(n++))));
    ZByteArray partial(5);
    partial.append(0xAA);
    QVERIFY(!queue.push(partial));
    QStringList order;
    ZByteArray frame(4);
    while (queue.pop(&frame))
        order << QStringLiteral("%1.%2").arg(frame[2], 0, 16).arg(frame[3]);
    QCOMPARE(order.join(' '),
             QStringLiteral("3.10 b.9 13.8 1b.7 23.6 2.5 a.2 a.4 a.11 8.3 20.1 f0.0"));

    std::atomic<long> tid { 0 };
    auto waiter = std::async(std::launch::async, [&] {
        tid = threadId();
        queue.waitForWork(20000);
    });
    QTRY_VERIFY_WITH_TIMEOUT(isAsleep(tid), 5000);
    queue.push(ZProtocol::probeFrame());
    QVERIFY(waiter.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
    QCOMPARE(queue.size(), std::size_t(1));

    queue.wake();
    queue.clear();
    waiter = std::async(std::launch::async, [&queue] { queue.waitForWork(20000); });
    QVERIFY(waiter.wait_for(std::chrono::seconds(10)) == std::future_status::ready);
}

void TestPacing::monitorThinsAndCarriesLateness()
{
    ZManualClock clock;
    ZAnalogIn channel(componentId(AnalogInKind, 0));
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

// Records go to their channels' monitors while sampling, up to the first record of a channel
// without one and only as often as each channel's interval allows.
void TestPacing::intakeRoutesRecords()
{
    ZAnalogIn analog(componentId(AnalogInKind, 2));
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
    bool sampling = false;
    ZSampleIntake intake(
        monitors, [&sampling] { return sampling; }, clock);
    intake.startClock();
    clock.advanceMs(1.0); // every channel is at its 1 ms minimum: all due, nothing carried
    intake.dispatch(sampleAnswer("4001"));
    QCOMPARE(digit.sampleCount(), std::size_t(0));

    sampling = true;
    intake.dispatch(sampleAnswer("02fffffe 4001 8100000100 4101"));
    QCOMPARE(analog.sampleCount(), std::size_t(1));
    QCOMPARE(analog.volts()[0], 10.0 * -2 / 8388607.0);
    QCOMPARE(analog.times()[0], 0.001);
    QCOMPARE(digit.statuses()[0], true);
    QCOMPARE(counter.counts()[0], 256u);
    QCOMPARE(unselected.sampleCount(), std::size_t(0)); // reported, but not selected
    QCOMPARE(intake.appended(), quint64(3));

    // Within the channels' interval nothing more is taken.
    intake.dispatch(sampleAnswer("02000005"));
    QCOMPARE(analog.sampleCount(), std::size_t(1));
    clock.advanceMs(analog.interval());
    intake.dispatch(sampleAnswer("02000005 c0 4001"));
    QCOMPARE(analog.sampleCount(), std::size_t(2));
    QCOMPARE(digit.sampleCount(), std::size_t(1)); // 0xC0 ends the records

    // The unselected counter 0 has no monitor: the digital record behind it is lost.
    clock.advanceMs(1000.0);
    intake.dispatch(sampleAnswer("8000000001 4001"));
    QCOMPARE(digit.sampleCount(), std::size_t(1));
    // Echoes and frames cut inside a record take nothing beyond the last whole record.
    intake.dispatch(sampleAnswer("4000 81000000")); // the counter record a byte short
    QCOMPARE(digit.sampleCount(), std::size_t(2));
    QCOMPARE(counter.sampleCount(), std::size_t(1));
    intake.dispatch(ZProtocol::probeFrame());
    QCOMPARE(intake.appended(), quint64(5));
}

// A stop is asked for at each rising (or falling) edge of the watched digital input, not for the
// level it starts with; an analog input is watched for nothing.
void TestPacing::stopOnEdge()
{
    const struct
    {
        bool rising;
        const char *levels;
        const char *stops; // after each level
    } rows[] = {
        { true, "101", "001" },           { true, "01", "01" },  { true, "111", "000" },
        { true, "11001101", "00001001" }, { false, "10", "01" }, { false, "010", "001" },
    };
    for (const auto &row : rows) {
        ZDigitIn digit(componentId(DigitInKind, 0));
        ZAnalogIn analog(componentId(AnalogInKind, 0));
        ZEdgeDetector detector(row.rising);
        ZStopMonitor monitor(&detector);
        QSignalSpy stops(&monitor, &ZStopMonitor::stopSample);
        QVERIFY(monitor.attach(&analog));
        double t = 0.0;
        const int high = 1;
        analog.append(&t, &high, 1);
        QVERIFY(monitor.attach(&digit));
        QByteArray seen;
        for (const char *level = row.levels; *level; ++level) {
            const int value = *level - '0';
            t += 1.0;
            digit.append(&t, &value, 1);
            seen += stops.count() > seen.count('1') ? '1' : '0';
        }
        QVERIFY2(seen == row.stops, row.levels);
        QVERIFY(!monitor.update(IntervalChanged));
    }
}

QTEST_MAIN(TestPacing)
#include "tst_pacing.moc"
