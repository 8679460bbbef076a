#ifndef ZFTDISTANDIN_H
#define ZFTDISTANDIN_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ZSimulatedBox;
class ZUsbDevice;

// A stand-in for libftdi1 with simulated boxes behind it, for test builds of the backend: the
// USB bus it shows, and what the backend uses of libftdi 1.5 and libusb-1.0 as they behave on
// an FT232R. In a namespace of its own so that a test program may hold the real library too.
namespace ftdistandin {

// Why an open is refused: no rights on the device node, no rights to detach ftdi_sio,
// another program holds the interface, unplugged between listing and opening.
enum class OpenRefusal { None, AccessDenied, DetachDenied, Claimed, Gone };

struct Device
{
    std::shared_ptr<ZSimulatedBox> box; // unplug it to pull the cable
    int bus = 1;
    int address = 4;
    int vendorId = 0x0403;
    int productId = 0x6001;
    std::string description = "Tebor USB DAQ";
    std::string serial = "TB000001";
    OpenRefusal refusal = OpenRefusal::None;
};

struct Counters
{
    int contexts = 0; // contexts alive (ftdi_new without ftdi_free)
    int openLines = 0; // devices open now
};

// Sets the bus for the next libftdi calls; `usbStarts` false makes ftdi_new fail as it
// does when libusb cannot start.
void setBus(std::vector<Device> devices, bool usbStarts = true);
Counters counters();

// While it lives, the bus is as given; afterwards empty again.
class BusScope
{
public:
    explicit BusScope(std::vector<Device> devices, bool usbStarts = true)
    {
        setBus(std::move(devices), usbStarts);
    }
    ~BusScope() { setBus({}); }
    BusScope(const BusScope &) = delete;
    BusScope &operator=(const BusScope &) = delete;
};

// libusb-1.0: a listed device (a copy of it as it was when listed), and the fields of its
// descriptor the backend reads.
using libusb_device = Device;
struct libusb_device_descriptor
{
    std::uint16_t idVendor;
    std::uint16_t idProduct;
};

std::uint8_t libusb_get_bus_number(libusb_device *dev);
std::uint8_t libusb_get_device_address(libusb_device *dev);
int libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc);

// libftdi 1.5.
enum ftdi_module_detach_mode { AUTO_DETACH_SIO_MODULE = 0, AUTO_DETACH_REATACH_SIO_MODULE = 2 };

struct ftdi_context
{
    ZUsbDevice *usb_dev = nullptr; // libftdi's open handle; here the serial line to a box
    int usb_read_timeout = 5000;
    int usb_write_timeout = 5000;
    ftdi_module_detach_mode module_detach_mode = AUTO_DETACH_SIO_MODULE;
    int latency_ms = 16; // the stand-in's own: the chip's latency timer
};

struct ftdi_device_list
{
    ftdi_device_list *next;
    libusb_device *dev;
};

ftdi_context *ftdi_new();
void ftdi_free(ftdi_context *ftdi);
int ftdi_usb_find_all(ftdi_context *ftdi, ftdi_device_list **devlist, int vendor, int product);
void ftdi_list_free(ftdi_device_list **devlist);
int ftdi_usb_get_strings(ftdi_context *, libusb_device *, char *, int, char *, int, char *, int);
int ftdi_usb_open_dev(ftdi_context *ftdi, libusb_device *dev);
int ftdi_usb_close(ftdi_context *ftdi);
int ftdi_usb_reset(ftdi_context *ftdi);
int ftdi_set_latency_timer(ftdi_context *ftdi, unsigned char latency);
int ftdi_set_baudrate(ftdi_context *ftdi, int baudrate);
int ftdi_read_data(ftdi_context *ftdi, unsigned char *buf, int size);
int ftdi_write_data(ftdi_context *ftdi, const unsigned char *buf, int size);

} // namespace ftdistandin

#endif // ZFTDISTANDIN_H
