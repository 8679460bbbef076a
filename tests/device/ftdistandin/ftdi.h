#ifndef QUORAVI_FTDISTANDIN_FTDI_H
#define QUORAVI_FTDISTANDIN_FTDI_H

// What the backend uses of libftdi 1.5's ftdi.h, for test builds that link the stand-in
// instead; in a namespace of its own so that a test program may hold the real library too.

#include "libusb.h"

class ZUsbDevice;

namespace ftdistandin {

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

using namespace ftdistandin;

#endif // QUORAVI_FTDISTANDIN_FTDI_H
