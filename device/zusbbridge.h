#ifndef ZUSBBRIDGE_H
#define ZUSBBRIDGE_H

#include <memory>
#include <string>
#include <vector>

// The USB-to-serial bridge layer: the nine operations the link and the communication
// thread rely on, each returning a status where 0 is success, plus a wait for incoming
// bytes so that nobody has to spin on the receive-queue count.

// Statuses of the bridge operations. Backends may return other non-zero values; callers
// only ever test for UsbOk, UsbInterrupted and (after a wait) the byte count.
enum ZUsbStatus : int {
    UsbOk = 0,
    UsbInvalidHandle = 1, // the device was closed
    UsbDeviceNotFound = 2, // no such index, or the box was unplugged
    UsbDeviceNotOpened = 3, // the open itself failed for a reason not listed below
    UsbIoError = 4, // a transfer failed
    UsbInvalidArgument = 5,
    UsbInterrupted = 6, // a wait was ended by interrupt()
    UsbNoAccess = 7, // USB itself could not be started, so no device can be counted
    UsbNoPermission = 8, // the device is there, but this user may not open it
    UsbBusy = 9 // another program holds the device, or its kernel driver stayed attached
};

// True for the statuses that mean the device is no longer there.
inline bool isGoneStatus(int status)
{
    return status == UsbDeviceNotFound || status == UsbInvalidHandle;
}

// One opened bridge (the "handle"). Owned by whoever opened it, usually ZUsbLink.
//
// Threads: one thread at a time uses a device; it may be handed from thread to thread
// (main thread, trigger thread, communication thread) as long as the hand-over itself
// synchronises (QThread::start, a mutex, a queued signal). interrupt() and
// clearInterrupt() are the exceptions: they may be called from any thread at any time.
//
// A device stays usable after the bridge that opened it is gone; it closes itself when
// destroyed.
class ZUsbDevice
{
public:
    virtual ~ZUsbDevice() = default;

    ZUsbDevice(const ZUsbDevice &) = delete;
    ZUsbDevice &operator=(const ZUsbDevice &) = delete;

    virtual int reset() = 0;
    virtual int setLatencyTimer(unsigned char milliseconds) = 0;
    virtual int setBaudRate(unsigned baudRate) = 0;
    // The number of received bytes waiting to be read.
    virtual int queueStatus(unsigned *bytesWaiting) = 0;
    // Reads up to `toRead` bytes without waiting for more than are already there;
    // *bytesRead may be 0.
    virtual int read(unsigned char *buffer, unsigned toRead, unsigned *bytesRead) = 0;
    virtual int write(const unsigned char *buffer, unsigned length, unsigned *bytesWritten) = 0;
    // Every later operation fails with UsbInvalidHandle; closing twice is harmless.
    virtual int close() = 0;

    // Blocks until bytes are waiting, `timeoutMs` has passed or the device is
    // interrupted, without spinning. UsbOk with *bytesWaiting > 0 when bytes are
    // waiting, UsbOk with 0 when the time passed, UsbInterrupted while the interrupt
    // flag is set, any other status when the device failed or was closed.
    // A timeout of 0 or less only looks.
    virtual int waitForBytes(int timeoutMs, unsigned *bytesWaiting) = 0;

    // Sets the interrupt flag and wakes a thread blocked in waitForBytes. The flag
    // stays set, so a wait that starts after the call returns at once as well, until
    // clearInterrupt(). This is how a stop request ends a poll or sample wait promptly.
    virtual void interrupt() = 0;
    virtual void clearInterrupt() = 0;
    virtual bool isInterrupted() const = 0;

protected:
    ZUsbDevice() = default;
};

// What can be told about a device before it is opened; for listing, not for choosing.
struct ZUsbDeviceInfo
{
    int bus = -1; // -1 where unknown
    int address = -1;
    int vendorId = -1;
    int productId = -1;
    std::string description; // empty where it could not be read
    std::string serial;
};

// Enumerates and opens bridges.
class ZUsbBridge
{
public:
    virtual ~ZUsbBridge() = default;

    ZUsbBridge(const ZUsbBridge &) = delete;
    ZUsbBridge &operator=(const ZUsbBridge &) = delete;

    virtual int deviceCount(unsigned *count) = 0;
    // On success *device holds the opened bridge; on failure it is left empty.
    virtual int open(unsigned index, std::unique_ptr<ZUsbDevice> *device) = 0;
    // The devices deviceCount() counts, in index order. Backends that cannot tell more
    // describe each by nothing but its place.
    virtual int listDevices(std::vector<ZUsbDeviceInfo> *devices)
    {
        unsigned count = 0;
        const int status = deviceCount(&count);
        devices->assign(status == UsbOk ? count : 0, ZUsbDeviceInfo());
        return status;
    }

protected:
    ZUsbBridge() = default;
};

#endif // ZUSBBRIDGE_H
