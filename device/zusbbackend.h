#ifndef ZUSBBACKEND_H
#define ZUSBBACKEND_H

#include "device/zusbbridge.h"

#include <QStringList>

#include <memory>

class ZSimulatedBox;

// Choosing the bridge backend, for the window program and the headless tools alike.

// True when the arguments (program name first) carry the option --simulate.
bool simulateRequested(const QStringList &arguments);

// The simulated box of `boxType` (a fresh one per call) when `simulate` is set, the
// libftdi1 backend for real boxes otherwise; while a ZUsbBridgeOverride exists, a bridge
// to its box instead.
std::unique_ptr<ZUsbBridge> createUsbBridge(bool simulate, int boxType);

// For tests: while it lives, createUsbBridge hands out bridges to `box`, whatever it is
// asked, so code that creates its own link talks to a box the test holds. Overrides
// nest; each restores the one before it.
class ZUsbBridgeOverride
{
public:
    explicit ZUsbBridgeOverride(std::shared_ptr<ZSimulatedBox> box);
    ~ZUsbBridgeOverride();

    ZUsbBridgeOverride(const ZUsbBridgeOverride &) = delete;
    ZUsbBridgeOverride &operator=(const ZUsbBridgeOverride &) = delete;

private:
    std::shared_ptr<ZSimulatedBox> m_previous;
};

#endif // ZUSBBACKEND_H
