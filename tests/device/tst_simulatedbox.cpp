#include "devicetestutil.h"

#include "app/zdevicetypes.h"
#include "device/zprotocol.h"
#include "device/zsamplerecord.h"
#include "device/zusbbackend.h"

#include <QtTest>

#include <cmath>
#include <set>
#include <thread>

using namespace ZProtocol;

// The emulator as the program and the tests see it through a link: what it answers, the signals it
// produces on a manual clock, what it remembers and how it is chosen.
class TestSimulatedBox : public QObject
{
    Q_OBJECT

private slots:
    void recordsCoverEnabledChannels();
    void signalsMoveDeterministically();
    void analogCodesConvertBackToTheSignal();
    void outputsRememberWhatTheyWereTold();
    void calibrationIsPlausiblePerChannel();
    void levelAnswer();
    void commandLogUnderConcurrentTraffic();
    void unplugAfterCommands();
    void lineTiming();
    void backendChoice();
    void bridgeOverride();

private:
    void checkRecords(int type, const QList<int> &analogIns, const QList<int> &counters,
                      const char *records);
    void checkLineTiming(int type, const ZByteArray &command, int burst, int answerBytes,
                         bool timed);
};

namespace {

QString describe(const ZSampleRecord &record)
{
    return QStringLiteral("%1:%2")
        .arg(int(record.kind), 2, 16, QLatin1Char('0'))
        .arg(record.channel);
}

} // namespace

void TestSimulatedBox::recordsCoverEnabledChannels()
{
    const struct
    {
        int type;
        QList<int> analogIns; // selected
        QList<int> counters; // selected
        const char *records;
    } rows[] = {
        { 1, {}, {}, "40:0" },
        { 1, { 0, 1 }, {}, "00:0 00:1 40:0" },
        { 9, { 5 }, { 0 }, "00:5 40:0 80:0" },
        { 10, { 0, 13 }, { 1 }, "00:0 00:13 40:0 40:1 40:2 40:3 40:4 80:1" },
    };
    for (const auto &row : rows)
        checkRecords(row.type, row.analogIns, row.counters, row.records);
}

void TestSimulatedBox::checkRecords(int type, const QList<int> &analogIns,
                                    const QList<int> &counters, const char *records)
{
    BoxSession session(type, {}, 5000.0);
    // Configure twice, the second time with the wanted selection: only the last counts.
    for (bool last : { false, true }) {
        for (int channel = 0; channel < deviceType(type)->analogIns; ++channel) {
            const bool on = last == analogIns.contains(channel);
            QVERIFY(isEchoOf(session.ask(analogInFrame(channel, 1, on)),
                             analogInFrame(channel, 1, on)));
        }
        for (int channel = 0; channel < deviceType(type)->edgeCnts; ++channel) {
            const bool on = last == counters.contains(channel);
            QVERIFY(isEchoOf(session.ask(edgeCounterFrame(channel, on)),
                             edgeCounterFrame(channel, on)));
        }
    }

    session.clock.advanceMs(1500.0);
    const ZByteArray answer = session.ask(sampleRequestFrame());
    ZSampleRecordReader reader(answer);
    QVERIFY(reader.isSampleAnswer());
    QStringList got;
    ZSampleRecord record;
    while (reader.next(&record)) {
        got << describe(record);
        switch (record.kind) {
        case ZRecordKind::AnalogIn:
            QCOMPARE(record.value, std::int64_t(session.box->analogInCode(record.channel, 6500.0)));
            break;
        case ZRecordKind::DigitIn:
            QCOMPARE(record.value, std::int64_t(session.box->digitInLevel(record.channel, 6500.0)));
            break;
        case ZRecordKind::EdgeCnt:
            // Enabled at 5000 ms: 1.5 s of a 10 * (channel + 1) Hz pulse train.
            QCOMPARE(record.value, std::int64_t(15 * (record.channel + 1)));
            break;
        }
    }
    QCOMPARE(got.join(' '), QString::fromLatin1(records));
    QCOMPARE(reader.remaining(), 0u);
}

