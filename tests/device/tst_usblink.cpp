#include "devicetestutil.h"
#include "tests/common/cputime.h"

#include "device/zanswerassembler.h"
#include "device/zclock.h"
#include "device/zlinkfailure.h"
#include "device/zprotocol.h"
#include "device/zsamplerecord.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "device/zusblink.h"

#include <QtTest>

#include <atomic>
#include <future>
#include <thread>

using namespace ZProtocol;
using Faults = ZSimulatedBox::Faults;
Q_DECLARE_METATYPE(ZSimulatedBox::Faults)

// The link against the simulated box, clean and with every fault a cable and a box can
// show. Time bounds are loose: the machine is shared.
class TestUsbLink : public QObject
{
    Q_OBJECT

private slots:
    void openChecksTheDeviceCount_data();
    void openChecksTheDeviceCount();
    void sync_data();
    void sync();
    void silentBoxFailsWithinTheLimit();
    void transactTakesAnyCompleteFrame_data();
    void transactTakesAnyCompleteFrame();
    void calibration_data();
    void calibration();
    void rejectedAnswerIsDroppedAndReadingGoesOn_data();
    void rejectedAnswerIsDroppedAndReadingGoesOn();
    void syncDropsWhatWaitsInTheBridge();
    void aWaitEndsAtOnce_data();
    void aWaitEndsAtOnce();
    void handleWorksInAnotherThread();
};

namespace {

constexpr int Type = 8;

struct Session
{
    explicit Session(const Faults &faults = Faults())
        : box(std::make_shared<ZSimulatedBox>(Type, clock))
        , bridge(std::make_shared<ZSimulatedBridge>(box))
    {
        box->setFaults(faults);
        link = std::make_unique<ZUsbLink>(bridge, 0, box->expectedBaudRate());
    }

    ZManualClock clock; // digital input 0 stays high
    std::shared_ptr<ZSimulatedBox> box;
    std::shared_ptr<ZSimulatedBridge> bridge;
    std::unique_ptr<ZUsbLink> link;
};

Faults withNoise(const char *hex)
{
    Faults faults;
    faults.noise = hexBytes(hex);
    return faults;
}

Faults inPieces(unsigned size, int gapMs)
{
    Faults faults;
    faults.pieceSize = size;
    faults.pieceGapMs = gapMs;
    return faults;
}

} // namespace

void TestUsbLink::openChecksTheDeviceCount_data()
{
    QTest::addColumn<bool>("plugged");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("openAttempts");

    QTest::newRow("index 0") << true << 0 << true << 1;
    QTest::newRow("no device attached") << false << 0 << false << 0;
    QTest::newRow("index beyond the count") << true << 1 << false << 0;
    QTest::newRow("negative index") << true << -1 << false << 0;
}

void TestUsbLink::openChecksTheDeviceCount()
{
    QFETCH(bool, plugged);
    QFETCH(int, index);
    QFETCH(bool, opened);
    QFETCH(int, openAttempts);

    auto box = std::make_shared<ZSimulatedBox>(Type);
    if (!plugged)
        box->unplug();
    ZUsbLink link(std::make_shared<ZSimulatedBridge>(box), index, 115200);
    QCOMPARE(link.isOpen(), opened);
    QCOMPARE(link.handle() != nullptr, opened);
    QCOMPARE(box->openCount(), openAttempts);
    if (!opened) {
        QVERIFY(!link.sync(100));
        QVERIFY(!link.transact(probeFrame(), nullptr, 100));
        QVERIFY(!link.write(probeFrame()));
    }
}

void TestUsbLink::sync_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<bool>("synced");

    QTest::newRow("clean") << Faults() << 400 << true;
    QTest::newRow("noise before 0xAA") << withNoise("0055fe7f") << 400 << true;
    QTest::newRow("header with LEN 0 first") << withNoise("aa000000") << 400 << true;
    QTest::newRow("header with LEN 1025 first") << withNoise("aa000401") << 400 << true;
    QTest::newRow("answer in single bytes") << inPieces(1, 3) << 400 << true;
    QTest::newRow("answer in two pieces") << inPieces(3, 20) << 400 << true;
    Faults late;
    late.answerDelayMs = 60;
    QTest::newRow("late within the probe window") << late << 400 << true;
    Faults later;
    later.answerDelayMs = 150;
    QTest::newRow("later than the probe window") << later << 400 << true;
    Faults baud;
    baud.needsBaudRate = true;
    QTest::newRow("answers once the baud rate is set") << baud << 200 << true;

    Faults echo;
    echo.echo = ZSimulatedBox::EchoFault::WrongOpcode;
    QTest::newRow("echo with another opcode") << echo << 150 << false;
    echo.echo = ZSimulatedBox::EchoFault::ExtraByte;
    QTest::newRow("echo one byte long") << echo << 150 << false;
    Faults silent;
    silent.silent = true;
    QTest::newRow("silent") << silent << 150 << false;
    Faults broken;
    broken.write = ZSimulatedBox::WriteFault::Fail;
    QTest::newRow("writes fail") << broken << 150 << false;
}

