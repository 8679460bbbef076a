#include "devicetestutil.h"
#include "tests/common/cputime.h"

#include "app/zdevicetypes.h"
#include "device/zanswerassembler.h"
#include "device/zchlmonitor.h"
#include "device/zclock.h"
#include "device/zcommandqueue.h"
#include "device/zedgedetector.h"
#include "device/zlinkfailure.h"
#include "device/zprotocol.h"
#include "device/zsampleintake.h"
#include "device/zsamplerecord.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "device/zstopmonitor.h"
#include "device/zusbbackend.h"
#include "device/zusblink.h"
#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"

#include <QSignalSpy>
#include <QtTest>

#include <sys/syscall.h>
#include <unistd.h>

#include <future>

using namespace ZProtocol;
using Faults = ZSimulatedBox::Faults;
using Echo = ZSimulatedBox::EchoFault;
using Write = ZSimulatedBox::WriteFault;

// The device link from the bytes on the wire up: frames, decoders, the assembler, the command
// queue, the pacing of samples, the link against a simulated box with every fault a cable and a box
// can show, and the box itself. Time bounds are loose: the machine is shared.
class TestUsbLink : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames();
    void answers();
    void assembler();
    void commandQueue();
    void monitorThinsAndCarriesLateness();
    void intakeRoutesRecords();
    void stopOnEdge();
    void exchanges();
    void waitsSleepAndEndAtOnce();
    void sampleRecords();
    void signalsAndOutputs();
    void lineTiming();
    void backendChoice();
};

