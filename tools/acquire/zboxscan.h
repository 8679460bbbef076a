#ifndef ZBOXSCAN_H
#define ZBOXSCAN_H

#include <QTextStream>

#include <functional>
#include <memory>

class ZUsbBridge;

// quoravi-acquire --scan: the FTDI devices found, whether each may be opened and, for a
// chosen box type, whether the first answers the handshake at that type's speed and
// what calibration each of its analog inputs reports.
class ZBoxScan
{
public:
    using BridgeFactory = std::function<std::unique_ptr<ZUsbBridge>(int boxType)>;

    ZBoxScan(BridgeFactory bridgeFactory, QTextStream &out);

    // `boxType` 0 lists and tries the opens only. True when a box answered (with a
    // type) or a device could be opened (without).
    bool run(int boxType);

private:
    int listDevices(ZUsbBridge &bridge);
    bool tryBox(const std::shared_ptr<ZUsbBridge> &bridge, int boxType);

    BridgeFactory m_bridgeFactory;
    QTextStream &m_out;
};

#endif // ZBOXSCAN_H
