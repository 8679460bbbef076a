#ifndef ZFTDISTANDIN_H
#define ZFTDISTANDIN_H

#include <memory>
#include <string>
#include <vector>

class ZSimulatedBox;

// Control of the libftdi1 stand-in: the USB bus it shows and the boxes behind it. The
// stand-in behaves as libftdi 1.5 on an FT232R does where the backend can tell.
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

} // namespace ftdistandin

#endif // ZFTDISTANDIN_H
