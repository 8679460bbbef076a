#include "zstopmonitor.h"

#include "device/zedgedetector.h"
#include "model/zdigitin.h"

ZStopMonitor::ZStopMonitor(ZEdgeDetector *detector)
    : m_detector(detector)
{
    m_detector->clearFired();
}

ZStopMonitor::~ZStopMonitor()
{
    detach(subject());
}

bool ZStopMonitor::onAttached()
{
    m_digitIn = dynamic_cast<ZDigitIn *>(subject());
    return m_digitIn != nullptr;
}

bool ZStopMonitor::onDetached()
{
    m_digitIn = nullptr;
    return true;
}

bool ZStopMonitor::update(int code)
{
    if (code != DataAppended)
        return false;
    if (!m_digitIn)
        return true;
    const auto statuses = m_digitIn->statuses();
    if (statuses.isEmpty())
        return true;
    if (m_detector->feed(statuses.last()))
        emit stopSample();
    return true;
}
