#include "devicetestutil.h"
#include "tests/common/cputime.h"

#include "device/zanswerassembler.h"
#include "device/zlinkfailure.h"
#include "device/zprotocol.h"
#include "device/zsamplerecord.h"

#include <QtTest>

#include <atomic>
#include <future>
#include <thread>

using namespace ZProtocol;
using Faults = ZSimulatedBox::Faults;
using Echo = ZSimulatedBox::EchoFault;
using Write = ZSimulatedBox::WriteFault;

// The link against the simulated box, clean and with every fault a cable and a box can show. Time
// bounds are loose: the machine is shared.
class TestUsbLink : public QObject
{
    Q_OBJECT

private slots:
    void openChecksTheDeviceCount();
    void sync();
    void silentBoxFailsWithinTheLimit();
    void transactTakesAnyCompleteFrame();
    void calibration();
    void rejectedAnswerIsDroppedAndReadingGoesOn();
    void syncDropsWhatWaitsInTheBridge();
    void aWaitEndsAtOnce();
    void handleWorksInAnotherThread();
};

namespace {

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

} // namespace

void TestUsbLink::openChecksTheDeviceCount()
{
    const struct
    {
        bool plugged;
        int index;
        bool opened;
    } rows[] = { { true, 0, true }, { false, 0, false }, { true, 1, false }, { true, -1, false } };
    for (const auto &row : rows) {
        auto box = std::make_shared<ZSimulatedBox>(8);
        if (!row.plugged)
            box->unplug();
        ZUsbLink link(std::make_shared<ZSimulatedBridge>(box), row.index, 115200);
        QCOMPARE(link.isOpen(), row.opened);
        QCOMPARE(link.handle() != nullptr, row.opened);
        // No open is even tried beyond the device count.
        QCOMPARE(box->openCount(), row.opened ? 1 : 0);
        if (!row.opened) {
            QVERIFY(!link.sync(100));
            QVERIFY(!link.transact(probeFrame(), nullptr, 100));
            QVERIFY(!link.write(probeFrame()));
        }
    }
}

void TestUsbLink::sync()
{
    const struct
    {
        const char *name;
        Faults faults;
        int limitMs;
        bool synced;
    } rows[] = {
        { "clean", Faults(), 400, true },
        { "noise before 0xAA", with(&Faults::noise, hexBytes("0055fe7f")), 400, true },
        { "LEN 0 first", with(&Faults::noise, hexBytes("aa000000")), 400, true },
        { "LEN 1025 first", with(&Faults::noise, hexBytes("aa000401")), 400, true },
        { "single bytes", inPieces(1, 3), 400, true },
        { "two pieces", inPieces(3, 20), 400, true },
        { "late within the probe window", with(&Faults::answerDelayMs, 60), 400, true },
        { "later than the probe window", with(&Faults::answerDelayMs, 150), 400, true },
        { "needs the baud rate", with(&Faults::needsBaudRate, true), 200, true },
        { "echo with another opcode", with(&Faults::echo, Echo::WrongOpcode), 150, false },
        { "echo one byte long", with(&Faults::echo, Echo::ExtraByte), 150, false },
        { "silent", silent, 150, false },
        { "writes fail", with(&Faults::write, Write::Fail), 150, false },
    };
    for (const auto &row : rows) {
        BoxSession session(8, row.faults);
        QVERIFY2(session.link->sync(row.limitMs) == row.synced, row.name);
        const QList<QByteArray> log = session.box->commandLog();
        if (row.synced) {
            // The baud rate is set only for a box that does not hear the default.
            const unsigned baud = row.faults.needsBaudRate ? 115200 : 0;
            QVERIFY2(session.box->hostBaudRate() == baud, row.name);
            // An echo within the window takes one probe.
            if (row.faults.answerDelayMs < ZUsbLink::ProbeWindowMs)
                QVERIFY2(log == QList<QByteArray> { QByteArray::fromHex("aa0103") }, row.name);
        } else if (!row.faults.silent && row.faults.write == Write::None) {
            // A refused echo does not stop the box: it is the link that said no.
            QVERIFY2(log.size() >= 2, row.name);
        }
    }
}

void TestUsbLink::silentBoxFailsWithinTheLimit()
{
    BoxSession session(8, silent);
    const CpuWatch cpu(CpuWatch::ThisThread);
    QVERIFY(!session.link->sync(300));
    QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
    // Two variants of 300 ms each; it kept probing, about one probe per window.
    QVERIFY2(cpu.wallMs() >= 550 && cpu.wallMs() < 3000, qPrintable(cpu.report()));
    const int probes = session.box->commandLog().size();
    QVERIFY2(probes >= 4 && probes <= 12, qPrintable(QString::number(probes)));

    const ZStopwatch watch;
    QVERIFY(!session.link->transact(probeFrame(), nullptr, 200));
    QVERIFY(watch.elapsedMs() >= 190 && watch.elapsedMs() < 2000);
}

