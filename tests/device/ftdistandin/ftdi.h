#ifndef QUORAVI_FTDISTANDIN_FTDI_H
#define QUORAVI_FTDISTANDIN_FTDI_H

// The part of libftdi1's ftdi.h that the backend uses, for test builds that link the
// stand-in (zftdistandin.cpp) instead of the real library. Names, fields and return
// codes follow libftdi 1.5; everything lives in a namespace of its own so that a test
// program may hold the real library as well.

#include "libusb.h"

namespace ftdistandin {

struct Line; // the stand-in's own: the cable to a simulated box

enum ftdi_module_detach_mode { AUTO_DETACH_SIO_MODULE = 0, AUTO_DETACH_REATACH_SIO_MODULE = 2 };

struct ftdi_context
{
    Line *usb_dev = nullptr; // libftdi's open handle: set while open
    int usb_read_timeout = 5000;
    int usb_write_timeout = 5000;
    unsigned int readbuffer_chunksize = 4096;
    unsigned int max_packet_size = 0;
    enum ftdi_module_detach_mode module_detach_mode = AUTO_DETACH_SIO_MODULE;
};

struct ftdi_device_list
{
    struct ftdi_device_list *next;
    struct libusb_device *dev;
};

struct ftdi_context *ftdi_new(void);
void ftdi_free(struct ftdi_context *ftdi);
int ftdi_usb_find_all(struct ftdi_context *ftdi, struct ftdi_device_list **devlist, int vendor,
                      int product);
void ftdi_list_free(struct ftdi_device_list **devlist);
int ftdi_usb_get_strings(struct ftdi_context *ftdi, struct libusb_device *dev, char *manufacturer,
                         int mnf_len, char *description, int desc_len, char *serial,
                         int serial_len);
int ftdi_usb_open_dev(struct ftdi_context *ftdi, struct libusb_device *dev);
int ftdi_usb_close(struct ftdi_context *ftdi);
int ftdi_usb_reset(struct ftdi_context *ftdi);
int ftdi_set_latency_timer(struct ftdi_context *ftdi, unsigned char latency);
int ftdi_set_baudrate(struct ftdi_context *ftdi, int baudrate);
int ftdi_read_data(struct ftdi_context *ftdi, unsigned char *buf, int size);
int ftdi_write_data(struct ftdi_context *ftdi, const unsigned char *buf, int size);

} // namespace ftdistandin

using namespace ftdistandin;

#endif // QUORAVI_FTDISTANDIN_FTDI_H
