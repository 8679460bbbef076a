#include "app/zdevicetypes.h"
#include "device/zftdibridge.h"
#include "device/zlinkfailure.h"
#include "device/zsimulatedbox.h"
#include "ftdistandin/zftdistandin.h"
#include "model/zglobal.h"
#include "tools/acquire/zacquireoptions.h"
#include "tools/acquire/zboxscan.h"

#include <QtTest>

using ftdistandin::BusScope;
using ftdistandin::Device;
using ftdistandin::OpenRefusal;

namespace {

// A box on a serial line that hears nothing until its own baud rate is set.
Device lineDevice(int boxType, OpenRefusal refusal = OpenRefusal::None)
{
    Device device;
    device.box = std::make_shared<ZSimulatedBox>(boxType);
    ZSimulatedBox::Faults faults;
    faults.needsBaudRate = true;
    device.box->setFaults(faults);
    device.refusal = refusal;
    return device;
}

struct ScanResult
{
    bool succeeded = false;
    QStringList lines;
};

ScanResult scan(int boxType)
{
    QString text;
    QTextStream out(&text);
    ZBoxScan scanner([](int) { return std::make_unique<ZFtdiBridge>(); }, out);
    ScanResult result;
    result.succeeded = scanner.run(boxType);
    out.flush();
    result.lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return result;
}

const QString FirstDevice
    = QStringLiteral("  1: bus 1, address 4, 0403:6001, \"Tebor USB DAQ\", serial TB000001: ");

} // namespace

// quoravi-acquire --scan on the libftdi1 backend, with the stand-in's bus behind it, and
// the tool's command line.
class TestAcquireScan : public QObject
{
    Q_OBJECT

private slots:
    void nothingToScanIsOneLine_data();
    void nothingToScanIsOneLine();
    void listsDevicesAndWhetherTheyOpen();
    void triesTheFirstAsTheType();
    void commandLine_data();
    void commandLine();
};

void TestAcquireScan::nothingToScanIsOneLine_data()
{
    QTest::addColumn<bool>("usbStarts");
    QTest::addColumn<int>("failure");
    QTest::newRow("no USB") << false << int(ZLinkFailure::NoUsbAccess);
    QTest::newRow("no device") << true << int(ZLinkFailure::NoDevice);
}

void TestAcquireScan::nothingToScanIsOneLine()
{
    QFETCH(bool, usbStarts);
    QFETCH(int, failure);
    const BusScope bus({}, usbStarts);
    for (int boxType : { 0, 1 }) {
        const ScanResult result = scan(boxType);
        QVERIFY(!result.succeeded);
        QCOMPARE(result.lines, QStringList { linkFailureReason(ZLinkFailure(failure), 0) });
    }
}

// Without a type: every device of FTDI's default products in the bus's order, with its
// details where this user may open it, and whether it opens; success when one does.
void TestAcquireScan::listsDevicesAndWhetherTheyOpen()
{
    Device mouse = lineDevice(1);
    mouse.vendorId = 0x046D;
    mouse.productId = 0xC077;
    Device denied = lineDevice(1, OpenRefusal::AccessDenied);
    denied.address = 7;
    Device busy = lineDevice(1, OpenRefusal::Claimed);
    busy.address = 8;
    busy.productId = 0x6015;
    busy.serial = "TB000003";
    {
        const BusScope bus({ lineDevice(1), mouse, denied, busy });
        const ScanResult result = scan(0);
        QVERIFY(result.succeeded);
        QCOMPARE(
            result.lines,
            (QStringList { "3 FTDI devices found:", FirstDevice + "can be opened",
                           "  2: bus 1, address 7, 0403:6001: cannot be opened. "
                               + linkFailureReason(ZLinkFailure::NoPermission, 0),
                           "  3: bus 1, address 8, 0403:6015, \"Tebor USB DAQ\", serial TB000003: "
                           "cannot be opened. "
                               + linkFailureReason(ZLinkFailure::Busy, 0) }));
        QCOMPARE(ftdistandin::counters().contexts, 0);
    }
    const BusScope bus({ denied });
    const ScanResult result = scan(0);
    QVERIFY(!result.succeeded);
    QCOMPARE(result.lines.size(), 2);
    QCOMPARE(ftdistandin::counters().openLines, 0);
}

