#ifndef QUORAVI_FTDISTANDIN_LIBUSB_H
#define QUORAVI_FTDISTANDIN_LIBUSB_H

// The few libusb-1.0 names the backend uses besides libftdi, for the stand-in build.

#include <cstdint>

namespace ftdistandin {

struct libusb_context;
struct libusb_device; // one entry of a device list; defined by the stand-in

enum libusb_error {
    LIBUSB_SUCCESS = 0,
    LIBUSB_ERROR_IO = -1,
    LIBUSB_ERROR_ACCESS = -3,
    LIBUSB_ERROR_NO_DEVICE = -4,
    LIBUSB_ERROR_BUSY = -6,
    LIBUSB_ERROR_TIMEOUT = -7
};

struct libusb_device_descriptor
{
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t bcdUSB;
    std::uint8_t bDeviceClass;
    std::uint8_t bDeviceSubClass;
    std::uint8_t bDeviceProtocol;
    std::uint8_t bMaxPacketSize0;
    std::uint16_t idVendor;
    std::uint16_t idProduct;
    std::uint16_t bcdDevice;
    std::uint8_t iManufacturer;
    std::uint8_t iProduct;
    std::uint8_t iSerialNumber;
    std::uint8_t bNumConfigurations;
};

std::uint8_t libusb_get_bus_number(libusb_device *dev);
std::uint8_t libusb_get_device_address(libusb_device *dev);
int libusb_get_device_descriptor(libusb_device *dev, struct libusb_device_descriptor *desc);

} // namespace ftdistandin

#endif // QUORAVI_FTDISTANDIN_LIBUSB_H
