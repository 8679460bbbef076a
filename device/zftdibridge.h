#ifndef ZFTDIBRIDGE_H
#define ZFTDIBRIDGE_H

#include "device/zusbbridge.h"

// Real boxes through libftdi1. Devices are found among libftdi's default FTDI products;
// each opened device has a libftdi context of its own, so it outlives the bridge.
// libftdi has no receive-queue count: the device keeps a buffer, filled by a short read
// whenever the count is asked or a wait is made, and serves reads from it first.
class ZFtdiBridge : public ZUsbBridge
{
public:
    ZFtdiBridge();
    ~ZFtdiBridge() override;

    // A failed libftdi or USB start-up counts as a failed count.
    int deviceCount(unsigned *count) override;
    int open(unsigned index, std::unique_ptr<ZUsbDevice> *device) override;
};

#endif // ZFTDIBRIDGE_H
