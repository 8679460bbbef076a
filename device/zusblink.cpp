#include "zusblink.h"

#include "device/zclock.h"
#include "device/zprotocol.h"

#include <algorithm>
#include <cmath>

namespace {

// Milliseconds left of a limit, rounded up so that a wait never ends a hair early and
// turns into a string of zero-length waits.
int remainingMs(double limitMs, const ZStopwatch &watch)
{
    const double left = limitMs - watch.elapsedMs();
    return left > 0.0 ? int(std::ceil(left)) : 0;
}

} // namespace

ZUsbLink::ZUsbLink(std::shared_ptr<ZUsbBridge> bridge, int deviceIndex, unsigned baudRate)
    : m_bridge(std::move(bridge))
    , m_baudRate(baudRate)
{
    open(deviceIndex);
}

ZUsbLink::~ZUsbLink()
{
    close();
}

bool ZUsbLink::open(int deviceIndex)
{
    close();
    m_failure = ZLinkFailure::NoDevice;
    if (deviceIndex < 0 || !m_bridge)
        return false;
    unsigned count = 0;
    const int countStatus = m_bridge->deviceCount(&count);
    if (countStatus != UsbOk) {
        m_failure = linkFailureOfStatus(countStatus);
        return false;
    }
    if (unsigned(deviceIndex) >= count)
        return false;
    std::unique_ptr<ZUsbDevice> device;
    const int openStatus = m_bridge->open(unsigned(deviceIndex), &device);
    if (openStatus != UsbOk || !device) {
        m_failure = openStatus != UsbOk ? linkFailureOfStatus(openStatus) : ZLinkFailure::NotOpened;
        return false;
    }
    device->reset();
    device->setLatencyTimer(LatencyTimerMs);
    m_device = std::move(device);
    m_assembler.clear();
    dropPending();
    m_failure = ZLinkFailure::None;
    return true;
}

void ZUsbLink::close()
{
    if (m_device) {
        m_device->close();
        m_device.reset();
    }
}

bool ZUsbLink::write(const ZByteArray &frame, unsigned *bytesWritten)
{
    unsigned written = 0;
    const bool ok = m_device && frame.isComplete()
        && m_device->write(frame.data(), frame.length(), &written) == UsbOk;
    if (bytesWritten)
        *bytesWritten = written;
    return ok;
}

bool ZUsbLink::readFrame(ZAnswerAssembler *assembler, int limitMs)
{
    return m_device && readUntilFrame(assembler, limitMs) == ReadResult::Frame;
}

bool ZUsbLink::transact(const ZByteArray &command, ZByteArray *answer, int limitMs)
{
    if (!sendWhole(command))
        return false;
    m_assembler.clear();
    const ZStopwatch watch;
    for (;;) {
        // Without a limit, wait in slices so that the loop stays responsive.
        const double slice = limitMs > 0 ? double(remainingMs(limitMs, watch)) : 1000.0;
        const ReadResult result = readUntilFrame(&m_assembler, slice);
        if (result == ReadResult::Frame) {
            if (answer)
                *answer = m_assembler.frame();
            return true;
        }
        if (result == ReadResult::Failed || (limitMs > 0 && watch.elapsedMs() >= limitMs))
            return false;
    }
}

bool ZUsbLink::sync(int limitMs)
{
    if (!m_device)
        return false; // the failed open() has said why
    // An answer left over from the last run (a late sample, the echo of its final 0x03)
    // would otherwise pass for the echo of the first probe and leave the real echo
    // behind, putting every later answer one request late.
    drainReceiveQueue();
    if (handshake(limitMs, false) || handshake(limitMs, true)) {
        m_failure = ZLinkFailure::None;
        return true;
    }
    m_failure = isDeviceGone() ? ZLinkFailure::NoDevice : ZLinkFailure::NoAnswer;
    return false;
}

bool ZUsbLink::isDeviceGone() const
{
    unsigned waiting = 0;
    return m_device && isGoneStatus(m_device->queueStatus(&waiting));
}