void TestUsbLink::sync()
{
    QFETCH(Faults, faults);
    QFETCH(int, limitMs);
    QFETCH(bool, synced);

    Session session(faults);
    QVERIFY(session.link->isOpen());
    QCOMPARE(session.link->sync(limitMs), synced);
    // The baud rate is set only for a box that does not hear the default.
    if (synced)
        QCOMPARE(session.box->hostBaudRate(), faults.needsBaudRate ? 115200u : 0u);
    // An echo within the window takes one probe; a refused echo does not stop the box:
    // it is the link that said no.
    const QList<QByteArray> log = session.box->commandLog();
    if (synced && faults.answerDelayMs < ZUsbLink::ProbeWindowMs)
        QCOMPARE(log, QList<QByteArray> { QByteArray::fromHex("aa0103") });
    if (!synced && !faults.silent && faults.write == ZSimulatedBox::WriteFault::None)
        QVERIFY(log.size() >= 2);
}

void TestUsbLink::silentBoxFailsWithinTheLimit()
{
    Faults silent;
    silent.silent = true;
    Session session(silent);
    const CpuWatch cpu(CpuWatch::ThisThread);
    QVERIFY(!session.link->sync(300));
    QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
    const double elapsed = cpu.wallMs();
    // Two variants of 300 ms each; it kept probing, about one probe per window.
    QVERIFY2(elapsed >= 550 && elapsed < 3000, qPrintable(QString::number(elapsed)));
    const int probes = session.box->commandLog().size();
    QVERIFY2(probes >= 4 && probes <= 12, qPrintable(QString::number(probes)));

    const ZStopwatch transactWatch;
    QVERIFY(!session.link->transact(probeFrame(), nullptr, 200));
    QVERIFY(transactWatch.elapsedMs() >= 190 && transactWatch.elapsedMs() < 2000);
}

void TestUsbLink::transactTakesAnyCompleteFrame_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("answer");

    const QByteArray rate = bytesOf(rateFrame(320));
    const QByteArray rateEcho = QByteArray::fromHex("aa0000041b000140");
    Faults wrong;
    wrong.echo = ZSimulatedBox::EchoFault::WrongLastByte;
    QTest::newRow("echo with another argument")
        << wrong << rate << QByteArray::fromHex("aa0000041b000141");
    wrong.echo = ZSimulatedBox::EchoFault::WrongOpcode;
    QTest::newRow("echo with another opcode")
        << wrong << rate << QByteArray::fromHex("aa0000041a000140");
    QTest::newRow("split into single bytes") << inPieces(1, 2) << rate << rateEcho;
    QTest::newRow("split with a long gap") << inPieces(5, 40) << rate << rateEcho;
    QTest::newRow("noise first") << withNoise("01020304") << rate << rateEcho;
    QTest::newRow("LEN 0 header first") << withNoise("aa000000") << rate << rateEcho;
    QTest::newRow("oversized header first") << withNoise("aa7fffff") << rate << rateEcho;
    Faults late;
    late.answerDelayMs = 200;
    QTest::newRow("late answer") << late << rate << rateEcho;
    QTest::newRow("sample answer in pieces")
        << inPieces(2, 1) << bytesOf(sampleRequestFrame()) << QByteArray::fromHex("aa000003204001");
    // Failed and short writes end at once, however long the limit; no answer.
    Faults bad;
    bad.write = ZSimulatedBox::WriteFault::Fail;
    QTest::newRow("failed write") << bad << rate << QByteArray();
    bad.write = ZSimulatedBox::WriteFault::Short;
    QTest::newRow("short write") << bad << rate << QByteArray();
    // An incomplete frame is never sent at all.
    QTest::newRow("incomplete command") << Faults() << QByteArray::fromHex("aa01") << QByteArray();
}

