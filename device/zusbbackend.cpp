#include "zusbbackend.h"

#include "device/zftdibridge.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"

#include <mutex>

namespace {

std::mutex overrideMutex;
std::shared_ptr<ZSimulatedBox> overrideBox;

} // namespace

bool simulateRequested(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.mid(1).contains(QStringLiteral("--simulate"));
}

std::unique_ptr<ZUsbBridge> createUsbBridge(bool simulate, int boxType)
{
    {
        std::lock_guard<std::mutex> lock(overrideMutex);
        if (overrideBox)
            return std::make_unique<ZSimulatedBridge>(overrideBox);
    }
    if (simulate)
        return std::make_unique<ZSimulatedBridge>(std::make_shared<ZSimulatedBox>(boxType));
    return std::make_unique<ZFtdiBridge>();
}

ZUsbBridgeOverride::ZUsbBridgeOverride(std::shared_ptr<ZSimulatedBox> box)
{
    std::lock_guard<std::mutex> lock(overrideMutex);
    m_previous = std::move(overrideBox);
    overrideBox = std::move(box);
}

ZUsbBridgeOverride::~ZUsbBridgeOverride()
{
    std::lock_guard<std::mutex> lock(overrideMutex);
    overrideBox = std::move(m_previous);
}
