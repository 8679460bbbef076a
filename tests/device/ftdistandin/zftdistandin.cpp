#include "zftdistandin.h"

#include "ftdi.h"

#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace ftdistandin {

struct libusb_device
{
    std::shared_ptr<Device> device;
};

// The chip of an open context with the serial line to its box.
struct Line
{
    std::unique_ptr<ZUsbDevice> serial;
    int latencyMs;
    std::vector<unsigned char> readBuffer; // libftdi's: data read but not yet handed out
    std::size_t readOffset;
};

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned PacketSize = 64;
constexpr unsigned StatusBytes = 2;
constexpr unsigned PacketData = PacketSize - StatusBytes;

struct Bus
{
    std::mutex mutex;
    std::vector<std::shared_ptr<Device>> devices;
    bool usbStarts = true;
    Counters counters;
};

Bus &bus()
{
    static Bus instance;
    return instance;
}

template<typename F> auto withBus(F f)
{
    std::lock_guard<std::mutex> lock(bus().mutex);
    return f(bus());
}

bool isDefaultProduct(const Device &device)
{
    const int pid = device.productId;
    return device.vendorId == 0x0403
        && (pid == 0x6001 || pid == 0x6010 || pid == 0x6011 || pid == 0x6014 || pid == 0x6015);
}