void TestUsbLink::transactTakesAnyCompleteFrame()
{
    QFETCH(Faults, faults);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, answer);

    Session session(faults);
    ZByteArray got(1);
    ZByteArray toSend(unsigned(command.size()) + (answer.isEmpty() ? 1 : 0));
    for (char byte : command)
        toSend.append(static_cast<unsigned char>(byte));
    const ZStopwatch watch;
    QCOMPARE(session.link->transact(toSend, &got, 3000), !answer.isEmpty());
    if (answer.isEmpty()) {
        QVERIFY(watch.elapsedMs() < 1000);
        if (faults.write == ZSimulatedBox::WriteFault::None)
            QVERIFY(session.box->commandLog().isEmpty());
        return;
    }
    QCOMPARE(bytesOf(got).toHex(' '), answer.toHex(' '));
    QCOMPARE(session.box->commandLog(), QList<QByteArray> { command });
}

void TestUsbLink::calibration_data()
{
    QTest::addColumn<Faults>("faults");
    QTest::addColumn<int>("channel");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QByteArray>("waiting"); // already in the bridge

    const QByteArray none;
    QTest::newRow("channel 0") << Faults() << 0 << true << none;
    QTest::newRow("channel 3 in pieces") << inPieces(4, 5) << 3 << true << none;
    QTest::newRow("after noise") << withNoise("f0f0") << 1 << true << none;
    Faults shifted;
    shifted.calibrationChannelShift = 1;
    QTest::newRow("answer for another channel") << shifted << 2 << false << none;
    Faults echoing;
    echoing.echo = ZSimulatedBox::EchoFault::ExtraByte; // does not touch 0xF0 answers
    QTest::newRow("echo fault only") << echoing << 2 << true << none;
    QTest::newRow("no such channel") << Faults() << 4 << false << none;
    // A late answer for channel 0 must not become channel 1's calibration; the right
    // answer behind it is taken, and alone it is refused.
    const QByteArray stale = QByteArray::fromHex("aa00000af0000101800000fffe80");
    QTest::newRow("stale answer, then the right one") << Faults() << 1 << true << stale;
    Faults silent;
    silent.silent = true;
    QTest::newRow("stale answer alone") << silent << 1 << false << stale;
}

void TestUsbLink::calibration()
{
    QFETCH(Faults, faults);
    QFETCH(int, channel);
    QFETCH(bool, read);
    QFETCH(QByteArray, waiting);

    Session session(faults);
    session.box->inject(std::vector<unsigned char>(waiting.begin(), waiting.end()));
    double gain = 1.0;
    double offset = 0.0;
    QCOMPARE(session.link->readCalibration(channel, 1, &gain, &offset, 150), read);
    if (read) {
        const Calibration expected = ZSimulatedBox::calibrationOf(channel, 1);
        QCOMPARE(gain, expected.gain);
        QCOMPARE(offset, expected.offset);
    } else {
        QCOMPARE(gain, 1.0);
        QCOMPARE(offset, 0.0);
    }
}

namespace {

enum LateAnswer { StaleCalibrationFirst, WrongEchoFirst, EchoAfterTheProbeWindow };

Faults answeringAfter(int delayMs)
{
    Faults faults;
    faults.answerDelayMs = delayMs;
    return faults;
}

} // namespace

// A frame the link turns down must not be handed out again: the right answer, arriving
// a little later in a read of its own, is read, within the limit and without spinning.
void TestUsbLink::rejectedAnswerIsDroppedAndReadingGoesOn_data()
{
    QTest::addColumn<int>("scenario");
    QTest::newRow("stale calibration, then the right one") << int(StaleCalibrationFirst);
    QTest::newRow("wrong echo, then the right echo") << int(WrongEchoFirst);
    QTest::newRow("late echo after the probe window") << int(EchoAfterTheProbeWindow);
}

