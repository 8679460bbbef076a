#include "zboxscan.h"

#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zlinkfailure.h"
#include "device/zusbbridge.h"
#include "device/zusblink.h"
#include "model/zglobal.h"

namespace {

QString hex4(int value)
{
    return value < 0 ? QStringLiteral("????")
                     : QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QString known(int value)
{
    return value < 0 ? QStringLiteral("?") : QString::number(value);
}

// "bus 1, address 4, 0403:6001, "Tebor USB DAQ", serial TB000001", each part where known.
QString describe(const ZUsbDeviceInfo &info)
{
    QStringList parts;
    if (info.bus >= 0 || info.address >= 0)
        parts << QStringLiteral("bus %1, address %2").arg(known(info.bus), known(info.address));
    if (info.vendorId >= 0 || info.productId >= 0)
        parts << QStringLiteral("%1:%2").arg(hex4(info.vendorId), hex4(info.productId));
    if (!info.description.empty())
        parts << QStringLiteral("\"%1\"").arg(QString::fromStdString(info.description));
    if (!info.serial.empty())
        parts << QStringLiteral("serial %1").arg(QString::fromStdString(info.serial));
    return parts.isEmpty() ? QStringLiteral("no details") : parts.join(QStringLiteral(", "));
}

} // namespace

ZBoxScan::ZBoxScan(BridgeFactory bridgeFactory, QTextStream &out)
    : m_bridgeFactory(std::move(bridgeFactory))
    , m_out(out)
{ }

bool ZBoxScan::run(int boxType)
{
    const std::shared_ptr<ZUsbBridge> bridge = m_bridgeFactory ? m_bridgeFactory(boxType) : nullptr;
    if (!bridge) {
        m_out << linkFailureReason(ZLinkFailure::NoUsbAccess, 0) << "\n";
        return false;
    }
    const int openable = listDevices(*bridge);
    if (openable < 0)
        return false;
    if (boxType == 0)
        return openable > 0;
    return tryBox(bridge, boxType);
}

// Prints one line per device; the number that could be opened, or -1 when there was
// nothing to list (said in one line).
int ZBoxScan::listDevices(ZUsbBridge &bridge)
{
    std::vector<ZUsbDeviceInfo> devices;
    const int status = bridge.listDevices(&devices);
    if (status != UsbOk || devices.empty()) {
        const ZLinkFailure failure
            = status != UsbOk ? linkFailureOfStatus(status) : ZLinkFailure::NoDevice;
        m_out << linkFailureReason(failure, 0) << "\n";
        return -1;
    }
    m_out << (devices.size() == 1 ? QStringLiteral("1 FTDI device found:\n")
                                  : QStringLiteral("%1 FTDI devices found:\n").arg(devices.size()));
    int openable = 0;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        std::unique_ptr<ZUsbDevice> device;
        const int opened = bridge.open(unsigned(i), &device);
        device.reset();
        m_out << "  " << (i + 1) << ": " << describe(devices[i]) << ": ";
        if (opened == UsbOk) {
            ++openable;
            m_out << "can be opened\n";
        } else {
            m_out << "cannot be opened. " << linkFailureReason(linkFailureOfStatus(opened), 0)
                  << "\n";
        }
    }
    return openable;
}

bool ZBoxScan::tryBox(const std::shared_ptr<ZUsbBridge> &bridge, int boxType)
{
    const ZDeviceType *row = deviceType(boxType);
    const unsigned baudRate = baudRateOf(boxType);
    const QString name = boxTypeName(boxType);
    ZUsbLink link(bridge, 0, baudRate);
    if (!link.sync(ZAppObservable::HandshakeTimeoutMs)) {
        m_out << "Device 1 as a " << name << ": " << linkFailureReason(link.failure(), baudRate)
              << "\n";
        return false;
    }
    m_out << "Device 1 answers the handshake at " << baudRate << " baud as a " << name << ".\n";
    for (int channel = 0; row && channel < row->analogIns; ++channel) {
        double gain = 1.0;
        double offset = 0.0;
        m_out << "  ai" << (channel + 1) << ": ";
        if (link.readCalibration(channel, row->calibrationSetCode, &gain, &offset))
            m_out << "gain " << formatNumber(gain, 8) << ", offset " << formatNumber(offset, 8)
                  << " uV\n";
        else
            m_out << "no calibration answer\n";
    }
    return true;
}
