#include "devicetestutil.h"

#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zftdibridge.h"
#include "device/zimgybox.h"
#include "device/zlinecapacity.h"
#include "device/zlinkfailure.h"
#include "device/zrealbox.h"
#include "device/zrunconfig.h"
#include "device/zsimulatedbox.h"
#include "device/zusblink.h"
#include "ftdistandin/zftdistandin.h"
#include "tests/common/coderecorder.h"
#include "tests/common/cputime.h"
#include "tests/common/fakeoutputwriter.h"

#include <QtTest>

using namespace ftdistandin;

namespace {

constexpr int RunTimeoutMs = 15000;
constexpr int NoUsb = -2, EmptyBus = -1; // bus rows beside the refusals of a listed device

// A box on a real serial line: it hears nothing until the host sets its baud rate, and
// libftdi opens every chip at 9600.
Device lineDevice(int boxType, OpenRefusal refusal = OpenRefusal::None)
{
    Device device { std::make_shared<ZSimulatedBox>(boxType) };
    ZSimulatedBox::Faults faults;
    faults.needsBaudRate = true;
    device.box->setFaults(faults);
    device.refusal = refusal;
    return device;
}

// The application model on the libftdi backend, built against the stand-in.
std::unique_ptr<ZAppObservable> ftdiApp(int boxType)
{
    auto app = std::make_unique<ZAppObservable>(
        [](int) -> std::unique_ptr<ZUsbBridge> { return std::make_unique<ZFtdiBridge>(); });
    app->setBoxType(boxType);
    return app;
}

// Interval limits as "minimum <= interval <= maximum".
QString limits(double minimum, double interval, double maximum)
{
    return QString::asprintf("%.17g <= %.17g <= %.17g", minimum, interval, maximum);
}

// The limits of each channel; the run frames show that each id names its place.
template<class Channel> QStringList limitsOf(const std::vector<Channel *> &channels)
{
    QStringList each;
    for (const Channel *c : channels)
        each << limits(c->minInterval(), c->interval(), c->maxInterval());
    return each;
}

void appendOne(ZInChannel *channel, double time)
{
    const int raw = 1;
    channel->append(&time, &raw, 1);
}

// Recorders writing "name:code" and "name:detached" into one journal, to show the order.
struct Journal
{
    QStringList lines;
    std::vector<std::unique_ptr<CodeRecorder<ZComponent>>> recorders;
    CodeRecorder<ZBox> box { "box", &lines };

    void watch(ZComponent *channel, const QString &name)
    {
        recorders.push_back(std::make_unique<CodeRecorder<ZComponent>>(name, &lines));
        recorders.back()->attach(channel);
    }
    QStringList take() { return std::exchange(lines, QStringList()); }
};

struct TypeRow
{
    int type, analogIns, digitIns, edgeCnts, analogOuts, rangeMask, range, digitOutModes;
    double minAnalog, minDigital, maxVoltage;
    QStringList digitOuts; // the interval limits of each
};

// The frames of a run in hex, its rate as runRate() gives it, and what it asks of the serial
// line: a request and its answer per record, at the pace of the fastest selected input,
// against baud rate / 10 bytes per second.
QStringList runOf(const ZRealBox &box)
{
    QStringList hex;
    for (const ZByteArray &frame : runConfiguration(box))
        hex << QString::fromLatin1(bytesOf(frame).toHex(' '));
    const ZLineLoad load = lineLoad(box);
    return hex << QString::number(runRate(box))
               << QString::asprintf("%g B/s, %g/s, %u B, %g B/s, %.2f/s",
                                    load.capacityBytesPerSecond, load.requestsPerSecond,
                                    load.bytesPerRecord, load.demandBytesPerSecond,
                                    load.reachableRecordsPerSecond);
}

// "aa 03 13 <channel> <range | selected>" for analog inputs first to last-1.
QStringList analogInFrames(int first, int last, const char *rangeByte)
{
    QStringList frames;
    for (int channel = first; channel < last; ++channel)
        frames << QStringLiteral("aa 03 13 %1 %2")
                      .arg(channel, 2, 16, QLatin1Char('0'))
                      .arg(rangeByte);
    return frames;
}

void select(ZInChannel *channel, bool selected, double intervalMs)
{
    channel->setSelected(selected);
    channel->setInterval(intervalMs);
}

} // namespace

