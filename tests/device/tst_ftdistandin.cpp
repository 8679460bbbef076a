#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zftdibridge.h"
#include "device/zlinkfailure.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zusblink.h"
#include "ftdistandin/zftdistandin.h"
#include "tests/common/coderecorder.h"
#include "tests/common/cputime.h"

#include <QtTest>

using namespace ftdistandin;

namespace {

constexpr int RunTimeoutMs = 15000;
constexpr int EmptyBus = -1;

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

bool stopped(ZAppObservable &app)
{
    return app.requestStop() && QTest::qWaitFor([&] { return !app.isSampling(); }, RunTimeoutMs);
}

} // namespace

Q_DECLARE_METATYPE(ZLinkFailure)

class TestFtdiStandIn : public QObject
{
    Q_OBJECT

private slots:
    void failedConnectionSaysWhy_data();
    void failedConnectionSaysWhy();
    void runsThroughTheBackend_data();
    void runsThroughTheBackend();
    void bytesAndErrorsBelowTheLink();
};

// Every step on the way to a box that can fail has its own sentence, and the start says it.
void TestFtdiStandIn::failedConnectionSaysWhy_data()
{
    QTest::addColumn<int>("refusal");
    QTest::addColumn<bool>("usbStarts");
    QTest::addColumn<int>("chosenType");
    QTest::addColumn<ZLinkFailure>("failure");
    QTest::newRow("no USB") << int(OpenRefusal::None) << false << 1 << ZLinkFailure::NoUsbAccess;
    QTest::newRow("no device") << EmptyBus << true << 1 << ZLinkFailure::NoDevice;
    QTest::newRow("gone since listed")
        << int(OpenRefusal::Gone) << true << 1 << ZLinkFailure::NoDevice;
    QTest::newRow("no rights") << int(OpenRefusal::AccessDenied) << true << 1
                               << ZLinkFailure::NoPermission;
    QTest::newRow("no rights to detach")
        << int(OpenRefusal::DetachDenied) << true << 1 << ZLinkFailure::NoPermission;
    QTest::newRow("busy") << int(OpenRefusal::Claimed) << true << 1 << ZLinkFailure::Busy;
    // A 115200 box while the 19200 type UX-102 is chosen.
    QTest::newRow("other type") << int(OpenRefusal::None) << true << 3 << ZLinkFailure::NoAnswer;
}

void TestFtdiStandIn::failedConnectionSaysWhy()
{
    QFETCH(int, refusal);
    QFETCH(bool, usbStarts);
    QFETCH(int, chosenType);
    QFETCH(ZLinkFailure, failure);
    const BusScope scope(refusal == EmptyBus
                             ? std::vector<Device>()
                             : std::vector<Device> { lineDevice(1, OpenRefusal(refusal)) },
                         usbStarts);
    auto app = ftdiApp(chosenType);
    // A box that does not answer is waited for, not spun on.
    const CpuWatch cpu(CpuWatch::WholeProcess);
    QVERIFY(!app->connectBox());
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QVERIFY(!app->isSampling());
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

    // Once the cause is gone the same model connects, and the reason is cleared.
    if (failure != ZLinkFailure::NoAnswer) {
        setBus({ lineDevice(chosenType) });
        QVERIFY(app->connectBox());
        QVERIFY(app->connectFailureReason().isEmpty());
        QVERIFY(stopped(*app));
    }
}

// Handshake at the type's speed, calibration and a one-second run; then a run cut by the
// pulled cable, ended as a lost box without a busy core, and the box opened afresh once
// it is back.
void TestFtdiStandIn::runsThroughTheBackend_data()
{
    QTest::addColumn<int>("boxType");
    QTest::newRow("UX-100, 115200 baud") << 1;
    QTest::newRow("UX-102, 19200 baud") << 3;
}

void TestFtdiStandIn::runsThroughTheBackend()
{
    QFETCH(int, boxType);
    const Device device = lineDevice(boxType);
    ZSimulatedBox &box = *device.box;
    const BusScope bus({ device });
    auto app = ftdiApp(boxType);
    ZRealBox &realBox = *app->activeBox();
    ZAnalogIn *analog = realBox.analogIns()[0];
    analog->setSelected(true);
    analog->setInterval(20.0);
    QVERIFY(app->setStopTrigger(TriggerTimeOut) && app->setDuration(1.0));

    QVERIFY(app->connectBox());
    QCOMPARE(box.hostBaudRate(), baudRateOf(boxType));
    // Every analog input took the calibration its box reports (none is the identity).
    for (ZAnalogIn *channel : realBox.analogIns()) {
        const double calibrated = channel->toVolts(100000);
        const ZProtocol::Calibration expected = ZSimulatedBox::calibrationOf(
            channelOf(channel->id()), deviceType(boxType)->calibrationSetCode);
        QVERIFY(channel->setCalibration(1.0, 0.0) && channel->toVolts(100000) != calibrated);
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
    QVERIFY(app->connectBox() && !app->boxLost());
    QVERIFY(sampledAfresh() && stopped(*app) && !app->boxLost());
    QCOMPARE(quint8(box.commandLog().last()[2]), quint8(ZProtocol::OpProbe));
    QCOMPARE(counters().openLines, 1);
    app.reset();
    QCOMPARE(counters().openLines, 0);
    QCOMPARE(counters().contexts, 0);
}

// Below the link: bytes read whole however they are asked for, an interrupted wait,
// libftdi's write error, a device gone after it was opened, and USB that cannot start.
void TestFtdiStandIn::bytesAndErrorsBelowTheLink()
{
    auto box = std::make_shared<ZSimulatedBox>(1);
    const BusScope bus({ Device { box } });
    ZFtdiBridge bridge;
    std::unique_ptr<ZUsbDevice> device;
    QCOMPARE(bridge.open(0, &device), int(UsbOk));
    const std::vector<unsigned char> sent { 0xaa, 0x01, 0x02, 0x03, 0x04 };
    std::vector<unsigned char> read(sent.size());
    unsigned got = 0;
    unsigned rest = 0;
    unsigned waiting = 0;
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
    QCOMPARE(device->write(sent.data(), 5, &got), int(UsbIoError));
    QCOMPARE(got, 0u);

    box->setFaults(ZSimulatedBox::Faults());
    box->unplug();
    QVERIFY(isGoneStatus(device->waitForBytes(50, &waiting)));
    QVERIFY(isGoneStatus(device->read(read.data(), 1, &got)));
    QVERIFY(device->write(sent.data(), 5, &got) != UsbOk);
    QCOMPARE(bridge.open(0, &device), int(UsbDeviceNotFound));
    QVERIFY(!device);
    std::vector<ZUsbDeviceInfo> devices;
    setBus({}, false);
    QCOMPARE(bridge.listDevices(&devices), int(UsbNoAccess));
}

QTEST_GUILESS_MAIN(TestFtdiStandIn)
#include "tst_ftdistandin.moc"