void TestUsbLink::transactTakesAnyCompleteFrame()
{
    const ZByteArray rate = rateFrame(320);
    const QByteArray echo = "aa0000041b000140";
    ZByteArray partial(3);
    partial.append(0xAA);
    const struct
    {
        const char *name;
        Faults faults;
        ZByteArray command;
        QByteArray answer; // hex; empty: none, at once
    } rows[] = {
        { "echo with another argument", with(&Faults::echo, Echo::WrongLastByte), rate,
          "aa0000041b000141" },
        { "echo with another opcode", with(&Faults::echo, Echo::WrongOpcode), rate,
          "aa0000041a000140" },
        { "single bytes", inPieces(1, 2), rate, echo },
        { "a long gap", inPieces(5, 40), rate, echo },
        { "noise first", with(&Faults::noise, hexBytes("01020304")), rate, echo },
        { "LEN 0 first", with(&Faults::noise, hexBytes("aa000000")), rate, echo },
        { "oversized header first", with(&Faults::noise, hexBytes("aa7fffff")), rate, echo },
        { "late answer", with(&Faults::answerDelayMs, 200), rate, echo },
        { "samples in pieces", inPieces(2, 1), sampleRequestFrame(), "aa000003204001" },
        { "failed write", with(&Faults::write, Write::Fail), rate, "" },
        { "short write", with(&Faults::write, Write::Short), rate, "" },
        { "incomplete command", Faults(), partial, "" }, // never sent
    };
    for (const auto &row : rows) {
        BoxSession session(8, row.faults);
        ZByteArray got(1);
        const ZStopwatch watch;
        QVERIFY2(session.link->transact(row.command, &got, 3000) == !row.answer.isEmpty(),
                 row.name);
        QVERIFY2(hexOf(got) == row.answer, row.name);
        QVERIFY2(!row.answer.isEmpty() || watch.elapsedMs() < 1000, row.name);
        const QList<QByteArray> sent { bytesOf(row.command) };
        if (!row.answer.isEmpty())
            QVERIFY2(session.box->commandLog() == sent, row.name);
        else if (row.faults.write == Write::None)
            QVERIFY2(session.box->commandLog().isEmpty(), row.name);
    }
}

void TestUsbLink::calibration()
{
    // A late answer for channel 0 must not become channel 1's calibration; the right answer behind
    // it is taken, and alone it is refused.
    const char *stale = "aa00000af0000101800000fffe80";
    const struct
    {
        const char *name;
        Faults faults;
        int channel;
        bool read;
        const char *waiting; // already in the bridge
    } rows[] = {
        { "channel 0", Faults(), 0, true, "" },
        { "channel 3 in pieces", inPieces(4, 5), 3, true, "" },
        { "after noise", with(&Faults::noise, hexBytes("f0f0")), 1, true, "" },
        { "answer for another channel", with(&Faults::calibrationChannelShift, 1), 2, false, "" },
        { "echo fault only", with(&Faults::echo, Echo::ExtraByte), 2, true, "" },
        { "no such channel", Faults(), 4, false, "" },
        { "stale answer, then the right one", Faults(), 1, true, stale },
        { "stale answer alone", silent, 1, false, stale },
    };
    for (const auto &row : rows) {
        BoxSession session(8, row.faults);
        session.box->inject(hexBytes(row.waiting));
        double gain = 1.0;
        double offset = 0.0;
        QVERIFY2(session.link->readCalibration(row.channel, 1, &gain, &offset, 150) == row.read,
                 row.name);
        const Calibration expected
            = row.read ? ZSimulatedBox::calibrationOf(row.channel, 1) : Calibration();
        QVERIFY2(gain == expected.gain && offset == expected.offset, row.name);
    }
}