void copyString(const std::string &text, char *out, int length)
{
    if (!out || length <= 0)
        return;
    const std::size_t n = std::min(text.size(), std::size_t(length - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

int lineError(int status)
{
    return isGoneStatus(status) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_ERROR_IO;
}

// One bulk-in transfer as ftdi_read_data hands it out: the data of its 64-byte packets
// without their two status bytes (so none at all when the latency timer sent only the
// status), or a negative libusb error.
int bulkRead(ftdi_context *ftdi, std::vector<unsigned char> *data)
{
    Line &line = *ftdi->usb_dev;
    const int waitMs = std::max(1, std::min(line.latencyMs, ftdi->usb_read_timeout));
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    unsigned waiting = 0;
    for (;;) {
        const int status = line.serial->queueStatus(&waiting);
        if (status != UsbOk)
            return lineError(status);
        const Clock::time_point now = Clock::now();
        if (waiting >= PacketData || now >= deadline)
            break;
        if (waiting > 0) {
            // A short packet leaves the chip only when its latency timer expires.
            std::this_thread::sleep_until(deadline);
            continue;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        const int waited = line.serial->waitForBytes(int(left.count()), &waiting);
        if (waited != UsbOk)
            return lineError(waited);
    }
    const unsigned packets = ftdi->readbuffer_chunksize / ftdi->max_packet_size;
    data->resize(std::min(waiting, packets * (ftdi->max_packet_size - StatusBytes)));
    unsigned got = 0;
    const int status
        = data->empty() ? UsbOk : line.serial->read(data->data(), unsigned(data->size()), &got);
    data->resize(got);
    return status == UsbOk ? int(got) : lineError(status);
}

void closeLine(ftdi_context *ftdi)
{
    if (!ftdi->usb_dev)
        return;
    delete ftdi->usb_dev;
    ftdi->usb_dev = nullptr;
    withBus([](Bus &b) { return --b.counters.openLines; });
}

} // namespace

void setBus(std::vector<Device> devices, bool usbStarts)
{
    withBus([&](Bus &b) {
        b.devices.clear();
        for (Device &device : devices)
            b.devices.push_back(std::make_shared<Device>(std::move(device)));
        b.usbStarts = usbStarts;
        return 0;
    });
}

Counters counters()
{
    return withBus([](Bus &b) { return b.counters; });
}

BusScope::BusScope(std::vector<Device> devices, bool usbStarts)
{
    setBus(std::move(devices), usbStarts);
}

std::uint8_t libusb_get_bus_number(libusb_device *dev)
{
    return std::uint8_t(dev->device->bus);
}

std::uint8_t libusb_get_device_address(libusb_device *dev)
{
    return std::uint8_t(dev->device->address);
}

int libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc)
{
    desc->idVendor = std::uint16_t(dev->device->vendorId);
    desc->idProduct = std::uint16_t(dev->device->productId);
    return LIBUSB_SUCCESS;
}

ftdi_context *ftdi_new()
{
    const bool starts = withBus([](Bus &b) {
        b.counters.contexts += b.usbStarts ? 1 : 0;
        return b.usbStarts;
    });
    return starts ? new ftdi_context : nullptr;
}

void ftdi_free(ftdi_context *ftdi)
{
    closeLine(ftdi);
    delete ftdi;
    withBus([](Bus &b) { return --b.counters.contexts; });
}

// The backend asks for libftdi's default products only (vendor and product 0).
int ftdi_usb_find_all(ftdi_context *, ftdi_device_list **devlist, int, int)
{
    *devlist = nullptr;
    const std::vector<std::shared_ptr<Device>> devices = withBus([](Bus &b) { return b.devices; });
    ftdi_device_list **tail = devlist;
    int found = 0;
    for (const std::shared_ptr<Device> &device : devices) {
        if (!isDefaultProduct(*device) || !device->box->isPlugged())
            continue;
        *tail = new ftdi_device_list { nullptr, new libusb_device { device } };
        tail = &(*tail)->next;
        ++found;
    }
    return found;
}

void ftdi_list_free(ftdi_device_list **devlist)
{
    while (ftdi_device_list *node = *devlist) {
        *devlist = node->next;
        delete node->dev;
        delete node;
    }
}

int ftdi_usb_get_strings(ftdi_context *, libusb_device *dev, char *manufacturer, int mnf_len,
                         char *description, int desc_len, char *serial, int serial_len)
{
    // Reading the strings opens the device, with the same rights as any open.
    const OpenRefusal refusal = dev->device->refusal;
    if (refusal == OpenRefusal::AccessDenied || refusal == OpenRefusal::Gone)
        return -4;
    copyString("FTDI", manufacturer, mnf_len);
    copyString(dev->device->description, description, desc_len);
    copyString(dev->device->serial, serial, serial_len);
    return 0;
}

int ftdi_usb_open_dev(ftdi_context *ftdi, libusb_device *dev)
{
    struct Outcome
    {
        int result;
        int error;
    };
    // By OpenRefusal: libftdi's result, and the errno libusb leaves where libftdi folds it.
    constexpr Outcome Refused[]
        = { { 0, 0 }, { -4, EACCES }, { -8, EPERM }, { -5, EBUSY }, { -4, ENODEV } };
    Outcome outcome = Refused[int(dev->device->refusal)];
    std::unique_ptr<ZUsbDevice> serial;
    if (outcome.result == 0 && ZSimulatedBridge(dev->device->box).open(0, &serial) != UsbOk)
        outcome = Refused[int(OpenRefusal::Gone)];
    if (outcome.result != 0) {
        errno = outcome.error;
        return outcome.result;
    }
    closeLine(ftdi);
    ftdi->usb_dev = new Line { std::move(serial), 16, {}, 0 }; // the chip's default latency
    ftdi->max_packet_size = PacketSize;
    withBus([](Bus &b) { return ++b.counters.openLines; });
    ZUsbDevice &chip = *ftdi->usb_dev->serial;
    const int result = chip.reset() != UsbOk ? -6 : chip.setBaudRate(9600) != UsbOk ? -7 : 0;
    if (result != 0)
        closeLine(ftdi);
    return result;
}

int ftdi_usb_close(ftdi_context *ftdi)
{
    closeLine(ftdi);
    return 0;
}

int ftdi_usb_reset(ftdi_context *ftdi)
{
    ftdi->usb_dev->readBuffer.clear();
    ftdi->usb_dev->readOffset = 0;
    return ftdi->usb_dev->serial->reset() == UsbOk ? 0 : -1;
}

int ftdi_set_latency_timer(ftdi_context *ftdi, unsigned char latency)
{
    ftdi->usb_dev->latencyMs = latency;
    return 0;
}

int ftdi_set_baudrate(ftdi_context *ftdi, int baudrate)
{
    return ftdi->usb_dev->serial->setBaudRate(unsigned(baudrate)) == UsbOk ? 0 : -2;
}

int ftdi_read_data(ftdi_context *ftdi, unsigned char *buf, int size)
{
    Line &line = *ftdi->usb_dev;
    int offset = 0;
    const auto serveBuffered = [&] {
        const std::size_t n = std::min<std::size_t>(std::size_t(size - offset),
                                                    line.readBuffer.size() - line.readOffset);
        std::copy_n(line.readBuffer.begin() + std::ptrdiff_t(line.readOffset), n, buf + offset);
        line.readOffset += n;
        offset += int(n);
    };
    serveBuffered();
    while (offset < size) {
        line.readOffset = 0;
        const int result = bulkRead(ftdi, &line.readBuffer);
        if (result <= 0)
            return result < 0 ? result : offset;
        serveBuffered();
    }
    return offset;
}

int ftdi_write_data(ftdi_context *ftdi, const unsigned char *buf, int size)
{
    unsigned written = 0;
    const int status = ftdi->usb_dev->serial->write(buf, unsigned(size), &written);
    return status == UsbOk ? int(written) : -1; // libftdi folds every write error
}

} // namespace ftdistandin