bool ZUsbLink::readCalibration(int channel, int setCode, double *gain, double *offset, int limitMs)
{
    if (!sendWhole(ZProtocol::calibrationRequestFrame(channel, setCode)))
        return false;
    m_assembler.clear();
    const ZStopwatch watch;
    while (watch.elapsedMs() < limitMs) {
        const ReadResult result = readUntilFrame(&m_assembler, remainingMs(limitMs, watch));
        if (result == ReadResult::Failed)
            return false;
        ZProtocol::Calibration calibration;
        if (result == ReadResult::Frame
            && ZProtocol::decodeCalibration(m_assembler.frame(), &calibration)
            && calibration.channel == (channel & 0x3F)) {
            *gain = calibration.gain;
            *offset = calibration.offset;
            return true;
        }
    }
    return false;
}

void ZUsbLink::interrupt()
{
    if (m_device)
        m_device->interrupt();
}

void ZUsbLink::clearInterrupt()
{
    if (m_device)
        m_device->clearInterrupt();
}

ZUsbLink::ReadResult ZUsbLink::readUntilFrame(ZAnswerAssembler *assembler, double limitMs)
{
    // A frame handed out before was turned down by the caller (or taken): it is emptied,
    // and only new bytes can complete the next one.
    if (assembler->isComplete())
        assembler->clear();
    if (feedPending(assembler))
        return ReadResult::Frame;
    const ZStopwatch watch;
    for (;;) {
        unsigned waiting = 0;
        if (m_device->waitForBytes(remainingMs(limitMs, watch), &waiting) != UsbOk)
            return ReadResult::Failed;
        if (waiting == 0)
            return ReadResult::TimedOut;
        while (waiting > 0) {
            unsigned got = 0;
            if (m_device->read(m_buffer, std::min(waiting, ReceiveBufferSize), &got) != UsbOk)
                return ReadResult::Failed;
            if (got == 0)
                break;
            waiting -= std::min(got, waiting);
            m_pendingPos = 0;
            m_pendingCount = got;
            if (feedPending(assembler))
                return ReadResult::Frame;
        }
        if (watch.elapsedMs() >= limitMs)
            return ReadResult::TimedOut;
    }
}

bool ZUsbLink::handshake(int limitMs, bool setBaudRate)
{
    const ZByteArray probe = ZProtocol::probeFrame();
    ZAnswerAssembler assembler(probe.length() + 2);
    dropPending();
    const ZStopwatch watch;
    while (watch.elapsedMs() < limitMs) {
        // A probe that could not be sent still gets its window: a late echo of an
        // earlier probe is as good, and retrying at once would spin.
        if (!setBaudRate || m_device->setBaudRate(m_baudRate) == UsbOk) {
            unsigned written = 0;
            m_device->write(probe.data(), probe.length(), &written);
        }
        const ZStopwatch window;
        const double windowMs = std::min<double>(ProbeWindowMs, limitMs - watch.elapsedMs());
        while (window.elapsedMs() < windowMs) {
            const ReadResult result = readUntilFrame(&assembler, windowMs - window.elapsedMs());
            if (result == ReadResult::Failed)
                return false;
            if (result == ReadResult::Frame && ZProtocol::isEchoOf(assembler.frame(), probe))
                return true;
        }
    }
    return false;
}

// Feeds the bytes left over from the last read; true when they complete a frame, in
// which case the bytes behind it stay for the next call.
bool ZUsbLink::feedPending(ZAnswerAssembler *assembler)
{
    if (m_pendingCount == 0)
        return false;
    const unsigned used = assembler->feedUntilFrame(m_buffer + m_pendingPos, m_pendingCount);
    m_pendingPos += used;
    m_pendingCount -= used;
    return assembler->isComplete();
}

// Reads out whatever the bridge holds, through its own queue count and reads. Bounded,
// so a box that keeps talking cannot hold the caller here.
void ZUsbLink::drainReceiveQueue()
{
    dropPending();
    m_assembler.clear();
    for (int round = 0; round < MaxDrainReads; ++round) {
        unsigned waiting = 0;
        if (m_device->queueStatus(&waiting) != UsbOk || waiting == 0)
            return;
        unsigned got = 0;
        if (m_device->read(m_buffer, std::min(waiting, ReceiveBufferSize), &got) != UsbOk
            || got == 0)
            return;
    }
}

void ZUsbLink::dropPending()
{
    m_pendingPos = 0;
    m_pendingCount = 0;
}

// Writes a frame and insists that all of it left. What was read before belongs to
// earlier commands and is dropped.
bool ZUsbLink::sendWhole(const ZByteArray &frame)
{
    dropPending();
    unsigned written = 0;
    return write(frame, &written) && written >= frame.length();
}