Q_DECLARE_METATYPE(TypeRow)
Q_DECLARE_METATYPE(ZLinkFailure)

// A real box: channels per type, sampling and outputs, run frames and line load; then the box
// on the libftdi backend, built against a stand-in for libftdi1 with simulated boxes behind it.
class TestBoxes : public QObject
{
    Q_OBJECT

private slots:
    // First: the playback identifiers count from the start of the process.
    void samplingOutputsAndDestruction();
    void channelsPerType_data();
    void channelsPerType();
    void framesRateAndLineLoad();
    void failedConnectionSaysWhy_data();
    void failedConnectionSaysWhy();
    void runsThroughTheBackend_data();
    void runsThroughTheBackend();
    void bytesAndErrorsBelowTheLink();
};

// A playback box starts empty, whatever its type, and takes channels one by one. A real box
// starts outputs, then inputs in kind order, the box last; inputs clear their series on start
// and keep them on stop; a sample in any kind counts; only a sampling output writes through
// the owner. Destroyed, a box lets go of its outputs, its observers, then its inputs.
void TestBoxes::samplingOutputsAndDestruction()
{
    Journal journal;
    auto playback = std::make_unique<ZImgyBox>(3);
    QCOMPARE(playback->id(), 0x1000);
    QCOMPARE(ZImgyBox(0).id(), 0x1001);
    QVERIFY(playback->analogIns().empty() && playback->digitIns().empty());
    QVERIFY(!playback->addAnalogIn(nullptr) && !playback->addEdgeCnt(nullptr));
    QVERIFY(playback->addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0))));
    QVERIFY(playback->addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 1))));
    // Handing over a channel the box already owns is refused, and it stays owned once.
    QVERIFY(!playback->addAnalogIn(std::unique_ptr<ZAnalogIn>(playback->analogIns()[0])));
    QCOMPARE(limitsOf(playback->analogIns()).size(), 2);
    journal.box.attach(playback.get());
    journal.watch(playback->analogIns()[1], "pb1");
    playback.reset();
    QCOMPARE(journal.take(), (QStringList { "box:detached", "pb1:detached" }));

    FakeOutputWriter owner;
    auto box = std::make_unique<ZRealBox>(&owner, 8);
    appendOne(box->analogIns()[1], 0.5);
    appendOne(box->edgeCnts()[0], 0.5);
    journal.box.attach(box.get());
    journal.watch(box->analogIns()[1], "ai1");
    journal.watch(box->digitIns()[0], "di0");
    journal.watch(box->edgeCnts()[0], "cnt0");
    journal.watch(box->analogOuts()[0], "ao0");
    journal.watch(box->digitOuts()[1], "do1");
    box->analogOuts()[0]->setVoltage(3.0);
    journal.take();

    QVERIFY(box->startSampling());
    QCOMPARE(journal.take(),
             (QStringList { "ao0:0", "do1:0", "ai1:203", "ai1:0", "di0:0", "cnt0:203", "cnt0:0",
                            "box:0" }));
    QVERIFY(!box->hasSamples() && box->isSampling());
    box->startSampling();
    QVERIFY(journal.take().isEmpty());
    box->analogOuts()[0]->setVoltage(2.0); // of 4 V
    box->digitOuts()[1]->setStatus(true);
    journal.take();
    QVERIFY(box->stopSampling());
    QCOMPARE(journal.take(),
             (QStringList { "ao0:0", "do1:0", "ai1:0", "di0:0", "cnt0:0", "box:0" }));
    box->digitOuts()[1]->setStatus(false);
    QCOMPARE(owner.writes, (QStringList { "analog:0:32767", "digital:1:1" }));
    QVERIFY(!box->hasSamples() && !box->digitIns()[0]->isSampling());
    for (ZInChannel *last : std::initializer_list<ZInChannel *> {
             box->analogIns().back(), box->digitIns().back(), box->edgeCnts().back() }) {
        QVERIFY(box->startSampling() && !box->hasSamples());
        appendOne(last, 0.25);
        QVERIFY2(box->stopSampling() && box->hasSamples(), qPrintable(QString::number(last->id())));
    }

    journal.take();
    box.reset();
    QCOMPARE(journal.take(),
             (QStringList { "ao0:detached", "do1:detached", "box:detached", "ai1:detached",
                            "di0:detached", "cnt0:detached" }));
}

