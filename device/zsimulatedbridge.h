#ifndef ZSIMULATEDBRIDGE_H
#define ZSIMULATEDBRIDGE_H

#include "device/zusbbridge.h"

#include <memory>

class ZSimulatedBox;

// A bridge with one simulated box behind it at index 0 (none while it is unplugged).
// The box is shared: tests keep their reference to inject faults and read the command
// log while the link or the communication thread owns the device.
class ZSimulatedBridge : public ZUsbBridge
{
public:
    explicit ZSimulatedBridge(std::shared_ptr<ZSimulatedBox> box);
    ~ZSimulatedBridge() override;

    int deviceCount(unsigned *count) override;
    int open(unsigned index, std::unique_ptr<ZUsbDevice> *device) override;
    int listDevices(std::vector<ZUsbDeviceInfo> *devices) override;

    const std::shared_ptr<ZSimulatedBox> &box() const { return m_box; }

private:
    const std::shared_ptr<ZSimulatedBox> m_box;
};

#endif // ZSIMULATEDBRIDGE_H