// A frame the link turns down must not be handed out again: the right answer, arriving a little
// later in a read of its own, is read, within the limit and without spinning.
void TestUsbLink::rejectedAnswerIsDroppedAndReadingGoesOn()
{
    constexpr int LimitMs = 1000;
    for (int scenario = 0; scenario < 3; ++scenario) {
        BoxSession session;
        double gain = 1.0;
        double offset = 0.0;
        std::unique_ptr<CpuWatch> cpu;
        bool succeeded = false;
        if (scenario == 0) { // channel 0's calibration waits before channel 1's
            session.box->setFaults(with(&Faults::answerDelayMs, 40));
            session.box->inject(hexBytes("aa00000af0000101800000fffe80"));
            cpu = std::make_unique<CpuWatch>(CpuWatch::ThisThread);
            succeeded = session.link->readCalibration(1, 1, &gain, &offset, LimitMs);
        } else if (scenario == 1) { // an earlier command's echo arrives first
            session.box->setFaults(with(&Faults::answerDelayMs, 30));
            QVERIFY(session.link->write(rateFrame(320)));
            session.box->setFaults(with(&Faults::answerDelayMs, 70));
            cpu = std::make_unique<CpuWatch>(CpuWatch::ThisThread);
            succeeded = session.link->sync(LimitMs);
            gain = ZSimulatedBox::calibrationOf(1, 1).gain;
            offset = ZSimulatedBox::calibrationOf(1, 1).offset;
        } else { // the first probe's echo comes after its window
            session.box->setFaults(with(&Faults::answerDelayMs, ZUsbLink::ProbeWindowMs + 50));
            QVERIFY(session.link->sync(LimitMs));
            cpu = std::make_unique<CpuWatch>(CpuWatch::ThisThread);
            succeeded = session.link->readCalibration(1, 1, &gain, &offset, LimitMs);
        }
        QVERIFY2(succeeded, qPrintable(QString::number(scenario)));
        QVERIFY2(cpu->wallMs() < LimitMs, qPrintable(cpu->report()));
        QVERIFY2(cpu->isBelow(0.2), qPrintable(cpu->report()));
        QCOMPARE(gain, ZSimulatedBox::calibrationOf(1, 1).gain);
        QCOMPARE(offset, ZSimulatedBox::calibrationOf(1, 1).offset);
    }
}

// An echo of 0x03 left in the bridge (a run's final word, answered late) is not taken for the first
// probe's echo; otherwise every later answer would be one request late.
void TestUsbLink::syncDropsWhatWaitsInTheBridge()
{
    BoxSession session;
    session.box->inject(hexBytes("aa0000010300000403")); // a stale echo and junk
    QVERIFY(session.link->sync(1000));
    QCOMPARE(hexOf(session.ask(rateFrame(320), 1000)), QByteArray("aa0000041b000140"));
}

// A stop request or a pulled cable must end a poll at once, even one that would wait forever, and
// the poll waits without a busy core; an interrupt holds until cleared.
void TestUsbLink::aWaitEndsAtOnce()
{
    for (bool pullTheCable : { false, true }) {
        BoxSession session(8, silent);
        std::atomic<bool> waiting { false };
        auto poll = std::async(std::launch::async, [&] {
            waiting = true;
            const CpuWatch cpu(CpuWatch::ThisThread);
            const bool answered = session.link->transact(digitInLevelFrame(), nullptr, 0);
            return !answered && cpu.isBelow(0.2);
        });
        while (!waiting)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (pullTheCable)
            session.box->unplug();
        else
            session.link->interrupt();
        QVERIFY(poll.wait_for(std::chrono::seconds(3)) == std::future_status::ready);
        QVERIFY(poll.get());

        const ZStopwatch watch;
        QVERIFY(!session.link->sync(1000));
        QVERIFY(watch.elapsedMs() < 500);
        if (pullTheCable) {
            QCOMPARE(session.link->failure(), ZLinkFailure::NoDevice);
        } else {
            session.link->clearInterrupt();
            session.box->setFaults(Faults());
            QVERIFY(session.link->sync(1000));
        }
    }
}

// The communication thread's way: a bare handle taken from the link, used in another thread with
// its own assembler that goes on behind completed frames.
void TestUsbLink::handleWorksInAnotherThread()
{
    BoxSession session(8, inPieces(7, 0));
    QVERIFY(session.link->sync(1000));
    for (int channel = 0; channel < 4; ++channel)
        QVERIFY(session.ask(analogInFrame(channel, 1, channel % 2 == 0), 1000).isComplete());
    ZUsbDevice *device = session.link->handle();

    auto run = std::async(std::launch::async, [device] {
        ZAnswerAssembler assembler;
        int samples = 0;
        int records = 0;
        const ZByteArray request = sampleRequestFrame();
        // Several requests at once: their answers arrive back to back.
        for (int burst = 0; burst < 10; ++burst) {
            for (int i = 0; i < 3; ++i) {
                unsigned written = 0;
                device->write(request.data(), request.length(), &written);
            }
            const ZStopwatch watch;
            while (samples < 3 * (burst + 1) && watch.elapsedMs() < 2000) {
                unsigned waiting = 0;
                if (device->waitForBytes(100, &waiting) != UsbOk)
                    return -1;
                unsigned char buffer[512];
                unsigned got = 0;
                device->read(buffer, std::min(waiting, 512u), &got);
                assembler.feedAll(buffer, got, [&](const ZByteArray &frame) {
                    ZSampleRecordReader reader(frame);
                    ZSampleRecord record;
                    ++samples;
                    while (reader.next(&record))
                        ++records;
                });
            }
        }
        return records;
    });
    QVERIFY(run.wait_for(std::chrono::seconds(20)) == std::future_status::ready);
    // 30 answers of two analog inputs and one digital input each.
    QCOMPARE(run.get(), 90);
}

QTEST_APPLESS_MAIN(TestUsbLink)
#include "tst_usblink.moc"