void TestBoxes::channelsPerType_data()
{
    const QString a = limits(1000.0, 1000000.0, 16666666.666666668);
    const QString b = limits(1.0, 4081.6326530612246, 4081.6326530612246);
    const QString valueOnly = limits(1000.0, 1000000.0, 16777215.0);
    const double ux100 = 3.125, ux100d = 2.380952380952381, ux107 = 2.2222222222222223;
    QTest::addColumn<TypeRow>("row");
    // clang-format off
    for (const TypeRow &row : {
             TypeRow { 2,  2,  1, 0, 0, 8,  8, 1, ux100, ux100d, 2.5, { valueOnly } },
             TypeRow { 3,  3,  1, 0, 0, 15, 8, 1, 10.0,  8.0,    2.5, { valueOnly } },
             TypeRow { 8,  4,  1, 1, 1, 15, 8, 3, ux107, ux107,  4.0, { a, a } },
             TypeRow { 10, 14, 5, 2, 4, 1,  1, 3, 1.0,   1.0,    2.5, { b, a, b } },
             TypeRow { 11, 0,  0, 0, 0, 15, 8, 3, 0.0,   0.0,    2.5, {} } })
        QTest::addRow("type %d", row.type) << row;
    // clang-format on
}

void TestBoxes::channelsPerType()
{
    QFETCH(TypeRow, row);
    const ZRealBox box(nullptr, row.type);
    const QString analog = limits(row.minAnalog, 1000.0, 1000000.0);
    const QString digital = limits(row.minDigital, 1000.0, 1000000.0);
    QCOMPARE(limitsOf(box.analogIns()), QVector(row.analogIns, analog).toList());
    QCOMPARE(limitsOf(box.digitIns()), QVector(row.digitIns, digital).toList());
    QCOMPARE(limitsOf(box.edgeCnts()), QVector(row.edgeCnts, digital).toList());
    QCOMPARE(limitsOf(box.digitOuts()), row.digitOuts);
    QCOMPARE(limitsOf(box.analogOuts()).size(), row.analogOuts);
    for (const ZAnalogIn *channel : box.analogIns())
        QVERIFY(channel->rangeMask() == row.rangeMask && channel->range() == row.range);
    for (const ZAnalogOut *channel : box.analogOuts())
        QCOMPARE(channel->maxVoltage(), row.maxVoltage);
    for (const ZDigitOut *channel : box.digitOuts())
        QCOMPARE(int(channel->outModeMask()), row.digitOutModes);
}