void TestSimulatedBox::signalsMoveDeterministically()
{
    const ZSimulatedBox box(10);

    // Digital input 0: a square wave of 4 s; the others slower.
    QCOMPARE(box.digitInLevel(0, 0.0), 1);
    QCOMPARE(box.digitInLevel(0, 1999.0), 1);
    QCOMPARE(box.digitInLevel(0, 2000.0), 0);
    QCOMPARE(box.digitInLevel(0, 4000.0), 1);
    QCOMPARE(box.digitInLevel(1, 3000.0), 1);
    QCOMPARE(box.digitInLevel(1, 5000.0), 0);

    // Every analog input moves, differently from the others, and stays inside 80 %.
    std::set<std::int32_t> firstCodes;
    for (int channel = 0; channel < 14; ++channel) {
        double low = 1e9, high = -1e9;
        for (double t = 0.0; t < 20000.0; t += 50.0) {
            const double volts = box.analogInVolts(channel, t);
            low = std::min(low, volts);
            high = std::max(high, volts);
        }
        QVERIFY2(high - low > 4.0, qPrintable(QString::number(channel)));
        QVERIFY(std::abs(low) <= 8.0 + 1e-9 && std::abs(high) <= 8.0 + 1e-9);
        firstCodes.insert(box.analogInCode(channel, 1234.0));
    }
    QCOMPARE(firstCodes.size(), std::size_t(14));
}

void TestSimulatedBox::analogCodesConvertBackToTheSignal()
{
    BoxSession session(4);
    QVERIFY(isEchoOf(session.ask(analogInFrame(2, 4, true)), analogInFrame(2, 4, true)));
    QCOMPARE(session.box->analogInRange(2), 4);

    const Calibration calibration = ZSimulatedBox::calibrationOf(2, 1);
    for (double t : { 0.0, 700.0, 3300.0, 9100.0 }) {
        // The channel's conversion with the calibration the box reports.
        const double volts
            = (10.0 / 4) * calibration.gain * session.box->analogInCode(2, t) / 8388607.0
            + 1e-6 * calibration.offset;
        QVERIFY(std::abs(volts - session.box->analogInVolts(2, t)) < 2.5 / 8388607.0 * 2);
        QVERIFY(std::abs(session.box->analogInVolts(2, t)) <= 0.8 * 2.5 + 1e-9);
    }
}

void TestSimulatedBox::outputsRememberWhatTheyWereTold()
{
    BoxSession session(10);
    QVERIFY(!session.box->analogOut(1).told);

    for (const ZByteArray &frame :
         { analogOutValueFrame(0, 0x1234), analogOutWaveFrame(1, OutModeTriangle, 2500.0),
           digitOutValueFrame(2, 1), digitOutPwmFrame(1, 5000.0, 40), inputModeFrame(2),
           rateFrame(450) }) {
        QVERIFY(isEchoOf(session.ask(frame), frame));
    }

    QCOMPARE(session.box->analogOut(0).outMode, 1);
    QCOMPARE(session.box->analogOut(0).dacCode, 0x1234);
    QCOMPARE(session.box->analogOut(1).outMode, 8);
    QCOMPARE(session.box->analogOut(1).periodUs, 2500u);
    QVERIFY(!session.box->analogOut(2).told);
    QCOMPARE(session.box->digitOut(2).status, 1);
    QCOMPARE(session.box->digitOut(1).outMode, 2);
    QCOMPARE(session.box->digitOut(1).periodUs, 5000u);
    QCOMPARE(session.box->digitOut(1).dutyRatio, 40);
    QCOMPARE(session.box->inputMode(), 2);
    QCOMPARE(session.box->rate(), 450u);

    // The latest value wins.
    QVERIFY(session.ask(digitOutValueFrame(2, 0)).isComplete());
    QCOMPARE(session.box->digitOut(2).status, 0);
}

