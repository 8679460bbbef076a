#include "zsimulatedbridge.h"

#include "device/zsimulatedbox.h"

#include <atomic>

// A handle on the simulated box; dead once closed or once the box was unplugged.
class ZSimulatedDevice : public ZUsbDevice
{
public:
    ZSimulatedDevice(std::shared_ptr<ZSimulatedBox> box, unsigned generation)
        : m_box(std::move(box))
        , m_generation(generation)
    { }
    ~ZSimulatedDevice() override { close(); }

    int reset() override { return m_open ? m_box->hostReset(m_generation) : int(UsbInvalidHandle); }
    int setLatencyTimer(unsigned char) override { return checkOpen(); }
    int setBaudRate(unsigned baudRate) override
    {
        return m_open ? m_box->hostSetBaudRate(m_generation, baudRate) : int(UsbInvalidHandle);
    }
    int queueStatus(unsigned *bytesWaiting) override
    {
        *bytesWaiting = 0;
        return m_open ? m_box->hostQueueStatus(m_generation, bytesWaiting) : int(UsbInvalidHandle);
    }
    int read(unsigned char *buffer, unsigned toRead, unsigned *bytesRead) override
    {
        *bytesRead = 0;
        return m_open ? m_box->hostRead(m_generation, buffer, toRead, bytesRead)
                      : int(UsbInvalidHandle);
    }
    int write(const unsigned char *buffer, unsigned length, unsigned *bytesWritten) override
    {
        *bytesWritten = 0;
        return m_open ? m_box->hostWrite(m_generation, buffer, length, bytesWritten)
                      : int(UsbInvalidHandle);
    }
    int close() override
    {
        if (m_open) {
            m_open = false;
            m_box->hostClose(m_generation);
        }
        return UsbOk;
    }
    int waitForBytes(int timeoutMs, unsigned *bytesWaiting) override
    {
        *bytesWaiting = 0;
        return m_open ? m_box->hostWait(m_generation, timeoutMs, m_interrupted, bytesWaiting)
                      : int(UsbInvalidHandle);
    }
    void interrupt() override { m_box->hostInterrupt(m_interrupted, true); }
    void clearInterrupt() override { m_box->hostInterrupt(m_interrupted, false); }
    bool isInterrupted() const override { return m_interrupted.load(); }

private:
    int checkOpen() const
    {
        return m_open ? m_box->hostStatus(m_generation) : int(UsbInvalidHandle);
    }

    const std::shared_ptr<ZSimulatedBox> m_box;
    const unsigned m_generation;
    bool m_open = true;
    std::atomic<bool> m_interrupted { false };
};

ZSimulatedBridge::ZSimulatedBridge(std::shared_ptr<ZSimulatedBox> box)
    : m_box(std::move(box))
{ }

ZSimulatedBridge::~ZSimulatedBridge() = default;

int ZSimulatedBridge::deviceCount(unsigned *count)
{
    *count = m_box->isPlugged() ? 1 : 0;
    return UsbOk;
}

int ZSimulatedBridge::open(unsigned index, std::unique_ptr<ZUsbDevice> *device)
{
    device->reset();
    unsigned generation = 0;
    const int status = m_box->hostOpen(&generation);
    if (status != UsbOk)
        return status;
    if (index != 0) {
        m_box->hostClose(generation);
        return UsbDeviceNotFound;
    }
    *device = std::make_unique<ZSimulatedDevice>(m_box, generation);
    return UsbOk;
}

int ZSimulatedBridge::listDevices(std::vector<ZUsbDeviceInfo> *devices)
{
    devices->clear();
    if (m_box->isPlugged()) {
        ZUsbDeviceInfo info;
        info.description = "Quoravi simulated box";
        devices->push_back(info);
    }
    return UsbOk;
}
