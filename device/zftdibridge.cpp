#include "zftdibridge.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// A transfer that waits this long without data ends; with the latency timer at 2 ms the
// chip sends a status packet long before, so reads return quickly either way.
constexpr int ReadTimeoutMs = 20;
constexpr int WriteTimeoutMs = 1000;
constexpr unsigned FillSize = 512;

using Clock = std::chrono::steady_clock;

struct FtdiListDeleter
{
    void operator()(ftdi_device_list *list) const { ftdi_list_free(&list); }
};

struct FtdiContextDeleter
{
    void operator()(ftdi_context *context) const { ftdi_free(context); }
};

// libftdi reports a box that was unplugged as -666, or passes on libusb's "no device".
constexpr int FtdiDeviceUnavailable = -666;
constexpr int LibUsbNoDevice = -4;

int transferStatus(int result)
{
    return (result == FtdiDeviceUnavailable || result == LibUsbNoDevice) ? int(UsbDeviceNotFound)
                                                                         : int(UsbIoError);
}

// What a refused ftdi_usb_open_dev means for the user. libftdi folds libusb's "access
// denied" into -4 ("libusb_open() failed"), where errno still tells it; its own -8 is
// "inappropriate permissions" (the kernel driver could not be detached for want of
// rights); -3 and -5 are a configuration or interface that someone else holds.
int openStatus(int result, int error)
{
    switch (result) {
    case 0:
        return UsbOk;
    case -4:
        if (error == EACCES || error == EPERM)
            return UsbNoPermission;
        if (error == ENODEV || error == ENOENT)
            return UsbDeviceNotFound;
        return UsbDeviceNotOpened;
    case -8:
        return UsbNoPermission;
    case -3:
    case -5:
        return UsbBusy;
    default:
        return UsbDeviceNotOpened;
    }
}

using FtdiList = std::unique_ptr<ftdi_device_list, FtdiListDeleter>;
using FtdiContext = std::unique_ptr<ftdi_context, FtdiContextDeleter>;

// A new context and libftdi's list of its default FTDI products in it; the number of
// devices found, or a negative result when libftdi or USB cannot start.
int findAll(FtdiContext *context, FtdiList *list)
{
    context->reset(ftdi_new());
    if (!*context)
        return -1;
    ftdi_device_list *raw = nullptr;
    const int found = ftdi_usb_find_all(context->get(), &raw, 0, 0);
    list->reset(raw);
    return found;
}

class ZFtdiDevice : public ZUsbDevice
{
public:
    explicit ZFtdiDevice(FtdiContext context)
        : m_context(std::move(context))
    { }
    ~ZFtdiDevice() override { close(); }

