#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zftdibridge.h"
#include "device/zlinkfailure.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zusblink.h"
#include "ftdistandin/zftdistandin.h"
#include "tests/common/cputime.h"

#include <QtTest>

#include <memory>

using ftdistandin::BusScope;
using ftdistandin::Device;
using ftdistandin::OpenRefusal;

namespace {

constexpr int RunTimeoutMs = 15000;

// A box on a real serial line: it hears nothing until the host sets its baud rate, and
// libftdi opens every chip at 9600.
std::shared_ptr<ZSimulatedBox> lineBox(int boxType)
{
    auto box = std::make_shared<ZSimulatedBox>(boxType);
    ZSimulatedBox::Faults faults;
    faults.needsBaudRate = true;
    box->setFaults(faults);
    return box;
}

Device deviceWith(std::shared_ptr<ZSimulatedBox> box, OpenRefusal refusal = OpenRefusal::None)
{
    Device device;
    device.box = std::move(box);
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

} // namespace

class TestFtdiStandIn : public QObject
{
    Q_OBJECT

private slots:
    void failedConnectionSaysWhy_data();
    void failedConnectionSaysWhy();
    void runsThroughTheBackend_data();
    void runsThroughTheBackend();
    void pulledCableEndsTheRunAndTheBoxComesBack();
    void writeErrorsAndAGoneDevice();
};

// Every step on the way to a box that can fail has its own sentence, and the start says it.
void TestFtdiStandIn::failedConnectionSaysWhy_data()
{
    QTest::addColumn<int>("refusal");
    QTest::addColumn<bool>("usbStarts");
    QTest::addColumn<int>("devices");
    QTest::addColumn<int>("chosenType");
    QTest::addColumn<int>("failure");
    QTest::newRow("no USB") << int(OpenRefusal::None) << false << 1 << 1
                            << int(ZLinkFailure::NoUsbAccess);
    QTest::newRow("no device") << int(OpenRefusal::None) << true << 0 << 1
                               << int(ZLinkFailure::NoDevice);
    QTest::newRow("no rights") << int(OpenRefusal::AccessDenied) << true << 1 << 1
                               << int(ZLinkFailure::NoPermission);
    QTest::newRow("no rights to detach")
        << int(OpenRefusal::DetachDenied) << true << 1 << 1 << int(ZLinkFailure::NoPermission);
    QTest::newRow("busy") << int(OpenRefusal::Claimed) << true << 1 << 1 << int(ZLinkFailure::Busy);
    // A 115200 box while the 19200 type UX-102 is chosen.
    QTest::newRow("other type") << int(OpenRefusal::None) << true << 1 << 3
                                << int(ZLinkFailure::NoAnswer);
}

void TestFtdiStandIn::failedConnectionSaysWhy()
{
    QFETCH(int, refusal);
    QFETCH(bool, usbStarts);
    QFETCH(int, devices);
    QFETCH(int, chosenType);
    QFETCH(int, failure);
    std::vector<Device> bus;
    if (devices > 0)
        bus.push_back(deviceWith(lineBox(1), OpenRefusal(refusal)));
    const BusScope scope(bus, usbStarts);

    auto app = ftdiApp(chosenType);
    // A box that does not answer is waited for, not spun on.
    const CpuWatch cpu(CpuWatch::WholeProcess);
    QVERIFY(!app->connectBox());
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QVERIFY(!app->isSampling());
    QCOMPARE(int(app->link()->failure()), failure);
    const QString reason = app->connectFailureReason();
    QCOMPARE(reason, linkFailureReason(ZLinkFailure(failure), baudRateOf(chosenType)));
    QVERIFY(reason.endsWith(QLatin1Char('.')) && reason.at(0).isUpper());
    if (ZLinkFailure(failure) == ZLinkFailure::NoPermission)
        QCOMPARE(reason,
                 QStringLiteral("A box was found, but this user may not open it: see "
                                "\"Permission for normal users\" in the README."));
    if (ZLinkFailure(failure) == ZLinkFailure::NoAnswer)
        QVERIFY(reason.contains(QLatin1String("19200 baud")));
    QCOMPARE(ftdistandin::counters().openLines, failure == int(ZLinkFailure::NoAnswer) ? 1 : 0);

    // Once the cause is gone the same model connects, and the reason is cleared.
    if (failure != int(ZLinkFailure::NoAnswer)) {
        ftdistandin::setBus({ deviceWith(lineBox(chosenType)) });
        QVERIFY(app->connectBox());
        QVERIFY(app->connectFailureReason().isEmpty());
        QVERIFY(app->requestStop());
        QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    }
}

// Handshake at the type's speed, calibration, a one-second run, Stop.
void TestFtdiStandIn::runsThroughTheBackend_data()
{
    QTest::addColumn<int>("boxType");
    QTest::newRow("UX-100, 115200 baud") << 1;
    QTest::newRow("UX-102, 19200 baud") << 3;
}

void TestFtdiStandIn::runsThroughTheBackend()
{
    QFETCH(int, boxType);
    auto box = lineBox(boxType);
    const BusScope bus({ deviceWith(box) });
    auto app = ftdiApp(boxType);
    ZRealBox &realBox = *app->activeBox();
    ZAnalogIn *analog = realBox.analogIns()[0];
    analog->setSelected(true);
    analog->setInterval(20.0);
    QVERIFY(app->setStopTrigger(TriggerTimeOut));
    QVERIFY(app->setDuration(1.0));
    std::vector<double> uncalibrated;
    for (ZAnalogIn *channel : realBox.analogIns())
        uncalibrated.push_back(channel->toVolts(100000));

    QVERIFY(app->connectBox());
    QCOMPARE(box->hostBaudRate(), baudRateOf(boxType));
    // Every analog input took the calibration its box reports.
    const int setCode = deviceType(boxType)->calibrationSetCode;
    for (std::size_t i = 0; i < realBox.analogIns().size(); ++i) {
        ZAnalogIn *channel = realBox.analogIns()[i];
        const double calibrated = channel->toVolts(100000);
        QVERIFY(calibrated != uncalibrated[i]);
        const ZProtocol::Calibration expected = ZSimulatedBox::calibrationOf(int(i), setCode);
        channel->setCalibration(expected.gain, expected.offset);
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
    QVERIFY(times[0] >= 0.0 && times[0] < 0.1);
    QVERIFY2(times.last() > 0.85 && times.last() < 1.1, qPrintable(QString::number(times.last())));
    // Thinning carries lateness, so single gaps vary; on average they are the interval.
    for (std::size_t i = 1; i < times.size(); ++i)
        QVERIFY(times[i] > times[i - 1]);
    const double meanGap = (times.last() - times[0]) / double(count - 1);
    QVERIFY2(meanGap > 0.017 && meanGap < 0.024, qPrintable(QString::number(meanGap)));

    // A second run on the open link, ended by Stop.
    QVERIFY(app->setStopTrigger(TriggerManual));
    QVERIFY(app->connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 5, RunTimeoutMs);
    QVERIFY(app->requestStop());
    QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    QVERIFY(!app->boxLost());
    QCOMPARE(quint8(box->commandLog().last()[2]), quint8(ZProtocol::OpProbe));
    QCOMPARE(ftdistandin::counters().openLines, 1);
    app.reset();
    QCOMPARE(ftdistandin::counters().openLines, 0);
    QCOMPARE(ftdistandin::counters().contexts, 0);
}

// The cable pulled mid-run ends the run as a lost box, without a busy core; once the box
// is back, the next Start opens it afresh.
void TestFtdiStandIn::pulledCableEndsTheRunAndTheBoxComesBack()
{
    auto box = lineBox(1);
    const BusScope bus({ deviceWith(box) });
    auto app = ftdiApp(1);
    ZAnalogIn *analog = app->activeBox()->analogIns()[0];
    analog->setSelected(true);
    analog->setInterval(5.0);
    QVERIFY(app->connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 20, RunTimeoutMs);

    const CpuWatch cpu(CpuWatch::WholeProcess);
    box->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    QVERIFY2(cpu.isBelow(0.2, 20.0), qPrintable(cpu.report()));
    QVERIFY(app->boxLost());
    QVERIFY(analog->sampleCount() >= 20);

    // Unplugged, a Start says there is no device.
    QVERIFY(!app->connectBox());
    QCOMPARE(app->connectFailureReason(), linkFailureReason(ZLinkFailure::NoDevice, 115200));

    box->replug();
    QVERIFY(app->connectBox());
    QVERIFY(!app->boxLost());
    QTRY_VERIFY_WITH_TIMEOUT(analog->sampleCount() >= 20, RunTimeoutMs);
    QVERIFY(app->requestStop());
    QTRY_VERIFY_WITH_TIMEOUT(!app->isSampling(), RunTimeoutMs);
    QVERIFY(!app->boxLost());
}

// Below the link: libftdi's write error, and a device that went after it was opened.
void TestFtdiStandIn::writeErrorsAndAGoneDevice()
{
    auto box = std::make_shared<ZSimulatedBox>(1);
    const BusScope bus({ deviceWith(box) });
    ZFtdiBridge bridge;
    std::unique_ptr<ZUsbDevice> device;
    QCOMPARE(bridge.open(0, &device), int(UsbOk));
    const ZByteArray probe = ZProtocol::probeFrame();
    unsigned written = 0;

    ZSimulatedBox::Faults faults;
    faults.write = ZSimulatedBox::WriteFault::Fail;
    box->setFaults(faults);
    QCOMPARE(device->write(probe.data(), probe.length(), &written), int(UsbIoError));
    QCOMPARE(written, 0u);

    box->setFaults(ZSimulatedBox::Faults());
    box->unplug();
    unsigned waiting = 0;
    QVERIFY(isGoneStatus(device->waitForBytes(50, &waiting)));
    unsigned char byte = 0;
    unsigned got = 0;
    QVERIFY(isGoneStatus(device->read(&byte, 1, &got)));
    QVERIFY(device->write(probe.data(), probe.length(), &written) != UsbOk);
    QCOMPARE(bridge.open(0, &device), int(UsbDeviceNotFound));
    QVERIFY(!device);
}

QTEST_GUILESS_MAIN(TestFtdiStandIn)
#include "tst_ftdistandin.moc"
