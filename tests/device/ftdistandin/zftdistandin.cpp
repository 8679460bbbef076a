#include "zftdistandin.h"

#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <utility>

// Where the backend can tell, as libftdi 1.5 on an FT232R: ftdi_usb_find_all lists the
// plugged-in default products in bus order; a refused open gives libftdi's result and the
// errno libusb leaves; a good open sets 9600 baud. A read waits for data at most until the
// latency timer (or a shorter read time-out) expires. A gone box fails reads with libusb's
// "no device", writes with -1 (libftdi folds every write error).
namespace ftdistandin {

namespace {

struct Bus
{
    std::mutex mutex;
    std::vector<Device> devices;
    bool usbStarts = true;
    std::atomic<int> contexts { 0 };
    std::atomic<int> openLines { 0 };
} bus;

bool isDefaultProduct(const Device &device)
{
    const int pid = device.productId;
    return device.vendorId == 0x0403
        && (pid == 0x6001 || pid == 0x6010 || pid == 0x6011 || pid == 0x6014 || pid == 0x6015);
}

} // namespace

void setBus(std::vector<Device> devices, bool usbStarts)
{
    const std::lock_guard<std::mutex> lock(bus.mutex);
    bus.devices = std::move(devices);
    bus.usbStarts = usbStarts;
}

Counters counters()
{
    return { bus.contexts.load(), bus.openLines.load() };
}

std::uint8_t libusb_get_bus_number(libusb_device *dev)
{
    return std::uint8_t(dev->bus);
}

std::uint8_t libusb_get_device_address(libusb_device *dev)
{
    return std::uint8_t(dev->address);
}

int libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc)
{
    desc->idVendor = std::uint16_t(dev->vendorId);
    desc->idProduct = std::uint16_t(dev->productId);
    return 0;
}

ftdi_context *ftdi_new()
{
    const std::lock_guard<std::mutex> lock(bus.mutex);
    if (!bus.usbStarts)
        return nullptr;
    ++bus.contexts;
    return new ftdi_context;
}

void ftdi_free(ftdi_context *ftdi)
{
    ftdi_usb_close(ftdi);
    delete ftdi;
    --bus.contexts;
}

// The backend asks for libftdi's default products only (vendor and product 0).
int ftdi_usb_find_all(ftdi_context *, ftdi_device_list **devlist, int, int)
{
    const std::lock_guard<std::mutex> lock(bus.mutex);
    *devlist = nullptr;
    int found = 0;
    for (auto device = bus.devices.rbegin(); device != bus.devices.rend(); ++device) {
        if (isDefaultProduct(*device) && device->box->isPlugged()) {
            *devlist = new ftdi_device_list { *devlist, new Device(*device) };
            ++found;
        }
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

int ftdi_usb_get_strings(ftdi_context *, libusb_device *dev, char *, int, char *description,
                         int desc_len, char *serial, int serial_len)
{
    // Reading the strings opens the device, with the same rights as any open.
    const OpenRefusal refusal = dev->refusal;
    if (refusal == OpenRefusal::AccessDenied || refusal == OpenRefusal::Gone)
        return -4;
    std::snprintf(description, std::size_t(desc_len), "%s", dev->description.c_str());
    std::snprintf(serial, std::size_t(serial_len), "%s", dev->serial.c_str());
    return 0;
}

int ftdi_usb_open_dev(ftdi_context *ftdi, libusb_device *dev)
{
    // By OpenRefusal: libftdi's result, and the errno libusb leaves where libftdi folds it.
    constexpr int Refused[][2]
        = { { 0, 0 }, { -4, EACCES }, { -8, EPERM }, { -5, EBUSY }, { -4, ENODEV } };
    int refusal = int(dev->refusal);
    std::unique_ptr<ZUsbDevice> serial;
    if (refusal == 0 && ZSimulatedBridge(dev->box).open(0, &serial) != UsbOk)
        refusal = int(OpenRefusal::Gone);
    if (refusal != 0) {
        errno = Refused[refusal][1];
        return Refused[refusal][0];
    }
    ftdi_usb_close(ftdi);
    serial->setBaudRate(9600);
    ftdi->usb_dev = serial.release();
    ++bus.openLines;
    return 0;
}

int ftdi_usb_close(ftdi_context *ftdi)
{
    if (ftdi->usb_dev)
        --bus.openLines;
    delete std::exchange(ftdi->usb_dev, nullptr);
    return 0;
}

int ftdi_usb_reset(ftdi_context *ftdi)
{
    return ftdi->usb_dev->reset() == UsbOk ? 0 : -1;
}

int ftdi_set_latency_timer(ftdi_context *ftdi, unsigned char latency)
{
    ftdi->latency_ms = latency;
    return 0;
}

int ftdi_set_baudrate(ftdi_context *ftdi, int baudrate)
{
    return ftdi->usb_dev->setBaudRate(unsigned(baudrate)) == UsbOk ? 0 : -2;
}

int ftdi_read_data(ftdi_context *ftdi, unsigned char *buf, int size)
{
    // Without data the chip still sends its status once its latency timer expires.
    ZUsbDevice &serial = *ftdi->usb_dev;
    const int timerMs = std::max(1, std::min(ftdi->latency_ms, ftdi->usb_read_timeout));
    unsigned waiting = 0;
    int status = serial.waitForBytes(timerMs, &waiting);
    unsigned got = 0;
    if (status == UsbOk && waiting > 0)
        status = serial.read(buf, std::min(waiting, unsigned(size)), &got);
    if (status != UsbOk)
        return isGoneStatus(status) ? -4 : -1; // libusb's "no device", "I/O error"
    return int(got);
}

int ftdi_write_data(ftdi_context *ftdi, const unsigned char *buf, int size)
{
    unsigned written = 0;
    const int status = ftdi->usb_dev->write(buf, unsigned(size), &written);
    return status == UsbOk ? int(written) : -1;
}

} // namespace ftdistandin