void TestSimulatedBox::calibrationIsPlausiblePerChannel()
{
    BoxSession session(10);
    std::set<double> gains;
    for (int channel = 0; channel < 14; ++channel) {
        Calibration decoded;
        QVERIFY(decodeCalibration(session.ask(calibrationRequestFrame(channel, 2)), &decoded));
        const Calibration expected = ZSimulatedBox::calibrationOf(channel, 2);
        QVERIFY2(decoded.channel == channel && decoded.setCode == 2 && decoded.gain == expected.gain
                     && decoded.offset == expected.offset,
                 qPrintable(QString::number(channel)));
        QVERIFY(std::abs(decoded.gain - 1.0) < 0.01 && std::abs(decoded.offset) <= 101.0);
        gains.insert(decoded.gain);
    }
    QVERIFY(gains.size() > 1);

    // No answer for an analog input the box does not have.
    QVERIFY(!session.link->transact(calibrationRequestFrame(14, 2), nullptr, 200));
}

void TestSimulatedBox::levelAnswer()
{
    BoxSession session(1, {}, 500.0);
    QCOMPARE(bytesOf(session.ask(digitInLevelFrame())), QByteArray::fromHex("aa0000030800 01"));
    session.clock.setMs(2500.0);
    QCOMPARE(bytesOf(session.ask(digitInLevelFrame())), QByteArray::fromHex("aa00000308 0000"));
}

// The command log is read by a test thread while another thread talks to the box; a frame written
// in two pieces is logged once.
void TestSimulatedBox::commandLogUnderConcurrentTraffic()
{
    BoxSession session(8);
    ZUsbDevice *device = session.link->handle();
    QVERIFY(device);

    std::thread talker([device] {
        const ZByteArray request = sampleRequestFrame();
        for (int i = 0; i < 200; ++i) {
            unsigned written = 0;
            device->write(request.data(), 2, &written);
            device->write(request.data() + 2, 1, &written);
            unsigned waiting = 0;
            device->waitForBytes(1000, &waiting);
            unsigned char buffer[64];
            unsigned got = 0;
            device->read(buffer, sizeof buffer, &got);
        }
    });
    int seen = 0;
    while (seen < 200) {
        const QList<QByteArray> log = session.box->commandLog();
        QVERIFY(log.size() >= seen);
        seen = log.size();
        std::this_thread::yield();
    }
    talker.join();
    const QList<QByteArray> log = session.box->commandLog();
    QCOMPARE(log.size(), 200);
    QVERIFY(std::all_of(log.begin(), log.end(), [](const QByteArray &frame) {
        return frame == QByteArray::fromHex("aa0120");
    }));
    session.box->clearCommandLog();
    QVERIFY(session.box->commandLog().isEmpty());
}

void TestSimulatedBox::unplugAfterCommands()
{
    BoxSession session(1);
    session.box->unplugAfterCommands(2);
    QVERIFY(session.ask(sampleRequestFrame()).isComplete());
    QVERIFY(session.ask(sampleRequestFrame()).isComplete());
    QVERIFY(session.box->isPlugged());
    // The third command pulls the plug: the wait for its answer ends at once.
    const ZStopwatch watch;
    QVERIFY(!session.link->transact(sampleRequestFrame(), nullptr, 5000));
    QVERIFY(watch.elapsedMs() < 2500);
    QVERIFY(!session.box->isPlugged());
    QCOMPARE(session.box->commandLog().size(), 2);

    ZSimulatedBridge bridge(session.box);
    unsigned count = 9;
    QCOMPARE(bridge.deviceCount(&count), int(UsbOk));
    QCOMPARE(count, 0u);

    // Plugged in again, the old handle stays dead but a new open works.
    session.box->replug();
    unsigned written = 0;
    QVERIFY(session.link->handle()->write(probeFrame().data(), 3, &written) != UsbOk);
    QVERIFY(session.link->open(0));
    QVERIFY(session.link->sync(500));
}

// By default an answer is readable only once the command and the answer would have crossed the
// serial line (10 bits a byte at the type's speed) plus the turnaround, and answers queue on the
// line; switched off, answers are there at once.
void TestSimulatedBox::lineTiming()
{
    checkLineTiming(10, sampleRequestFrame(), 10, 81, true); // UX-109 full records, 115200 baud
    checkLineTiming(3, probeFrame(), 1, 5, true); // UX-102 echo at 19200 baud
    checkLineTiming(1, sampleRequestFrame(), 4, 15, true); // UX-100 records, 115200 baud
    checkLineTiming(10, sampleRequestFrame(), 10, 81, false);
}

