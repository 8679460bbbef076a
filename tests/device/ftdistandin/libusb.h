#ifndef QUORAVI_FTDISTANDIN_LIBUSB_H
#define QUORAVI_FTDISTANDIN_LIBUSB_H

// The few libusb-1.0 names the backend uses besides libftdi, for the stand-in build.

#include <cstdint>

namespace ftdistandin {

struct libusb_device; // one entry of a device list; defined by the stand-in

// Only the fields the backend reads; libusb's own descriptor has more before them.
struct libusb_device_descriptor
{
    std::uint16_t idVendor;
    std::uint16_t idProduct;
};

std::uint8_t libusb_get_bus_number(libusb_device *dev);
std::uint8_t libusb_get_device_address(libusb_device *dev);
int libusb_get_device_descriptor(libusb_device *dev, libusb_device_descriptor *desc);

} // namespace ftdistandin

#endif // QUORAVI_FTDISTANDIN_LIBUSB_H
