#ifndef ZFTDISTANDIN_H
#define ZFTDISTANDIN_H

#include <memory>
#include <string>
#include <vector>

class ZSimulatedBox;

// Control of the libftdi1 stand-in: the USB bus it shows and the boxes behind it.
// The stand-in behaves as libftdi 1.5 on an FT232R does where the backend can tell:
// - ftdi_usb_find_all lists the plugged-in devices of libftdi's default products in order;
// - ftdi_usb_open_dev refuses with libftdi's own codes (see OpenRefusal); a good open
//   resets the chip and sets 9600 baud, as libftdi does;
// - a bulk read returns at once when a full packet waits, else when the chip's latency
//   timer (or the read time-out, if shorter) expires, possibly with no data; data come
//   in 64-byte packets whose first two bytes are modem status, which ftdi_read_data
//   strips, keeping what does not fit the caller's buffer for the next call;
// - a read on a box that is gone fails with LIBUSB_ERROR_NO_DEVICE, a write with -1 (as
//   libftdi folds every write error).
namespace ftdistandin {

enum class OpenRefusal {
    None,
    AccessDenied, // no rights on the device node: -4, errno EACCES
    DetachDenied, // no rights to detach ftdi_sio: -8
    Claimed, // another program holds the interface: -5
    Gone // unplugged between listing and opening: -4, errno ENODEV
};

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
    explicit BusScope(std::vector<Device> devices, bool usbStarts = true);
    ~BusScope() { setBus({}); }
    BusScope(const BusScope &) = delete;
    BusScope &operator=(const BusScope &) = delete;
};

} // namespace ftdistandin

#endif // ZFTDISTANDIN_H
