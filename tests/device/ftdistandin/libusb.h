// libusb-1.0's header for the backend's test build: the stand-in declares the few names used.
#include "ftdi.h"