// The fastest selected analog input sets the rate, in the frame as in runRate(); without
// one the rate is 1. Any selected input may pace the requests, digital input 0 when none is.
void TestBoxes::framesRateAndLineLoad()
{
    ZRealBox ux100(nullptr, 1);
    select(ux100.analogIns().at(0), true, 3.125);
    select(ux100.analogIns().at(1), true, 100.0);
    select(ux100.digitIns().at(0), true, 0.0); // clamped to its fastest, 2.38 ms
    QCOMPARE(
        runOf(ux100),
        QStringList({ "aa 01 03", "aa 03 13 00 88", "aa 03 13 01 88", "aa 04 1b 00 01 40",
                      "aa 04 0a 00 01 00", "320", "11520 B/s, 420/s, 18 B, 7560 B/s, 640.00/s" }));

    // Type 9: input mode 2, eight analog inputs, one counter, one analog out, two digital.
    ZRealBox ux108(nullptr, 9);
    select(ux108.analogIns().at(0), false, 2.2222222222222223); // fastest, but not selected
    select(ux108.analogIns().at(7), true, 10.0);
    QVERIFY(ux108.analogIns().at(7)->setRange(4));
    ux108.edgeCnts().at(0)->setSelected(true);
    QVERIFY(ux108.analogOuts().at(0)->setVoltage(4.0)); // the type's maximum: code 65535
    QCOMPARE(runOf(ux108),
             QStringList({ "aa 01 03", "aa 02 0b 02" }) + analogInFrames(0, 7, "08")
                 + QStringList({ "aa 03 13 07 84", "aa 04 1b 00 00 64", "aa 03 23 00 01",
                                 "aa 05 02 00 01 ff ff", "aa 04 0a 00 01 00", "aa 04 0a 01 01 00",
                                 "100", "11520 B/s, 100/s, 19 B, 1900 B/s, 606.32/s" }));

    // Type 10: no input-mode command, every output mode.
    ZRealBox ux109(nullptr, 10);
    const std::vector<ZAnalogOut *> &analogOuts = ux109.analogOuts();
    QVERIFY(analogOuts.at(0)->setVoltage(1.25)); // of 2.5 V: code 32767
    QVERIFY(analogOuts.at(1)->setOutMode(OutSine) && analogOuts.at(1)->setInterval(2000.75));
    QVERIFY(analogOuts.at(2)->setOutMode(OutTriangle) && analogOuts.at(2)->setInterval(16777215.0));
    QVERIFY(analogOuts.at(3)->setOutMode(OutSawtooth));
    const std::vector<ZDigitOut *> &digitOuts = ux109.digitOuts();
    QVERIFY(digitOuts.at(0)->setStatus(true));
    QVERIFY(digitOuts.at(1)->setOutMode(OutPwm) && digitOuts.at(1)->setInterval(20000.0));
    QVERIFY(digitOuts.at(1)->setDutyRatio(30));
    QVERIFY(digitOuts.at(2)->setOutMode(OutPwm)); // limits B: period 4081.63 us
    QCOMPARE(runOf(ux109),
             QStringList({ "aa 01 03" }) + analogInFrames(0, 14, "01")
                 + QStringList({ "aa 04 1b 00 00 01", "aa 03 23 00 00", "aa 03 23 01 00",
                                 "aa 05 02 00 01 7f ff", "aa 06 02 01 04 00 07 d0",
                                 "aa 06 02 02 08 ff ff ff", "aa 06 02 03 10 0f 42 40",
                                 "aa 04 0a 00 01 01", "aa 07 0a 01 02 00 4e 20 1e",
                                 "aa 07 0a 02 02 00 0f f1 32", "1",
                                 "11520 B/s, 1/s, 18 B, 18 B/s, 640.00/s" }));
    QCOMPARE(lineCapacityBytesPerSecond(3), 1920.0); // 19200 baud
    QCOMPARE(lineCapacityBytesPerSecond(0), 0.0); // an unknown type
}

// Every step on the way to a box that can fail has its own sentence, and the start says it.
void TestBoxes::failedConnectionSaysWhy_data()
{
    QTest::addColumn<int>("refusal"); // or a bus row
    QTest::addColumn<int>("chosenType");
    QTest::addColumn<ZLinkFailure>("failure");
    QTest::newRow("no USB") << NoUsb << 1 << ZLinkFailure::NoUsbAccess;
    QTest::newRow("no device") << EmptyBus << 1 << ZLinkFailure::NoDevice;
    QTest::newRow("gone since listed") << int(OpenRefusal::Gone) << 1 << ZLinkFailure::NoDevice;
    QTest::newRow("no rights") << int(OpenRefusal::AccessDenied) << 1 << ZLinkFailure::NoPermission;
    QTest::newRow("no rights to detach")
        << int(OpenRefusal::DetachDenied) << 1 << ZLinkFailure::NoPermission;
    QTest::newRow("busy") << int(OpenRefusal::Claimed) << 1 << ZLinkFailure::Busy;
    // A 115200 box while the 19200 type UX-102 is chosen.
    QTest::newRow("other type") << int(OpenRefusal::None) << 3 << ZLinkFailure::NoAnswer;
}

