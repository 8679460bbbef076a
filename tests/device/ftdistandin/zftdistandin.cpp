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

namespace {

using Clock = std::chrono::steady_clock;

constexpr int PacketSize = 64;
constexpr int StatusBytes = 2;
constexpr int PacketData = PacketSize - StatusBytes;
constexpr int ChipDefaultLatencyMs = 16;
constexpr int OpenBaudRate = 9600;
constexpr int DeviceUnavailable = -666;
// FT232R modem status as it heads every packet.
constexpr unsigned char StatusByte0 = 0x01;
constexpr unsigned char StatusByte1 = 0x60;

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

} // namespace

struct libusb_device
{
    std::shared_ptr<Device> device;
};

// The chip of an open context with the serial line to its box.
struct Line
{
    std::shared_ptr<Device> device;
    std::unique_ptr<ZUsbDevice> serial;
    int latencyMs = ChipDefaultLatencyMs;
    std::vector<unsigned char> readBuffer; // libftdi's: data read but not yet handed out
    std::size_t readOffset = 0;
};

namespace {

int lineError(int status)
{
    return isGoneStatus(status) ? LIBUSB_ERROR_NO_DEVICE : LIBUSB_ERROR_IO;
}

// One bulk-in transfer as the chip answers it: the bytes of the packets, status bytes
// included, or a negative libusb error.
int bulkRead(ftdi_context *ftdi, std::vector<unsigned char> *image)
{
    Line &line = *ftdi->usb_dev;
    const int waitMs = std::max(1, std::min(line.latencyMs, ftdi->usb_read_timeout));
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    const unsigned capacity = ftdi->readbuffer_chunksize / PacketSize * PacketData;
    unsigned waiting = 0;
    for (;;) {
        const int status = line.serial->queueStatus(&waiting);
        if (status != UsbOk)
            return lineError(status);
        const Clock::time_point now = Clock::now();
        if (waiting >= unsigned(PacketData) || now >= deadline)
            break;
        const int leftMs
            = int(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
        if (waiting == 0) {
            const int waited = line.serial->waitForBytes(leftMs, &waiting);
            if (waited != UsbOk)
                return lineError(waited);
        } else {
            // A short packet leaves the chip only when its latency timer expires.
            std::this_thread::sleep_until(deadline);
        }
    }
    std::vector<unsigned char> data(std::min(waiting, capacity));
    unsigned got = 0;
    if (!data.empty()) {
        const int status = line.serial->read(data.data(), unsigned(data.size()), &got);
        if (status != UsbOk)
            return lineError(status);
    }
    data.resize(got);
    image->clear();
    std::size_t pos = 0;
    int packets = 0;
    do {
        const std::size_t n = std::min<std::size_t>(PacketData, data.size() - pos);
        image->push_back(StatusByte0);
        image->push_back(StatusByte1);
        image->insert(image->end(), data.begin() + std::ptrdiff_t(pos),
                      data.begin() + std::ptrdiff_t(pos + n));
        pos += n;
        ++packets;
    } while (pos < data.size());
    withBus([&](Bus &b) {
        ++b.counters.bulkReads;
        b.counters.packets += packets;
        if (data.empty())
            ++b.counters.emptyBulkReads;
        return 0;
    });
    return int(image->size());
}

// The data of a transfer: every packet without its two status bytes.
std::vector<unsigned char> stripStatus(const std::vector<unsigned char> &image, unsigned packetSize)
{
    std::vector<unsigned char> data;
    for (std::size_t pos = 0; pos < image.size(); pos += packetSize) {
        const std::size_t end = std::min<std::size_t>(pos + packetSize, image.size());
        if (end > pos + StatusBytes)
            data.insert(data.end(), image.begin() + std::ptrdiff_t(pos + StatusBytes),
                        image.begin() + std::ptrdiff_t(end));
    }
    return data;
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

// ---------------------------------------------------------------------------------------
// Control

void setBus(std::vector<Device> devices, bool usbStarts)
{
    withBus([&](Bus &b) {
        b.devices.clear();
        for (Device &device : devices)
            b.devices.push_back(std::make_shared<Device>(std::move(device)));
        b.usbStarts = usbStarts;
        b.counters = Counters { b.counters.contexts, b.counters.openLines, 0, 0, 0, 0 };
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

BusScope::~BusScope()
{
    setBus({});
}

// ---------------------------------------------------------------------------------------
// libusb

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
    *desc = libusb_device_descriptor {};
    desc->bLength = 18;
    desc->bDescriptorType = 1;
    desc->bMaxPacketSize0 = 8;
    desc->idVendor = std::uint16_t(dev->device->vendorId);
    desc->idProduct = std::uint16_t(dev->device->productId);
    desc->bcdDevice = 0x0600; // FT232R
    desc->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

// ---------------------------------------------------------------------------------------
// libftdi

ftdi_context *ftdi_new()
{
    const bool starts = withBus([](Bus &b) {
        if (b.usbStarts)
            ++b.counters.contexts;
        return b.usbStarts;
    });
    return starts ? new ftdi_context : nullptr;
}

void ftdi_free(ftdi_context *ftdi)
{
    if (!ftdi)
        return;
    closeLine(ftdi);
    delete ftdi;
    withBus([](Bus &b) { return --b.counters.contexts; });
}

int ftdi_usb_find_all(ftdi_context *ftdi, ftdi_device_list **devlist, int vendor, int product)
{
    *devlist = nullptr;
    if (!ftdi)
        return -5;
    const std::vector<std::shared_ptr<Device>> devices = withBus([](Bus &b) { return b.devices; });
    ftdi_device_list **tail = devlist;
    int found = 0;
    for (const std::shared_ptr<Device> &device : devices) {
        const bool wanted = (vendor == 0 && product == 0)
            ? isDefaultProduct(*device)
            : device->vendorId == vendor && device->productId == product;
        if (!wanted || !device->box || !device->box->isPlugged())
            continue;
        *tail = new ftdi_device_list { nullptr, new libusb_device { device } };
        tail = &(*tail)->next;
        ++found;
    }
    return found;
}

void ftdi_list_free(ftdi_device_list **devlist)
{
    ftdi_device_list *node = *devlist;
    while (node) {
        ftdi_device_list *next = node->next;
        delete node->dev;
        delete node;
        node = next;
    }
    *devlist = nullptr;
}

int ftdi_usb_get_strings(ftdi_context *ftdi, libusb_device *dev, char *manufacturer, int mnf_len,
                         char *description, int desc_len, char *serial, int serial_len)
{
    if (!ftdi || !dev)
        return -1;
    // Reading the strings opens the device, with the same rights as any open.
    if (dev->device->refusal == OpenRefusal::AccessDenied || !dev->device->box->isPlugged())
        return -4;
    copyString("FTDI", manufacturer, mnf_len);
    copyString(dev->device->description, description, desc_len);
    copyString(dev->device->serial, serial, serial_len);
    return 0;
}

int ftdi_usb_open_dev(ftdi_context *ftdi, libusb_device *dev)
{
    if (!ftdi)
        return -8;
    const std::shared_ptr<Device> &device = dev->device;
    switch (device->refusal) {
    case OpenRefusal::AccessDenied:
        errno = EACCES;
        return -4;
    case OpenRefusal::DetachDenied:
        errno = EPERM;
        return -8;
    case OpenRefusal::Claimed:
        errno = EBUSY;
        return -5;
    case OpenRefusal::None:
        break;
    }
    ZSimulatedBridge bridge(device->box);
    std::unique_ptr<ZUsbDevice> serial;
    if (bridge.open(0, &serial) != UsbOk) {
        errno = ENODEV;
        return -4;
    }
    closeLine(ftdi);
    ftdi->usb_dev = new Line { device, std::move(serial), ChipDefaultLatencyMs, {}, 0 };
    ftdi->max_packet_size = PacketSize;
    withBus([](Bus &b) {
        ++b.counters.opens;
        return ++b.counters.openLines;
    });
    if (ftdi->usb_dev->serial->reset() != UsbOk) {
        closeLine(ftdi);
        return -6;
    }
    if (ftdi->usb_dev->serial->setBaudRate(OpenBaudRate) != UsbOk) {
        closeLine(ftdi);
        return -7;
    }
    return 0;
}

int ftdi_usb_close(ftdi_context *ftdi)
{
    if (!ftdi)
        return -3;
    closeLine(ftdi);
    return 0;
}

int ftdi_usb_reset(ftdi_context *ftdi)
{
    if (!ftdi || !ftdi->usb_dev)
        return -2;
    ftdi->usb_dev->readBuffer.clear();
    ftdi->usb_dev->readOffset = 0;
    return ftdi->usb_dev->serial->reset() == UsbOk ? 0 : -1;
}

int ftdi_set_latency_timer(ftdi_context *ftdi, unsigned char latency)
{
    if (latency < 1)
        return -1;
    if (!ftdi || !ftdi->usb_dev)
        return -3;
    ftdi->usb_dev->latencyMs = latency;
    unsigned waiting = 0;
    return ftdi->usb_dev->serial->queueStatus(&waiting) == UsbOk ? 0 : -2;
}

int ftdi_set_baudrate(ftdi_context *ftdi, int baudrate)
{
    if (!ftdi || !ftdi->usb_dev)
        return -3;
    if (baudrate <= 0)
        return -1;
    return ftdi->usb_dev->serial->setBaudRate(unsigned(baudrate)) == UsbOk ? 0 : -2;
}

int ftdi_read_data(ftdi_context *ftdi, unsigned char *buf, int size)
{
    if (!ftdi || !ftdi->usb_dev)
        return DeviceUnavailable;
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
        std::vector<unsigned char> image;
        const int result = bulkRead(ftdi, &image);
        if (result < 0)
            return result;
        line.readBuffer = stripStatus(image, ftdi->max_packet_size);
        line.readOffset = 0;
        if (line.readBuffer.empty())
            return offset;
        serveBuffered();
    }
    return offset;
}

int ftdi_write_data(ftdi_context *ftdi, const unsigned char *buf, int size)
{
    if (!ftdi || !ftdi->usb_dev)
        return DeviceUnavailable;
    int offset = 0;
    while (offset < size) {
        const int chunk = std::min(size - offset, int(ftdi->writebuffer_chunksize));
        unsigned written = 0;
        if (ftdi->usb_dev->serial->write(buf + offset, unsigned(chunk), &written) != UsbOk)
            return -1;
        offset += int(written);
        if (int(written) < chunk)
            break;
    }
    return offset;
}

} // namespace ftdistandin