void TestSimulatedBox::checkLineTiming(int type, const ZByteArray &frame, int burst,
                                       int answerBytes, bool timed)
{
    const QByteArray command = bytesOf(frame);
    BoxSession session(type);
    for (int channel = 0; channel < deviceType(type)->analogIns; ++channel)
        QVERIFY(session.ask(analogInFrame(channel, 1, true)).isComplete());
    for (int channel = 0; channel < deviceType(type)->edgeCnts; ++channel)
        QVERIFY(session.ask(edgeCounterFrame(channel, true)).isComplete());
    session.box->setLineTiming(timed);

    ZUsbDevice *device = session.link->handle();
    const QByteArray written = command.repeated(burst);
    const unsigned expected = unsigned(burst * answerBytes);
    unsigned sent = 0;
    const ZStopwatch watch;
    QCOMPARE(device->write(reinterpret_cast<const unsigned char *>(written.data()),
                           unsigned(written.size()), &sent),
             int(UsbOk));
    unsigned waiting = 0;
    QCOMPARE(device->queueStatus(&waiting), int(UsbOk));
    if (!timed) {
        QCOMPARE(waiting, expected);
        return;
    }
    QCOMPARE(waiting, 0u);
    unsigned received = 0;
    while (received < expected && watch.elapsedMs() < 5000) {
        unsigned char buffer[1024];
        unsigned got = 0;
        QCOMPARE(device->waitForBytes(1000, &waiting), int(UsbOk));
        QCOMPARE(device->read(buffer, sizeof buffer, &got), int(UsbOk));
        received += got;
    }
    QCOMPARE(received, expected);
    // The commands, then the turnaround and the answers back to back.
    const double byteMs = 1000.0 * ZSimulatedBox::BitsPerByte / baudRateOf(type);
    const double lineMs
        = byteMs * (command.size() + burst * answerBytes) + ZSimulatedBox::TurnaroundMs;
    QVERIFY2(
        watch.elapsedMs() >= lineMs - 0.1,
        qPrintable(QStringLiteral("%1 ms for %2 ms of line").arg(watch.elapsedMs()).arg(lineMs)));
}

void TestSimulatedBox::backendChoice()
{
    const struct
    {
        QStringList arguments;
        bool simulate;
    } rows[] = {
        { { "quoravi" }, false },
        { { "quoravi", "--simulate" }, true },
        { { "quoravi", "-x", "--simulate", "y" }, true },
        { { "--simulate" }, false }, // the program named so
        { { "quoravi", "-simulate" }, false },
        { { "quoravi", "--simulate=1" }, false },
    };
    for (const auto &row : rows)
        QVERIFY2(simulateRequested(row.arguments) == row.simulate,
                 qPrintable(row.arguments.join(' ')));
}

void TestSimulatedBox::bridgeOverride()
{
    // Simulation gives a box of the asked type, which answers with its own channels.
    {
        ZUsbLink link(createUsbBridge(true, 3), 0, baudRateOf(3));
        QVERIFY(link.sync(1000));
        ZByteArray answer(1);
        QVERIFY(link.transact(calibrationRequestFrame(2, 1), &answer, 1000));
        QVERIFY(!link.transact(calibrationRequestFrame(3, 1), &answer, 100));
    }

    auto box = std::make_shared<ZSimulatedBox>(1);
    {
        const ZUsbBridgeOverride override(box);
        for (bool simulate : { false, true }) {
            ZUsbLink link(createUsbBridge(simulate, 10), 0, 115200);
            QVERIFY(link.sync(1000));
        }
    }
    QCOMPARE(box->commandLog().size(), 2);
    QCOMPARE(box->openCount(), 2);
}

QTEST_APPLESS_MAIN(TestSimulatedBox)
#include "tst_simulatedbox.moc"
