#ifndef ZFTDIBRIDGE_H
#define ZFTDIBRIDGE_H

#include "device/zusbbridge.h"

// Real boxes through libftdi1. Devices are found among libftdi's default FTDI products;
// each opened device has a libftdi context of its own, so it outlives the bridge.
// libftdi has no receive-queue count: the device keeps a buffer, filled by a short read
// whenever the count is asked or a wait is made, and serves reads from it first.
//
// The tests compile this backend a second time, against a stand-in for libftdi1 with a
// simulated box behind it; the inline namespace keeps the two builds apart when one test
// program holds both.
#ifndef QUORAVI_FTDI_BUILD
#define QUORAVI_FTDI_BUILD libftdi1
#endif
inline namespace QUORAVI_FTDI_BUILD {

class ZFtdiBridge : public ZUsbBridge
{
public:
    ZFtdiBridge();
    ~ZFtdiBridge() override;

    // UsbNoAccess when libftdi or USB cannot start.
    int deviceCount(unsigned *count) override;
    // Tells a refused open apart: UsbNoPermission, UsbBusy, or UsbDeviceNotFound for a
    // device gone since it was counted.
    int open(unsigned index, std::unique_ptr<ZUsbDevice> *device) override;
    // Bus, address and ids of every device; description and serial where this user may
    // read them.
    int listDevices(std::vector<ZUsbDeviceInfo> *devices) override;
};

} // namespace QUORAVI_FTDI_BUILD

#endif // ZFTDIBRIDGE_H