    int reset() override
    {
        if (!m_open)
            return UsbInvalidHandle;
        m_buffer.clear();
        m_head = 0;
        return ftdi_usb_reset(m_context.get()) == 0 ? int(UsbOk) : int(UsbIoError);
    }
    int setLatencyTimer(unsigned char milliseconds) override
    {
        if (!m_open)
            return UsbInvalidHandle;
        return ftdi_set_latency_timer(m_context.get(), milliseconds) == 0 ? int(UsbOk)
                                                                          : int(UsbIoError);
    }
    int setBaudRate(unsigned baudRate) override
    {
        if (!m_open)
            return UsbInvalidHandle;
        if (baudRate == 0 || baudRate > 12000000)
            return UsbInvalidArgument;
        return ftdi_set_baudrate(m_context.get(), int(baudRate)) == 0 ? int(UsbOk)
                                                                      : int(UsbIoError);
    }
    int queueStatus(unsigned *bytesWaiting) override
    {
        *bytesWaiting = 0;
        if (!m_open)
            return UsbInvalidHandle;
        const int status = fill();
        *bytesWaiting = buffered();
        return status;
    }
    int read(unsigned char *buffer, unsigned toRead, unsigned *bytesRead) override
    {
        *bytesRead = 0;
        if (!m_open)
            return UsbInvalidHandle;
        unsigned done = take(buffer, toRead);
        if (done < toRead) {
            const int got = ftdi_read_data(m_context.get(), buffer + done, int(toRead - done));
            if (got < 0) {
                *bytesRead = done;
                return transferStatus(got);
            }
            done += unsigned(got);
        }
        *bytesRead = done;
        return UsbOk;
    }
    int write(const unsigned char *buffer, unsigned length, unsigned *bytesWritten) override
    {
        *bytesWritten = 0;
        if (!m_open)
            return UsbInvalidHandle;
        const int written = ftdi_write_data(m_context.get(), buffer, int(length));
        if (written < 0)
            return transferStatus(written);
        *bytesWritten = unsigned(written);
        return UsbOk;
    }
    int close() override
    {
        if (m_open) {
            m_open = false;
            ftdi_usb_close(m_context.get());
        }
        return UsbOk;
    }
    int waitForBytes(int timeoutMs, unsigned *bytesWaiting) override
    {
        *bytesWaiting = 0;
        if (!m_open)
            return UsbInvalidHandle;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (m_interrupted.load())
                return UsbInterrupted;
            const Clock::time_point before = Clock::now();
            const int status = fill();
            *bytesWaiting = buffered();
            if (status != UsbOk || *bytesWaiting > 0 || before >= deadline)
                return status;
            // Each short read blocks in the USB stack until the chip's status packet;
            // should one ever come back at once, pause rather than spin.
            if (Clock::now() - before < std::chrono::milliseconds(1))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void interrupt() override { m_interrupted.store(true); }
    void clearInterrupt() override { m_interrupted.store(false); }
    bool isInterrupted() const override { return m_interrupted.load(); }

private:
    unsigned buffered() const { return unsigned(m_buffer.size() - m_head); }

    // One short read appended to the buffer.
    int fill()
    {
        if (m_head == m_buffer.size()) {
            m_buffer.clear();
            m_head = 0;
        }
        unsigned char chunk[FillSize];
        const int got = ftdi_read_data(m_context.get(), chunk, int(FillSize));
        if (got < 0)
            return transferStatus(got);
        m_buffer.insert(m_buffer.end(), chunk, chunk + got);
        return UsbOk;
    }

    unsigned take(unsigned char *buffer, unsigned count)
    {
        const unsigned n = std::min(count, buffered());
        std::copy_n(m_buffer.begin() + std::ptrdiff_t(m_head), n, buffer);
        m_head += n;
        return n;
    }

    FtdiContext m_context;
    bool m_open = true;
    std::vector<unsigned char> m_buffer;
    std::size_t m_head = 0;
    std::atomic<bool> m_interrupted { false };
};

} // namespace

inline namespace QUORAVI_FTDI_BUILD {

ZFtdiBridge::ZFtdiBridge() = default;
ZFtdiBridge::~ZFtdiBridge() = default;

int ZFtdiBridge::deviceCount(unsigned *count)
{
    *count = 0;
    FtdiContext context;
    FtdiList list;
    const int found = findAll(&context, &list);
    if (found < 0)
        return UsbNoAccess;
    *count = unsigned(found);
    return UsbOk;
}

int ZFtdiBridge::open(unsigned index, std::unique_ptr<ZUsbDevice> *device)
{
    device->reset();
    FtdiContext context;
    FtdiList list;
    const int found = findAll(&context, &list);
    if (found < 0)
        return UsbNoAccess;
    ftdi_device_list *node = list.get();
    for (unsigned i = 0; node && i < index; ++i)
        node = node->next;
    if (!node)
        return UsbDeviceNotFound;
    // Give the serial port back to ftdi_sio when the box is closed again.
    context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    errno = 0;
    const int result = ftdi_usb_open_dev(context.get(), node->dev);
    if (result != 0)
        return openStatus(result, errno);
    context->usb_read_timeout = ReadTimeoutMs;
    context->usb_write_timeout = WriteTimeoutMs;
    *device = std::make_unique<ZFtdiDevice>(std::move(context));
    return UsbOk;
}

int ZFtdiBridge::listDevices(std::vector<ZUsbDeviceInfo> *devices)
{
    devices->clear();
    FtdiContext context;
    FtdiList list;
    if (findAll(&context, &list) < 0)
        return UsbNoAccess;
    for (ftdi_device_list *node = list.get(); node; node = node->next) {
        ZUsbDeviceInfo info;
        info.bus = libusb_get_bus_number(node->dev);
        info.address = libusb_get_device_address(node->dev);
        libusb_device_descriptor descriptor {};
        if (libusb_get_device_descriptor(node->dev, &descriptor) == 0) {
            info.vendorId = descriptor.idVendor;
            info.productId = descriptor.idProduct;
        }
        // Reading the strings opens the device for a moment, which needs the same rights.
        char description[128] = {};
        char serial[128] = {};
        if (ftdi_usb_get_strings(context.get(), node->dev, nullptr, 0, description,
                                 int(sizeof description), serial, int(sizeof serial))
            == 0) {
            info.description = description;
            info.serial = serial;
        }
        devices->push_back(info);
    }
    return UsbOk;
}

} // namespace QUORAVI_FTDI_BUILD
