#include "zlinkfailure.h"

#include "device/zusbbridge.h"

#include <QCoreApplication>

ZLinkFailure linkFailureOfStatus(int status)
{
    switch (status) {
    case UsbOk:
        return ZLinkFailure::None;
    case UsbNoAccess:
        return ZLinkFailure::NoUsbAccess;
    case UsbDeviceNotFound:
        return ZLinkFailure::NoDevice;
    case UsbNoPermission:
        return ZLinkFailure::NoPermission;
    case UsbBusy:
        return ZLinkFailure::Busy;
    default:
        return ZLinkFailure::NotOpened;
    }
}

QString linkFailureReason(ZLinkFailure failure, unsigned baudRate)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("ZUsbLink", text);
    };
    switch (failure) {
    case ZLinkFailure::None:
        return QString();
    case ZLinkFailure::NoUsbAccess:
        return tr("USB could not be started on this computer, so no box can be found.");
    case ZLinkFailure::NoDevice:
        return tr("No FTDI USB device was found: check the cable and that the box is "
                  "switched on.");
    case ZLinkFailure::NoPermission:
        return tr("A box was found, but this user may not open it: see \"Permission for "
                  "normal users\" in the README.");
    case ZLinkFailure::Busy:
        return tr("A box was found, but it is busy: another program holds it, or its "
                  "serial-port driver could not be detached.");
    case ZLinkFailure::NotOpened:
        return tr("A box was found, but it could not be opened.");
    case ZLinkFailure::NoAnswer:
        return tr("The device did not answer at %1 baud: another device type may be "
                  "chosen, or it is not a Tebor box.")
            .arg(baudRate);
    }
    return QString();
}