namespace {

QByteArray hexOf(const ZByteArray &frame)
{
    return bytesOf(frame).toHex();
}

std::vector<unsigned char> hexBytes(const char *hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

ZByteArray frameOf(const QByteArray &bytes)
{
    ZByteArray frame(bytes.isEmpty() ? 1u : unsigned(bytes.size()));
    for (char byte : bytes)
        frame.append(static_cast<unsigned char>(byte));
    return frame;
}

// Records as "kind:channel=value", or "none" when the frame answers no sample request.
QString recordsOf(const ZByteArray &answer)
{
    ZSampleRecordReader reader(answer);
    if (!reader.isSampleAnswer())
        return QStringLiteral("none");
    QStringList records;
    ZSampleRecord record;
    while (reader.next(&record))
        records << QString::asprintf("%02x:%d=%lld", int(record.kind), record.channel,
                                     static_cast<long long>(record.value));
    return records.join(' ');
}

// True while the thread sleeps in the kernel, as in a condition wait. A thread that spins stays
// running or runnable however loaded the machine is, where its share of CPU time may not show it.
bool isAsleep(long tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (tid == 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "S";
}

// A simulated box of one type behind a link, on a clock the test moves.
struct BoxSession
{
    explicit BoxSession(int type = 8, const ZSimulatedBox::Faults &faults = {}, double nowMs = 0)
        : clock(nowMs)
        , box(std::make_shared<ZSimulatedBox>(type, clock))
    {
        box->setFaults(faults);
        const auto bridge = std::make_shared<ZSimulatedBridge>(box);
        link = std::make_unique<ZUsbLink>(bridge, 0, box->expectedBaudRate());
    }

    // The answer to `command`, or an incomplete frame when none came.
    ZByteArray ask(const ZByteArray &command, int limitMs = 2000)
    {
        ZByteArray answer(1);
        return link->transact(command, &answer, limitMs) ? answer : ZByteArray(1);
    }

    ZManualClock clock;
    std::shared_ptr<ZSimulatedBox> box;
    std::unique_ptr<ZUsbLink> link;
};

// The faults of a sound box with one of them changed.
template<class T> Faults with(T Faults::*fault, T value)
{
    Faults faults;
    faults.*fault = value;
    return faults;
}

Faults inPieces(unsigned size, int gapMs)
{
    Faults faults = with(&Faults::pieceSize, size);
    faults.pieceGapMs = gapMs;
    return faults;
}

const Faults silent = with(&Faults::silent, true);
const QByteArray rateEcho = "aa0000041b000140"; // of rateFrame(320)

int opcodeOf(const ZByteArray &frame)
{
    return frame.isComplete() ? frame[2] : -1;
}

// "synced" or "calibrated" (to the box's values) for a probe or a calibration request, the answer
// in hex for another command, "" when the call failed.
QByteArray callOf(BoxSession &session, const ZByteArray &command, int limitMs = 300)
{
    if (opcodeOf(command) == OpProbe)
        return session.link->sync(limitMs) ? "synced" : "";
    if (opcodeOf(command) == OpCalibration) {
        const Calibration box = ZSimulatedBox::calibrationOf(command[3], 1);
        Calibration got { -1, -1, 0.0, 0.0 };
        if (!session.link->readCalibration(command[3], 1, &got.gain, &got.offset, limitMs))
            return "";
        return got.gain == box.gain && got.offset == box.offset ? "calibrated" : "other values";
    }
    ZByteArray answer(1);
    return session.link->transact(command, &answer, 3000) ? hexOf(answer) : "";
}

const QList<int> every { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13 };

// Selects exactly the listed analog inputs and counters of the session's box.
void select(BoxSession &session, const QList<int> &analogIns, const QList<int> &counters)
{
    const ZDeviceType *type = deviceType(session.box->boxType());
    std::vector<ZByteArray> frames;
    for (int channel = 0; channel < type->analogIns; ++channel)
        frames.push_back(analogInFrame(channel, 1, analogIns.contains(channel)));
    for (int channel = 0; channel < type->edgeCnts; ++channel)
        frames.push_back(edgeCounterFrame(channel, counters.contains(channel)));
    for (const ZByteArray &frame : frames)
        QVERIFY(isEchoOf(session.ask(frame), frame));
}

// The outputs told so far ("ao1 mode/code/period", "do1 mode/status/period/duty"), mode, rate.
QString outputsOf(const ZSimulatedBox &box)
{
    QString text = QString::asprintf("mode %d rate %u", box.inputMode(), box.rate());
    for (int channel = 0; channel < 3; ++channel) {
        const ZSimulatedBox::AnalogOutState ao = box.analogOut(channel);
        const ZSimulatedBox::DigitOutState out = box.digitOut(channel);
        if (ao.told)
            text += QString::asprintf(", ao%d %d/%d/%u", channel, ao.outMode, ao.dacCode,
                                      ao.periodUs);
        if (out.told)
            text += QString::asprintf(", do%d %d/%d/%u/%d", channel, out.outMode, out.status,
                                      out.periodUs, out.dutyRatio);
    }
    return text;
}

} // namespace

void TestUsbLink::commandFrames()
{
    const double nan = qQNaN();
    const struct
    {
        const char *name;
        ZByteArray frame;
        QByteArray hex;
    } rows[] = {
        { "analog in selected", analogInFrame(0, 8, true), "aa03130088" },
        { "analog in 13, +-10 V", analogInFrame(13, 1, true), "aa03130d81" },
        { "analog in from an identifier", analogInFrame(0x105, 2, false), "aa03130502" },
        { "rate 24 bits", rateFrame(0x123456), "aa041b123456" },
        { "rate clamped", rateFrame(0x1000000), "aa041bffffff" },
        { "analog out value, 16 bits", analogOutValueFrame(3, 0x1FFFF), "aa05020301ffff" },
        { "sine, period truncated", analogOutWaveFrame(0, OutModeSine, 1234567.9),
          "aa0602000412d687" },
        { "sawtooth, largest period", analogOutWaveFrame(3, OutModeSawtooth, 16777215.0),
          "aa06020310ffffff" },
        { "period beyond 24 bits", analogOutWaveFrame(3, OutModeSine, 1e9), "aa06020304ffffff" },
        { "NaN period", analogOutWaveFrame(0, OutModeSine, nan), "aa06020004000000" },
        { "pwm, limits B", digitOutPwmFrame(0, 4081.6326530612246, 99), "aa070a0002000ff163" },
        { "calibration", calibrationRequestFrame(3, 2), "aa03f00302" },
        // The rate of an interval: 1000 / ms + 0.5, truncated and clamped to 24 bits.
        { "2.2222222222222223 ms", rateFrame(rateOf(2.2222222222222223)), "aa041b0001c2" },
        { "1333 ms rounds up", rateFrame(rateOf(1333.0)), "aa041b000001" },
        { "2000.5 ms", rateFrame(rateOf(2000.5)), "aa041b000000" },
        { "NaN ms", rateFrame(rateOf(nan)), "aa041b000000" },
        { "zero ms", rateFrame(rateOf(0.0)), "aa041bffffff" },
    };
    for (const auto &row : rows)
        QVERIFY2(hexOf(row.frame) == row.hex, qPrintable(row.name + (": " + hexOf(row.frame))));
}

// Calibration answers and sample records decoded, and an echo told from its look-alikes.
void TestUsbLink::answers()
{
    const struct
    {
        const char *hex;
        int channel; // -1: refused
        double gain;
        double offset;
    } rows[] = {
        { "aa00000af0030201800000fffe80", 3, 1.5, -1.5 },
        { "aa00000af00d0200ffffff7fffff", 13, 16777215 / 16777216.0, 32767 + 255 / 256.0 },
        { "aa00000af00101ff000000800000", 1, -1.0, -32768.0 },
        { "aa00000af0020100fff000006340", 2, 0xFFF000 / 16777216.0, 99.25 },
        { "aa00000af1030201800000fffe80", -1, 0, 0 }, // wrong opcode
        { "aa000009f0030201800000fffe", -1, 0, 0 }, // one byte short
        { "aa00000bf0030201800000fffe8000", -1, 0, 0 }, // one byte long
        { "aa00010af0030201800000fffe80", -1, 0, 0 }, // LEN not 10
    };
    for (const auto &row : rows) {
        Calibration got;
        const bool valid = decodeCalibration(frameOf(QByteArray::fromHex(row.hex)), &got);
        QVERIFY2(valid == (row.channel >= 0), row.hex);
        if (valid)
            QVERIFY2(got.channel == row.channel && got.gain == row.gain && got.offset == row.offset,
                     row.hex);
    }
    // The exact echo; then another opcode, another argument, a byte more, a byte less, no 0xAA.
    const char *echoes[] = { "aa000003130088",   "aa000003140088", "aa000003130089",
                             "aa00000413008800", "aa0000021300",   "ab000003130088" };
    for (const char *hex : echoes) {
        const bool echo = isEchoOf(frameOf(QByteArray::fromHex(hex)), analogInFrame(0, 8, true));
        QVERIFY2(echo == (hex == echoes[0]), hex);
    }
    const struct
    {
        const char *hex;
        const char *records;
    } samples[] = {
        { "aa00000c2002fffffe40018100000100", "00:2=-2 40:0=1 80:1=256" },
        { "aa0000092000 7fffff 01800000", "00:0=8388607 00:1=-8388608" },
        { "aa000008 20 bfffffffff 44ff", "80:63=4294967295 40:4=255" }, // level byte kept
        { "aa000007 20 4001 c0 400100", "40:0=1" }, // an invalid descriptor ends
        { "aa000006 20 4000 000102", "40:0=0" }, // a truncated analog record ends
        { "aa000008 20 00000005 800102", "00:0=5" }, // a truncated counter record ends
        { "aa000001 20", "none" },
        { "aa000003 21 4101", "40:1=1" },
        { "aa000003 13 0088", "none" }, // an echo
    };
    for (const auto &row : samples)
        QCOMPARE(recordsOf(frameOf(QByteArray::fromHex(row.hex))),
                 QString::fromLatin1(row.records));
}

// In pieces of any size, from an assembler that starts handshake-sized too, the frames are the
// same; so they are the link's way, stopping at each frame and going on with the bytes behind it.
void TestUsbLink::assembler()
{
    const QByteArray echo = QByteArray::fromHex("aa00000103");
    const QByteArray samples = QByteArray::fromHex("aa00000c2002fffffe40018100000100");
    const QByteArray largest = QByteArray::fromHex("aa000400") + QByteArray(1024, '\x20');
    const QByteArray aaLast = QByteArray::fromHex("aa000001aa");
    const struct
    {
        const char *name;
        QByteArray stream;
        QList<QByteArray> frames;
    } rows[] = {
        { "noise before 0xAA", QByteArray::fromHex("0102ff7f00") + echo, { echo } },
        { "LEN 0", QByteArray::fromHex("aa000000") + echo, { echo } },
        { "LEN 1025", QByteArray::fromHex("aa000401") + samples, { samples } },
        { "LEN 16777215", QByteArray::fromHex("aaffffff") + echo, { echo } },
        { "back to back", echo + samples + echo, { echo, samples, echo } },
        { "incomplete tail", samples + echo.left(4), { samples } },
        { "LEN 1024 is kept, beyond the start size", largest + echo, { largest, echo } },
        { "0xAA last", aaLast + echo, { aaLast, echo } },
    };
    for (const auto &row : rows) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(row.stream.constData());
        const unsigned size = unsigned(row.stream.size());
        for (unsigned initialSize : { 5u, 257u }) {
            for (unsigned piece : { 1u, 2u, 3u, 7u, 64u, 5000u }) {
                ZAnswerAssembler assembler(initialSize);
                QList<QByteArray> got;
                for (unsigned pos = 0; pos < size; pos += piece)
                    assembler.feedAll(bytes + pos, std::min(piece, size - pos),
                                      [&got](const ZByteArray &frame) { got << bytesOf(frame); });
                QVERIFY2(got == row.frames, row.name);
            }
        }
        ZAnswerAssembler link;
        QList<QByteArray> stopped;
        for (unsigned pos = 0, used = 1; pos < size && used > 0; pos += used) {
            used = link.feedUntilFrame(bytes + pos, size - pos);
            if (link.isComplete())
                stopped << bytesOf(link.frame());
        }
        QVERIFY2(stopped == row.frames, row.name);
    }
}

// Frames leave by priority, equal ones in their order; a push wakes a waiter at once, and a wake()
// ends the next wait even when it came first.
void TestUsbLink::commandQueue()
{
    // Frames are "aa 02 opcode n", n counting the pushes.
    ZCommandQueue queue;
    unsigned char n = 0;
    for (unsigned char opcode :
         { 0xF0, 0x20, 0x0A, 0x08, 0x0A, 0x02, 0x23, 0x1B, 0x13, 0x0B, 0x03, 0x0A })
        QVERIFY(queue.push(frameOf(QByteArray::fromHex("aa02") + char(opcode) + char(n++))));
    QVERIFY(!queue.push(ZByteArray(5))); // an incomplete frame
    QStringList order;
    ZByteArray frame(4);
    while (queue.pop(&frame))
        order << QStringLiteral("%1.%2").arg(frame[2], 0, 16).arg(frame[3]);
    QCOMPARE(order.join(' '),
             QStringLiteral("3.10 b.9 13.8 1b.7 23.6 2.5 a.2 a.4 a.11 8.3 20.1 f0.0"));

    std::atomic<long> tid { 0 };
    auto waiter = std::async(std::launch::async, [&] {
        tid = syscall(SYS_gettid);
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

void TestUsbLink::monitorThinsAndCarriesLateness()
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

    clock.advanceMs(13.0); // 3 ms late: the next one is due 7 ms later
    QVERIFY(monitor.due() && monitor.carry() == 3.0 && monitor.msUntilDue() == 7.0);
    clock.advanceMs(6.0);
    QVERIFY(!monitor.due());
    clock.advanceMs(1.0);
    QVERIFY(monitor.due() && monitor.carry() == 0.0);

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
void TestUsbLink::intakeRoutesRecords()
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
    // Samples of the analog, digital, counter and unselected inputs, and the intake's count.
    const auto counts = [&](double ms, const char *answer) {
        clock.advanceMs(ms);
        intake.dispatch(frameOf(QByteArray::fromHex(answer)));
        return QString::asprintf("%zu %zu %zu %zu %llu", analog.sampleCount(), digit.sampleCount(),
                                 counter.sampleCount(), unselected.sampleCount(),
                                 static_cast<unsigned long long>(intake.appended()));
    };
    intake.startClock();
    // Every channel is at its 1 ms minimum: all due, nothing carried.
    QCOMPARE(counts(1.0, "aa000003 20 4001"), QStringLiteral("0 0 0 0 0")); // not sampling yet
    sampling = true;
    QCOMPARE(counts(0.0, "aa00000e 20 02fffffe 4001 8100000100 4101"), QStringLiteral("1 1 1 0 3"));
    QCOMPARE(analog.volts()[0], 10.0 * -2 / 8388607.0);
    QCOMPARE(analog.times()[0], 0.001);
    QCOMPARE(digit.statuses()[0], true);
    QCOMPARE(counter.counts()[0], 256u);
    // Within the channels' interval nothing more is taken; 0xC0 ends the records.
    QCOMPARE(counts(0.0, "aa000005 20 02000005"), QStringLiteral("1 1 1 0 3"));
    QCOMPARE(counts(analog.interval(), "aa000008 20 02000005 c0 4001"),
             QStringLiteral("2 1 1 0 4"));
    // The unselected counter 0 has no monitor: the digital record behind it is lost.
    QCOMPARE(counts(1000.0, "aa000008 20 8000000001 4001"), QStringLiteral("2 1 1 0 4"));
    // Frames cut inside a record and echoes take nothing beyond the last whole record.
    QCOMPARE(counts(0.0, "aa000007 20 4000 81000000"), QStringLiteral("2 2 1 0 5"));
    QCOMPARE(counts(0.0, "aa000003 13 0088"), QStringLiteral("2 2 1 0 5"));
}

// A stop is asked for at each rising (or falling) edge of the watched digital input, not for the
// level it starts with; an analog input is watched for nothing.
void TestUsbLink::stopOnEdge()
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

// One call of the link (chosen by the frame) on a box with one fault. After a sync the link is in
// step: the next answer is the next command's, and a calibration is read past a late echo. A late
// answer for another channel is not taken, nor handed out again once turned down.
void TestUsbLink::exchanges()
{
    const ZByteArray probe = probeFrame();
    const ZByteArray rate = rateFrame(320);
    const auto calibration = [](int channel) {
        return calibrationRequestFrame(channel, 1);
    };
    const char *stale = "aa00000af0000101800000fffe80"; // channel 0's calibration
    const struct
    {
        const char *name;
        Faults faults;
        ZByteArray command;
        QByteArray result; // "synced", "calibrated" (to the box's values), an answer; "": failed
        const char *waiting = ""; // already in the bridge
    } rows[] = {
        { "noise before 0xAA", with(&Faults::noise, hexBytes("0055fe7f")), probe, "synced" },
        { "single bytes", inPieces(1, 3), probe, "synced" },
        { "late within the probe window", with(&Faults::answerDelayMs, 60), probe, "synced" },
        { "later than the probe window", with(&Faults::answerDelayMs, 150), probe, "synced" },
        { "needs the baud rate", with(&Faults::needsBaudRate, true), probe, "synced" },
        // A stale echo of 0x03 (a run's final word, answered late) is not the first probe's.
        { "a stale echo and junk waiting", Faults(), probe, "synced", "aa0000010300000403" },
        { "probe echo with another opcode", with(&Faults::echo, Echo::WrongOpcode), probe, "" },
        { "probe echo one byte long", with(&Faults::echo, Echo::ExtraByte), probe, "" },
        { "silent", silent, probe, "" },
        { "writes fail", with(&Faults::write, Write::Fail), probe, "" },
        { "echo with another argument", with(&Faults::echo, Echo::WrongLastByte), rate,
          "aa0000041b000141" },
        { "echo with another opcode", with(&Faults::echo, Echo::WrongOpcode), rate,
          "aa0000041a000140" },
        { "a long gap", inPieces(5, 40), rate, rateEcho },
        { "oversized header first", with(&Faults::noise, hexBytes("aa7fffff")), rate, rateEcho },
        { "late answer", with(&Faults::answerDelayMs, 200), rate, rateEcho },
        { "samples in pieces", inPieces(2, 1), sampleRequestFrame(), "aa000003204001" },
        { "failed write", with(&Faults::write, Write::Fail), rate, "" },
        { "short write", with(&Faults::write, Write::Short), rate, "" },
        { "incomplete command", Faults(), ZByteArray(3), "" }, // never sent
        { "channel 3 in pieces", inPieces(4, 5), calibration(3), "calibrated" },
        { "for another channel", with(&Faults::calibrationChannelShift, 1), calibration(2), "" },
        { "no such channel", Faults(), calibration(4), "" },
        { "stale, then the right one", Faults(), calibration(1), "calibrated", stale },
        { "stale, the right one later", with(&Faults::answerDelayMs, 40), calibration(1),
          "calibrated", stale },
        { "stale alone", silent, calibration(1), "", stale },
    };
    for (const auto &row : rows) {
        BoxSession session(8, row.faults);
        session.box->inject(hexBytes(row.waiting));
        const ZStopwatch watch;
        const QByteArray result = callOf(session, row.command);
        QVERIFY2(result == row.result, qPrintable(row.name + (": " + result)));
        const QList<QByteArray> log = session.box->commandLog();
        if (opcodeOf(row.command) == OpProbe && result.isEmpty()) {
            QVERIFY2(session.link->failure() == ZLinkFailure::NoAnswer, row.name);
            // A refused echo does not stop the box: it is the link that said no.
            QVERIFY2(log.size() >= 2 || row.faults.silent || row.faults.write != Write::None,
                     row.name);
        } else if (opcodeOf(row.command) == OpProbe) {
            // The baud rate is set only for a box that does not hear the default.
            QVERIFY2(session.box->hostBaudRate() == (row.faults.needsBaudRate ? 115200u : 0u),
                     row.name);
            // An echo within the window takes one probe.
            if (row.faults.answerDelayMs < ZUsbLink::ProbeWindowMs) {
                QVERIFY2(log == QList<QByteArray> { bytesOf(probe) }, row.name);
                QVERIFY2(callOf(session, rate) == rateEcho, row.name);
            }
            QVERIFY2(callOf(session, calibration(1), 1000) == "calibrated", row.name);
        } else if (opcodeOf(row.command) != OpCalibration) {
            // Answered, the command went once; failed, nothing whole reached the box.
            const QList<QByteArray> sent { bytesOf(row.command) };
            QVERIFY2(log == (result.isEmpty() ? QList<QByteArray>() : sent), row.name);
            QVERIFY2(!result.isEmpty() || watch.elapsedMs() < 1000, row.name);
        }
    }
}

// A wait sleeps till a silent box's limit, a stop request or a pulled cable ends it, the last two
// at once even without a limit; an interrupt holds until cleared.
void TestUsbLink::waitsSleepAndEndAtOnce()
{
    enum End { Limit, Interrupt, Unplug };
    for (End end : { Limit, Interrupt, Unplug }) {
        BoxSession session(8, silent);
        std::atomic<long> tid { 0 };
        const ZStopwatch watch;
        auto wait = std::async(std::launch::async, [&] {
            tid = syscall(SYS_gettid);
            const CpuWatch cpu(CpuWatch::ThisThread);
            const bool answered = end == Limit
                ? session.link->sync(500)
                : session.link->transact(digitInLevelFrame(), nullptr, 0);
            return answered || !cpu.isBelow(0.2) ? "answered or busy: " + cpu.report() : QString();
        });
        // A busy wait is never seen asleep, however little CPU a loaded machine gives it.
        const bool slept = QTest::qWaitFor([&] { return isAsleep(tid); }, 5000);
        if (end == Interrupt)
            session.link->interrupt();
        else if (end == Unplug)
            session.box->unplug();
        QVERIFY(wait.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        const QString failure = wait.get();
        QVERIFY2(slept && failure.isEmpty(), qPrintable(failure));
        if (end == Limit) {
            // Two variants of 500 ms each, probing about once per window.
            QVERIFY2(watch.elapsedMs() >= 950, qPrintable(QString::number(watch.elapsedMs())));
            const int probes = session.box->commandLog().size();
            QVERIFY2(probes >= 6 && probes <= 20, qPrintable(QString::number(probes)));
            const ZStopwatch transact;
            QVERIFY(!session.link->transact(probeFrame(), nullptr, 200));
            QVERIFY(transact.elapsedMs() >= 190 && transact.elapsedMs() < 2000);
        } else {
            const ZStopwatch again;
            QVERIFY(!session.link->sync(1000));
            QVERIFY(again.elapsedMs() < 500);
        }
        if (end == Interrupt) {
            session.link->clearInterrupt();
            session.box->setFaults(Faults());
            QVERIFY(session.link->sync(1000));
        }
        QVERIFY(end != Unplug || session.link->failure() == ZLinkFailure::NoDevice);
        // No open is tried beyond the device count; a link without a device refuses every call.
        QVERIFY(!session.link->open(end == Limit ? -1 : end == Interrupt ? 1 : 0));
        QCOMPARE(session.box->openCount(), 1);
        QVERIFY(!session.link->handle() && !session.link->write(probeFrame()));
        QVERIFY(!session.link->sync(100) && !session.link->transact(probeFrame(), nullptr, 100));
    }
}

// One record per selected analog input ("code" when it is the signal's), each digital input (a
// square wave of 4 * (i + 1) s, high first) and each selected counter (10 * (i + 1) Hz from its
// selection at 5 s); the level answer tells digital input 0.
void TestUsbLink::sampleRecords()
{
    const char *ux109 = "00:0=code 00:13=code 40:0=0 40:1=0 40:2=0 40:3=1 40:4=1 80:1=30";
    const struct
    {
        int type;
        QList<int> analogIns;
        QList<int> counters;
        double atMs;
        const char *records;
    } rows[] = {
        { 1, {}, {}, 5000.0, "40:0=1" },
        { 1, { 0, 1 }, {}, 6500.0, "00:0=code 00:1=code 40:0=0" },
        { 9, { 5 }, { 0 }, 5500.0, "00:5=code 40:0=1 80:0=5" },
        { 10, { 0, 13 }, { 1 }, 6500.0, ux109 },
    };
    for (const auto &row : rows) {
        BoxSession session(row.type, {}, 5000.0);
        // Selected twice, the second time as wanted: only the last counts.
        select(session, every, every);
        select(session, row.analogIns, row.counters);
        session.clock.setMs(row.atMs);
        QString expected = QString::fromLatin1(row.records);
        for (int channel : row.analogIns)
            expected.replace(
                QString::asprintf(":%d=code", channel),
                QString::asprintf(":%d=%d", channel, session.box->analogInCode(channel, row.atMs)));
        QCOMPARE(recordsOf(session.ask(sampleRequestFrame())), expected);
        QCOMPARE(hexOf(session.ask(digitInLevelFrame())),
                 "aa00000308000" + QByteArray::number(session.box->digitInLevel(0, row.atMs)));
    }
}

// Each analog input moves on its own within 80 % of its range, and its code converts back with the
// calibration the box reports, near a gain of 1. The outputs remember what they were last told.
void TestUsbLink::signalsAndOutputs()
{
    BoxSession session(10);
    QVERIFY(isEchoOf(session.ask(analogInFrame(2, 4, true)), analogInFrame(2, 4, true)));
    const int setCode = deviceType(10)->calibrationSetCode;
    QSet<std::int32_t> codes;
    for (int channel = 0; channel < 14; ++channel) {
        Calibration c { -1, -1, 0.0, 0.0 };
        QVERIFY(session.link->readCalibration(channel, setCode, &c.gain, &c.offset, 1000));
        QVERIFY(qAbs(c.gain - 1.0) < 0.01 && qAbs(c.offset) <= 101.0);
        const double fullScale = 10.0 / session.box->analogInRange(channel);
        const double perCode = fullScale * c.gain / 8388607.0;
        double low = 1e9;
        double high = -1e9;
        for (double t = 0.0; t < 20000.0; t += 50.0) {
            const double volts = session.box->analogInVolts(channel, t);
            const double back = perCode * session.box->analogInCode(channel, t) + 1e-6 * c.offset;
            QVERIFY(qAbs(back - volts) < 2 * fullScale / 8388607.0);
            low = std::min(low, volts);
            high = std::max(high, volts);
        }
        QVERIFY2(high - low > 0.5 * fullScale && std::max(-low, high) <= 0.8 * fullScale + 1e-9,
                 qPrintable(QString::number(channel)));
        codes.insert(session.box->analogInCode(channel, 1234.0));
    }
    QCOMPARE(codes.size(), 14);

    QCOMPARE(outputsOf(*session.box), QStringLiteral("mode 0 rate 0"));
    for (const ZByteArray &frame :
         { analogOutValueFrame(0, 0x1234), analogOutWaveFrame(1, OutModeTriangle, 2500.0),
           digitOutValueFrame(2, 0), digitOutPwmFrame(1, 5000.0, 40), inputModeFrame(2),
           rateFrame(450), digitOutValueFrame(2, 1) })
        QVERIFY(isEchoOf(session.ask(frame), frame));
    QCOMPARE(outputsOf(*session.box),
             QStringLiteral(
                 "mode 2 rate 450, ao0 1/4660/0, ao1 8/0/2500, do1 2/0/5000/40, do2 1/1/0/0"));
}

// Commands written at once in two pieces each, from another thread than the opener's, are all
// answered, no sooner than commands and answers cross the serial line (10 bits a byte at the type's
// speed) plus the turnaround; untimed, at once. The log, read meanwhile, holds each command once.
void TestUsbLink::lineTiming()
{
    const struct
    {
        int type;
        ZByteArray command;
        int burst;
        unsigned answerBytes;
        bool timed;
    } rows[] = {
        { 10, sampleRequestFrame(), 10, 81, true }, // UX-109 full records, 115200 baud
        { 3, probeFrame(), 1, 5, true }, // UX-102 echo at 19200 baud
        { 10, sampleRequestFrame(), 10, 81, false },
    };
    constexpr int Rounds = 5;
    for (const auto &row : rows) {
        BoxSession session(row.type);
        select(session, every, every);
        session.box->setLineTiming(row.timed);
        session.box->clearCommandLog();
        const QByteArray command = bytesOf(row.command);
        const unsigned expected = row.burst * row.answerBytes;
        const double lineMs = 1000.0 * ZSimulatedBox::BitsPerByte / baudRateOf(row.type)
                * (command.size() + expected)
            + ZSimulatedBox::TurnaroundMs;
        // The quickest of a few rounds (-1: a fault), so a late wake-up hides no early answer.
        auto rounds = std::async(std::launch::async, [&, device = session.link->handle()] {
            const auto *bytes = reinterpret_cast<const unsigned char *>(command.constData());
            double quickestMs = 1e9;
            for (int round = 0; round < Rounds; ++round) {
                const ZStopwatch watch;
                unsigned count = 0;
                for (int i = 0; i < row.burst; ++i) {
                    device->write(bytes, 2, &count);
                    device->write(bytes + 2, unsigned(command.size()) - 2, &count);
                }
                if (!row.timed && (device->queueStatus(&count) != UsbOk || count != expected))
                    return -1.0;
                unsigned received = 0;
                while (received < expected) {
                    unsigned char buffer[1024];
                    if (device->waitForBytes(2000, &count) != UsbOk || count == 0
                        || device->read(buffer, sizeof buffer, &count) != UsbOk)
                        return -1.0;
                    received += count;
                }
                if (received != expected)
                    return -1.0;
                quickestMs = std::min(quickestMs, watch.elapsedMs());
            }
            return quickestMs;
        });
        while (rounds.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QVERIFY(session.box->commandLog().size() <= Rounds * row.burst); // read meanwhile
        const double quickestMs = rounds.get();
        QVERIFY2(quickestMs >= 0.0 && (!row.timed || quickestMs >= lineMs - 0.1),
                 qPrintable(QStringLiteral("%1 ms for %2 ms of line").arg(quickestMs).arg(lineMs)));
        const QList<QByteArray> log = session.box->commandLog();
        QVERIFY(log.size() == Rounds * row.burst && log.count(command) == log.size());
    }
}

// "--simulate" after the program's name chooses the simulation, which gives a box of the asked
// type; a box set by a test takes the place of either.
void TestUsbLink::backendChoice()
{
    const struct
    {
        QStringList arguments;
        bool simulate;
    } rows[] = {
        { { "quoravi", "--simulate" }, true },
        { { "quoravi", "-x", "--simulate", "y" }, true },
        { { "--simulate" }, false }, // the program named so
        { { "quoravi", "--simulate=1" }, false },
    };
    for (const auto &row : rows)
        QVERIFY2(simulateRequested(row.arguments) == row.simulate,
                 qPrintable(row.arguments.join(' ')));

    ZUsbLink simulated(createUsbBridge(true, 3), 0, baudRateOf(3));
    QVERIFY(simulated.sync(1000));
    QVERIFY(simulated.transact(calibrationRequestFrame(2, 1), nullptr, 1000));
    QVERIFY(!simulated.transact(calibrationRequestFrame(3, 1), nullptr, 100));

    // That box answers two probes and pulls the plug at the next command.
    auto box = std::make_shared<ZSimulatedBox>(1);
    box->unplugAfterCommands(2);
    {
        const ZUsbBridgeOverride override(box);
        int link = 0;
        for (bool simulate : { false, true, true })
            QCOMPARE(ZUsbLink(createUsbBridge(simulate, 10), 0, 115200).sync(1000), ++link < 3);
    }
    QCOMPARE(box->commandLog().size(), 2);
    QCOMPARE(box->openCount(), 3);
}

QTEST_GUILESS_MAIN(TestUsbLink)
#include "tst_usblink.moc"