void TestBoxes::failedConnectionSaysWhy()
{
    QFETCH(int, refusal);
    QFETCH(int, chosenType);
    QFETCH(ZLinkFailure, failure);
    const BusScope scope(refusal < 0 ? std::vector<Device>()
                                     : std::vector<Device> { lineDevice(1, OpenRefusal(refusal)) },
                         refusal != NoUsb);
    auto app = ftdiApp(chosenType);
    // A box that does not answer is waited for, not spun on.
    const CpuWatch cpu(CpuWatch::WholeProcess);
    QVERIFY(!app->connectBox() && !app->isSampling());
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QCOMPARE(app->link()->failure(), failure);
    const QString reason = app->connectFailureReason();
    QCOMPARE(reason, linkFailureReason(failure, baudRateOf(chosenType)));
    QVERIFY(reason.endsWith(QLatin1Char('.')) && reason.at(0).isUpper());
    if (failure == ZLinkFailure::NoPermission)
        QCOMPARE(reason,
                 QStringLiteral("A box was found, but this user may not open it: see "
                                "\"Permission for normal users\" in the README."));
    if (failure == ZLinkFailure::NoAnswer)
        QVERIFY(reason.contains(QLatin1String("19200 baud")));
    QCOMPARE(counters().openLines, failure == ZLinkFailure::NoAnswer ? 1 : 0);
}

// Handshake at the type's speed, calibration and a one-second run; then a run cut by the
// pulled cable, ended as a lost box without a busy core, and the box opened afresh, its
// failure forgotten, once it is back.
void TestBoxes::runsThroughTheBackend_data()
{
    QTest::addColumn<int>("boxType");
    QTest::newRow("UX-100, 115200 baud") << 1;
    QTest::newRow("UX-102, 19200 baud") << 3;
}

void TestBoxes::runsThroughTheBackend()
{
    QFETCH(int, boxType);
    const Device device = lineDevice(boxType);
    ZSimulatedBox &box = *device.box;
    const BusScope bus({ device });
    auto app = ftdiApp(boxType);
    ZRealBox &realBox = *app->activeBox();
    ZAnalogIn *analog = realBox.analogIns()[0];
    select(analog, true, 20.0);
    QVERIFY(app->setStopTrigger(TriggerTimeOut) && app->setDuration(1.0));

    QVERIFY(app->connectBox());
    QCOMPARE(box.hostBaudRate(), baudRateOf(boxType));
    // Every analog input took the calibration its box reports (none is the identity).
    for (ZAnalogIn *channel : realBox.analogIns()) {
        const double calibrated = channel->toVolts(100000);
        const ZProtocol::Calibration expected = ZSimulatedBox::calibrationOf(
            channelOf(channel->id()), deviceType(boxType)->calibrationSetCode);
        QVERIFY(channel->setCalibration(expected.gain, expected.offset));
        QCOMPARE(channel->toVolts(100000), calibrated);
    }

    // The run ends by its one-second time-out; 20 ms a sample gives about 50. Between
    // the requests the threads wait, not spin.
    const CpuWatch cpu(CpuWatch::WholeProcess);
    QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QVERIFY(!app->boxLost());
    const std::size_t count = analog->sampleCount();
    QVERIFY2(count >= 40 && count <= 52, qPrintable(QString::number(count)));
    const auto times = analog->times();
    // Loose, since a loaded machine may hold the first request back; seconds, not ms.
    QVERIFY2(times[0] >= 0.0 && times[0] < 0.5, qPrintable(QString::number(times[0])));
    QVERIFY2(times.last() > 0.85 && times.last() < 1.1, qPrintable(QString::number(times.last())));
    // Thinning carries lateness, so single gaps vary; on average they are the interval.
    for (std::size_t i = 1; i < times.size(); ++i)
        QVERIFY(times[i] > times[i - 1]);
    const double meanGap = (times.last() - times[0]) / double(count - 1);
    QVERIFY2(meanGap > 0.017 && meanGap < 0.024, qPrintable(QString::number(meanGap)));

    // A start clears the series only once the run is under way: wait for that, then count.
    CodeRecorder<ZComponent> recorder;
    recorder.attach(analog);
    const auto sampledAfresh = [&] {
        return QTest::qWaitFor([&] { return recorder.take().contains(DataCleared); }, RunTimeoutMs)
            && QTest::qWaitFor([&] { return analog->sampleCount() >= 5; }, RunTimeoutMs);
    };
    QVERIFY(app->setStopTrigger(TriggerManual));
    QVERIFY(app->connectBox() && sampledAfresh());
    const CpuWatch pulled(CpuWatch::WholeProcess);
    box.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    QVERIFY2(pulled.isBelow(0.2, 20.0), qPrintable(pulled.report()));
    QVERIFY(app->boxLost() && analog->sampleCount() >= 5);
    QVERIFY(!app->connectBox());
    QCOMPARE(app->connectFailureReason(),
             linkFailureReason(ZLinkFailure::NoDevice, baudRateOf(boxType)));

    box.replug();
    QVERIFY(app->connectBox() && !app->boxLost() && app->connectFailureReason().isEmpty());
    QVERIFY(sampledAfresh() && app->requestStop());
    QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    QVERIFY(!app->boxLost());
    QCOMPARE(quint8(box.commandLog().last()[2]), quint8(ZProtocol::OpProbe));
    QCOMPARE(counters().openLines, 1);
    app.reset();
    QVERIFY(counters().openLines == 0 && counters().contexts == 0);
}

