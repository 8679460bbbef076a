#include "zftdibridge.h"

#include <ftdi.h>

#include <algorithm>
#include <atomic>
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

ZFtdiBridge::ZFtdiBridge() = default;
ZFtdiBridge::~ZFtdiBridge() = default;

int ZFtdiBridge::deviceCount(unsigned *count)
{
    *count = 0;
    FtdiContext context;
    FtdiList list;
    const int found = findAll(&context, &list);
    if (found < 0)
        return UsbIoError;
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
        return UsbIoError;
    ftdi_device_list *node = list.get();
    for (unsigned i = 0; node && i < index; ++i)
        node = node->next;
    if (!node)
        return UsbDeviceNotFound;
    // Give the serial port back to ftdi_sio when the box is closed again.
    context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    if (ftdi_usb_open_dev(context.get(), node->dev) != 0)
        return UsbDeviceNotOpened;
    context->usb_read_timeout = ReadTimeoutMs;
    context->usb_write_timeout = WriteTimeoutMs;
    *device = std::make_unique<ZFtdiDevice>(std::move(context));
    return UsbOk;
}
