#ifndef ZLINKFAILURE_H
#define ZLINKFAILURE_H

#include <QString>

// The step on the way to a box that failed, so that a failed start can say why.
enum class ZLinkFailure {
    None,
    NoUsbAccess, // USB could not be started at all
    NoDevice, // no FTDI device found (or it went while being opened)
    NoPermission, // found, but this user may not open it
    Busy, // found, but held by another program or by its kernel driver
    NotOpened, // found, but the open failed for another reason
    NoAnswer // opened, but nothing answered the handshake at the baud rate
};

// The failure for a status of the bridge's count or open; None for UsbOk.
ZLinkFailure linkFailureOfStatus(int status);

// A full sentence for the user; empty for None. `baudRate` is the speed the handshake
// was tried at.
QString linkFailureReason(ZLinkFailure failure, unsigned baudRate);

#endif // ZLINKFAILURE_H