// With a type: the first device's handshake at the type's speed and the calibration of
// each of its analog inputs.
void TestAcquireScan::triesTheFirstAsTheType()
{
    {
        const BusScope bus({ lineDevice(3) });
        const ScanResult result = scan(3);
        QVERIFY(result.succeeded);
        QStringList expected { "1 FTDI device found:", FirstDevice + "can be opened",
                               "Device 1 answers the handshake at 19200 baud as a UX-102." };
        const int setCode = deviceType(3)->calibrationSetCode;
        for (int channel = 0; channel < deviceType(3)->analogIns; ++channel) {
            const ZProtocol::Calibration calibration
                = ZSimulatedBox::calibrationOf(channel, setCode);
            expected << QStringLiteral("  ai%1: gain %2, offset %3 uV")
                            .arg(channel + 1)
                            .arg(formatNumber(calibration.gain, 8),
                                 formatNumber(calibration.offset, 8));
        }
        QCOMPARE(result.lines, expected);
    }
    // A 115200 box scanned as the 19200 type does not answer.
    const BusScope bus({ lineDevice(1) });
    const ScanResult result = scan(3);
    QVERIFY(!result.succeeded);
    QCOMPARE(result.lines.last(),
             "Device 1 as a UX-102: " + linkFailureReason(ZLinkFailure::NoAnswer, 19200));
    QCOMPARE(ftdistandin::counters().openLines, 0);
}

void TestAcquireScan::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("rates");
    QTest::newRow("value apart") << QStringList { "--type", "1", "--rate", "ai1=500" } << ""
                                 << "ai1=500";
    QTest::newRow("value joined") << QStringList { "--type=1", "--rate=ai1=500" } << ""
                                  << "ai1=500";
    QTest::newRow("repeated") << QStringList { "--type", "1",      "--rate=ai1=500",
                                               "--rate", "ai2=20", "-q" }
                              << ""
                              << "ai1=500 ai2=20";
    QTest::newRow("scan needs no type") << QStringList { "--scan" } << ""
                                        << "";
    QTest::newRow("flag with value")
        << QStringList { "--type", "1", "--quiet=yes" } << "option --quiet takes no value"
        << "";
    QTest::newRow("stray argument")
        << QStringList { "--type", "1", "ai1" } << "unexpected argument 'ai1'"
        << "";
    QTest::newRow("missing value")
        << QStringList { "--type", "1", "--rate" } << "option --rate needs a value"
        << "";
    QTest::newRow("once only") << QStringList { "--type", "1", "--data=a", "--data", "b" }
                               << "option --data given twice"
                               << "";
    QTest::newRow("unknown") << QStringList { "--type", "1", "-x" } << "unknown option '-x'"
                             << "";
}

void TestAcquireScan::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(QString, rates);
    ZAcquireOptions options;
    QString message;
    const bool parsed = options.parse(QStringList { "quoravi-acquire" } + arguments, &message);
    QCOMPARE(message, error);
    QCOMPARE(parsed, error.isEmpty());
    if (!parsed)
        return;
    QStringList seen;
    for (const auto &rate : options.rates)
        seen << QStringLiteral("%1=%2").arg(rate.first).arg(rate.second);
    QCOMPARE(seen.join(QLatin1Char(' ')), rates);
    QCOMPARE(options.scan, arguments.contains("--scan"));
    QCOMPARE(options.quiet, arguments.contains("-q"));
}

QTEST_GUILESS_MAIN(TestAcquireScan)
#include "tst_acquirescan.moc"