// Below the link: bytes read whole however they are asked for, an interrupted wait,
// libftdi's write error, a device gone after it was opened, and USB that cannot start.
void TestBoxes::bytesAndErrorsBelowTheLink()
{
    auto box = std::make_shared<ZSimulatedBox>(1);
    const BusScope bus({ Device { box } });
    ZFtdiBridge bridge;
    std::unique_ptr<ZUsbDevice> device;
    QCOMPARE(bridge.open(0, &device), int(UsbOk));
    const std::vector<unsigned char> sent { 0xaa, 0x01, 0x02, 0x03, 0x04 };
    std::vector<unsigned char> read(sent.size());
    unsigned got = 0, rest = 0, waiting = 0;
    // Straight from the chip; then counted, counted again with nothing new, taken as 1 + 4.
    box->inject(sent);
    QVERIFY(device->read(read.data(), 5, &got) == UsbOk && got == 5 && read == sent);
    box->inject(sent);
    QCOMPARE(device->waitForBytes(RunTimeoutMs, &waiting), int(UsbOk));
    QVERIFY(device->queueStatus(&waiting) == UsbOk && waiting == 5);
    QVERIFY(device->read(read.data(), 1, &got) == UsbOk
            && device->read(&read[1], 4, &rest) == UsbOk);
    QVERIFY(got + rest == 5 && read == sent);

    // An interrupt ends a wait at once, whatever its time-out.
    device->interrupt();
    QCOMPARE(device->waitForBytes(RunTimeoutMs, &waiting), int(UsbInterrupted));
    device->clearInterrupt();

    ZSimulatedBox::Faults faults;
    faults.write = ZSimulatedBox::WriteFault::Fail;
    box->setFaults(faults);
    QVERIFY(device->write(sent.data(), 5, &got) == UsbIoError && got == 0);

    box->setFaults(ZSimulatedBox::Faults());
    box->unplug();
    QVERIFY(isGoneStatus(device->waitForBytes(50, &waiting)));
    QVERIFY(isGoneStatus(device->read(read.data(), 1, &got)));
    QVERIFY(device->write(sent.data(), 5, &got) != UsbOk);
    QVERIFY(bridge.open(0, &device) == UsbDeviceNotFound && !device);
    std::vector<ZUsbDeviceInfo> devices;
    setBus({}, false);
    QCOMPARE(bridge.listDevices(&devices), int(UsbNoAccess));
}

QTEST_GUILESS_MAIN(TestBoxes)
#include "tst_boxes.moc"