void TestUsbLink::rejectedAnswerIsDroppedAndReadingGoesOn()
{
    QFETCH(int, scenario);
    constexpr int LimitMs = 1000;
    Session session;
    double gain = 1.0;
    double offset = 0.0;
    std::unique_ptr<CpuWatch> cpu;
    bool succeeded = false;
    switch (scenario) {
    case StaleCalibrationFirst:
        session.box->setFaults(answeringAfter(40));
        session.box->inject(hexBytes("aa00000af0000101800000fffe80")); // channel 0's
        cpu = std::make_unique<CpuWatch>(CpuWatch::ThisThread);
        succeeded = session.link->readCalibration(1, 1, &gain, &offset, LimitMs);
        break;
    case WrongEchoFirst:
        // The echo of an earlier command arrives first, in a read of its own.
        session.box->setFaults(answeringAfter(30));
        QVERIFY(session.link->write(rateFrame(320)));
        session.box->setFaults(answeringAfter(70));
        cpu = std::make_unique<CpuWatch>(CpuWatch::ThisThread);
        succeeded = session.link->sync(LimitMs);
        break;
    case EchoAfterTheProbeWindow:
        // The first probe's echo comes after its window; the second probe's echo then
        // arrives during the calibration read.
        session.box->setFaults(answeringAfter(ZUsbLink::ProbeWindowMs + 50));
        QVERIFY(session.link->sync(LimitMs));
        cpu = std::make_unique<CpuWatch>(CpuWatch::ThisThread);
        succeeded = session.link->readCalibration(1, 1, &gain, &offset, LimitMs);
        break;
    }
    QVERIFY(succeeded);
    QVERIFY2(cpu->wallMs() < LimitMs, qPrintable(cpu->report()));
    QVERIFY2(cpu->isBelow(0.2), qPrintable(cpu->report()));
    if (scenario != WrongEchoFirst) {
        QCOMPARE(gain, ZSimulatedBox::calibrationOf(1, 1).gain);
        QCOMPARE(offset, ZSimulatedBox::calibrationOf(1, 1).offset);
    }
}

// An echo of 0x03 left in the bridge (a run's final word, answered late) is not taken
// for the first probe's echo; otherwise the probe's own echo would be the answer to the
// next command.
void TestUsbLink::syncDropsWhatWaitsInTheBridge()
{
    Session session;
    session.box->inject(hexBytes("aa0000010300000403")); // a stale echo and junk
    QVERIFY(session.link->sync(1000));
    ZByteArray answer(1);
    QVERIFY(session.link->transact(rateFrame(320), &answer, 1000));
    QCOMPARE(bytesOf(answer).toHex(' '), QByteArray("aa 00 00 04 1b 00 01 40"));
}

// A stop request or a pulled cable must end a poll at once, even one that would wait
// forever, and the poll waits without a busy core; an interrupt holds until cleared.
void TestUsbLink::aWaitEndsAtOnce_data()
{
    QTest::addColumn<bool>("pullTheCable");
    QTest::newRow("interrupt") << false;
    QTest::newRow("pulled cable") << true;
}

void TestUsbLink::aWaitEndsAtOnce()
{
    QFETCH(bool, pullTheCable);
    Faults silent;
    silent.silent = true;
    Session session(silent);
    std::atomic<bool> waiting { false };
    auto poll = std::async(std::launch::async, [&] {
        waiting = true;
        const CpuWatch cpu(CpuWatch::ThisThread);
        const bool answered = session.link->transact(digitInLevelFrame(), nullptr, 0);
        return std::make_pair(answered, cpu.isBelow(0.2));
    });
    while (!waiting)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (pullTheCable)
        session.box->unplug();
    else
        session.link->interrupt();
    QVERIFY(poll.wait_for(std::chrono::seconds(3)) == std::future_status::ready);
    const auto result = poll.get();
    QVERIFY(!result.first);
    QVERIFY(result.second);

    const ZStopwatch watch;
    QVERIFY(!session.link->sync(1000));
    QVERIFY(watch.elapsedMs() < 500);
    if (pullTheCable) {
        QCOMPARE(session.link->failure(), ZLinkFailure::NoDevice);
        return;
    }
    session.link->clearInterrupt();
    session.box->setFaults(Faults());
    QVERIFY(session.link->sync(1000));
}

// The communication thread's way: a bare handle taken from the link, used in another
// thread with its own assembler that goes on behind completed frames.
void TestUsbLink::handleWorksInAnotherThread()
{
    Session session(inPieces(7, 0));
    QVERIFY(session.link->sync(1000));
    for (int channel = 0; channel < 4; ++channel)
        QVERIFY(session.link->transact(analogInFrame(channel, 1, channel % 2 == 0), nullptr, 1000));
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
