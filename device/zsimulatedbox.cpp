#include "zsimulatedbox.h"

#include "app/zdevicetypes.h"
#include "device/zusbbridge.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double FullScaleCode = 8388607.0;

int countOf(int boxType, int ZDeviceType::*field)
{
    const ZDeviceType *row = deviceType(boxType);
    return row ? row->*field : 0;
}

bool isRangeCode(int code)
{
    return code == 1 || code == 2 || code == 4 || code == 8;
}

void append24(std::vector<unsigned char> *bytes, std::uint32_t value)
{
    bytes->push_back(static_cast<unsigned char>((value >> 16) & 0xFF));
    bytes->push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    bytes->push_back(static_cast<unsigned char>(value & 0xFF));
}

unsigned read24(const std::vector<unsigned char> &frame, std::size_t at)
{
    return (unsigned(frame[at]) << 16) | (unsigned(frame[at + 1]) << 8) | frame[at + 2];
}

// The LEN each opcode comes with; 0 for opcodes the box does not know.
bool isKnownCommand(unsigned char opcode, unsigned len)
{
    switch (opcode) {
    case ZProtocol::OpProbe:
    case ZProtocol::OpSamples:
        return len == 1;
    case ZProtocol::OpDigitInLevel:
    case ZProtocol::OpInputMode:
        return len == 2;
    case ZProtocol::OpAnalogIn:
    case ZProtocol::OpEdgeCounter:
    case ZProtocol::OpCalibration:
        return len == 3;
    case ZProtocol::OpRate:
        return len == 4;
    case ZProtocol::OpAnalogOut:
        return len == 5 || len == 6;
    case ZProtocol::OpDigitOut:
        return len == 4 || len == 7;
    default:
        return false;
    }
}

} // namespace

ZSimulatedBox::ZSimulatedBox(int boxType, const ZClock &clock)
    : m_boxType(boxType)
    , m_clock(clock)
    , m_analogIns(countOf(boxType, &ZDeviceType::analogIns))
    , m_digitIns(countOf(boxType, &ZDeviceType::digitIns))
    , m_edgeCnts(countOf(boxType, &ZDeviceType::edgeCnts))
    , m_calibrationSetCode(countOf(boxType, &ZDeviceType::calibrationSetCode))
    , m_analogInStates(std::size_t(m_analogIns))
    , m_edgeCntStates(std::size_t(m_edgeCnts))
    , m_analogOutStates(std::size_t(countOf(boxType, &ZDeviceType::analogOuts)))
    , m_digitOutStates(std::size_t(countOf(boxType, &ZDeviceType::digitOuts)))
{ }

ZSimulatedBox::~ZSimulatedBox() = default;

unsigned ZSimulatedBox::expectedBaudRate() const
{
    return baudRateOf(m_boxType);
}

void ZSimulatedBox::setLineTiming(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lineTiming = on;
}

bool ZSimulatedBox::hasLineTiming() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lineTiming;
}

ZSimulatedBox::Faults ZSimulatedBox::faults() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults;
}

void ZSimulatedBox::setFaults(const Faults &faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = faults;
}

void ZSimulatedBox::unplug()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unplugLocked();
    }
    m_wake.notify_all();
}

void ZSimulatedBox::replug()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plugged = true;
    m_commandsUntilUnplug = -1;
}

bool ZSimulatedBox::isPlugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged;
}

void ZSimulatedBox::unplugAfterCommands(int commands)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (commands > 0) {
            m_commandsUntilUnplug = commands;
            return;
        }
        unplugLocked();
    }
    m_wake.notify_all();
}

void ZSimulatedBox::inject(const std::vector<unsigned char> &bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged || bytes.empty())
            return;
        Chunk chunk;
        chunk.ready = std::chrono::steady_clock::now();
        chunk.bytes = bytes;
        m_output.push_back(std::move(chunk));
    }
    m_wake.notify_all();
}

QList<QByteArray> ZSimulatedBox::commandLog() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void ZSimulatedBox::clearCommandLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

int ZSimulatedBox::openCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openCount;
}

unsigned ZSimulatedBox::hostBaudRate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hostBaudRate;
}

int ZSimulatedBox::inputMode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inputMode;
}

unsigned ZSimulatedBox::rate() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rate;
}

bool ZSimulatedBox::isAnalogInEnabled(int channel) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return channel >= 0 && channel < m_analogIns && m_analogInStates[std::size_t(channel)].enabled;
}

int ZSimulatedBox::analogInRange(int channel) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (channel < 0 || channel >= m_analogIns)
        return 0;
    return m_analogInStates[std::size_t(channel)].range;
}

bool ZSimulatedBox::isEdgeCounterEnabled(int channel) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return channel >= 0 && channel < m_edgeCnts && m_edgeCntStates[std::size_t(channel)].enabled;
}

ZSimulatedBox::AnalogOutState ZSimulatedBox::analogOut(int channel) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (channel < 0 || std::size_t(channel) >= m_analogOutStates.size())
        return {};
    return m_analogOutStates[std::size_t(channel)];
}

ZSimulatedBox::DigitOutState ZSimulatedBox::digitOut(int channel) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (channel < 0 || std::size_t(channel) >= m_digitOutStates.size())
        return {};
    return m_digitOutStates[std::size_t(channel)];
}

double ZSimulatedBox::analogInVolts(int channel, double timeMs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return analogInVoltsLocked(channel, timeMs);
}

std::int32_t ZSimulatedBox::analogInCode(int channel, double timeMs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return analogInCodeLocked(channel, timeMs);
}

// Digital input 0 toggles every 2 s, so edge triggers can be shown; the others are
// slower square waves.
int ZSimulatedBox::digitInLevel(int channel, double timeMs) const
{
    if (channel < 0 || channel >= m_digitIns)
        return 0;
    const double periodMs = 4000.0 * (channel + 1);
    const double phase = std::fmod(std::max(timeMs, 0.0), periodMs);
    return phase < periodMs / 2 ? 1 : 0;
}

std::uint32_t ZSimulatedBox::edgeCount(int channel, double timeMs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return edgeCountLocked(channel, timeMs);
}

// Gains within a few parts per thousand of 1 and offsets of up to 100 microvolts, all
// exactly representable on the wire so tests can compare them exactly.
ZProtocol::Calibration ZSimulatedBox::calibrationOf(int channel, int setCode)
{
    ZProtocol::Calibration calibration;
    calibration.channel = channel;
    calibration.setCode = setCode;
    calibration.gain = 1.0 + ((channel % 5) - 2) / 1024.0;
    calibration.offset = ((channel * 37) % 201) - 100 + 0.25 * (channel % 4);
    return calibration;
}

// ---- host side --------------------------------------------------------------------

int ZSimulatedBox::hostOpen(unsigned *generation)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_openCount;
    if (!m_plugged)
        return UsbDeviceNotFound;
    if (m_open)
        return UsbDeviceNotOpened;
    m_open = true;
    m_hostBaudRate = 0;
    *generation = m_generation;
    return UsbOk;
}

void ZSimulatedBox::hostClose(unsigned generation)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (generation == m_generation)
        m_open = false;
}

int ZSimulatedBox::hostStatus(unsigned generation) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return liveStatus(generation);
}

int ZSimulatedBox::hostReset(unsigned generation)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int status = liveStatus(generation);
    if (status == UsbOk)
        clearLine();
    return status;
}

int ZSimulatedBox::hostSetBaudRate(unsigned generation, unsigned baudRate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int status = liveStatus(generation);
    if (status != UsbOk)
        return status;
    if (baudRate == 0)
        return UsbInvalidArgument;
    m_hostBaudRate = baudRate;
    return UsbOk;
}

int ZSimulatedBox::hostQueueStatus(unsigned generation, unsigned *bytesWaiting)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const int status = liveStatus(generation);
    if (status == UsbOk)
        *bytesWaiting = readyBytes(std::chrono::steady_clock::now());
    return status;
}

int ZSimulatedBox::hostRead(unsigned generation, unsigned char *buffer, unsigned toRead,
                            unsigned *bytesRead)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    *bytesRead = 0;
    const int status = liveStatus(generation);
    if (status != UsbOk)
        return status;
    const SteadyTime now = std::chrono::steady_clock::now();
    while (*bytesRead < toRead && !m_output.empty() && m_output.front().ready <= now) {
        Chunk &chunk = m_output.front();
        const std::size_t n
            = std::min<std::size_t>(toRead - *bytesRead, chunk.bytes.size() - chunk.pos);
        std::copy_n(chunk.bytes.begin() + std::ptrdiff_t(chunk.pos), n, buffer + *bytesRead);
        chunk.pos += n;
        *bytesRead += unsigned(n);
        if (chunk.pos == chunk.bytes.size())
            m_output.pop_front();
    }
    return UsbOk;
}

int ZSimulatedBox::hostWrite(unsigned generation, const unsigned char *buffer, unsigned length,
                             unsigned *bytesWritten)
{
    *bytesWritten = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int status = liveStatus(generation);
        if (status != UsbOk)
            return status;
        unsigned delivered = length;
        if (m_faults.write == WriteFault::Fail)
            return UsbIoError;
        if (m_faults.write == WriteFault::Short && length > 0)
            delivered = length - 1;
        *bytesWritten = delivered;
        m_writtenAt = std::chrono::steady_clock::now();
        // At a speed other than its own the box hears only garbage.
        if (!m_faults.needsBaudRate || m_hostBaudRate == expectedBaudRate())
            receive(buffer, delivered);
    }
    m_wake.notify_all();
    return UsbOk;
}

int ZSimulatedBox::hostWait(unsigned generation, int timeoutMs,
                            const std::atomic<bool> &interrupted, unsigned *bytesWaiting)
{
    *bytesWaiting = 0;
    const SteadyTime deadline
        = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (interrupted.load())
            return UsbInterrupted;
        const int status = liveStatus(generation);
        if (status != UsbOk)
            return status;
        const SteadyTime now = std::chrono::steady_clock::now();
        *bytesWaiting = readyBytes(now);
        if (*bytesWaiting > 0 || now >= deadline)
            return UsbOk;
        // Wake for the next answer that becomes readable, the deadline, or a notify.
        SteadyTime until = deadline;
        if (!m_output.empty())
            until = std::min(until, m_output.front().ready);
        m_wake.wait_until(lock, until);
    }
}

void ZSimulatedBox::hostInterrupt(std::atomic<bool> &interrupted, bool on)
{
    {
        // Taking the mutex orders the store with a waiter's check of the flag.
        std::lock_guard<std::mutex> lock(m_mutex);
        interrupted.store(on);
    }
    m_wake.notify_all();
}

// ---- internals (mutex held) ---------------------------------------------------------

int ZSimulatedBox::liveStatus(unsigned generation) const
{
    return (m_plugged && generation == m_generation) ? int(UsbOk) : int(UsbDeviceNotFound);
}

unsigned ZSimulatedBox::readyBytes(SteadyTime now) const
{
    unsigned count = 0;
    for (const Chunk &chunk : m_output) {
        if (chunk.ready > now)
            break;
        count += unsigned(chunk.bytes.size() - chunk.pos);
    }
    return count;
}

void ZSimulatedBox::unplugLocked()
{
    m_plugged = false;
    m_open = false;
    ++m_generation;
    m_commandsUntilUnplug = -1;
    clearLine();
}

// Drops whatever is on its way in either direction.
void ZSimulatedBox::clearLine()
{
    m_output.clear();
    m_received.clear();
    m_upLineFreeAt = SteadyTime();
    m_downLineFreeAt = SteadyTime();
}

// Splits the host's byte stream into command frames: skips to 0xAA, drops a frame
// announcing LEN 0, and keeps an incomplete frame for the next write.
void ZSimulatedBox::receive(const unsigned char *bytes, unsigned length)
{
    m_received.insert(m_received.end(), bytes, bytes + length);
    std::size_t pos = 0;
    while (pos < m_received.size() && m_plugged) {
        if (m_received[pos] != ZProtocol::StartByte) {
            ++pos;
            continue;
        }
        if (m_received.size() - pos < 2)
            break;
        const unsigned len = m_received[pos + 1];
        if (len == 0) {
            pos += 2;
            continue;
        }
        if (m_received.size() - pos < len + 2)
            break;
        const std::vector<unsigned char> frame(m_received.begin() + std::ptrdiff_t(pos),
                                               m_received.begin() + std::ptrdiff_t(pos + len + 2));
        pos += len + 2;
        handleCommand(frame);
    }
    if (m_plugged)
        m_received.erase(m_received.begin(), m_received.begin() + std::ptrdiff_t(pos));
}

void ZSimulatedBox::handleCommand(const std::vector<unsigned char> &frame)
{
    if (m_commandsUntilUnplug == 0) {
        unplugLocked();
        return;
    }
    if (m_commandsUntilUnplug > 0)
        --m_commandsUntilUnplug;
    m_log.append(QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.size())));
    SteadyTime arrived = m_writtenAt;
    if (m_lineTiming) {
        arrived = std::max(arrived, m_upLineFreeAt) + lineTimeOf(frame.size());
        m_upLineFreeAt = arrived;
    }
    std::vector<unsigned char> payload;
    if (answerFor(frame, &payload) && !m_faults.silent)
        sendAnswer(payload, arrived);
}

// Updates the box's state from one command and builds the payload of its answer.
// False when the box stays silent (unknown command, wrong length, no such channel).
bool ZSimulatedBox::answerFor(const std::vector<unsigned char> &frame,
                              std::vector<unsigned char> *payload)
{
    const unsigned len = frame[1];
    const unsigned char opcode = frame[2];
    if (!isKnownCommand(opcode, len))
        return false;
    const int channel = len >= 2 ? (frame[3] & 0x3F) : 0;
    const double nowMs = m_clock.nowMs();
    bool echo = true;
    switch (opcode) {
    case ZProtocol::OpDigitInLevel:
        echo = false;
        payload->assign(
            { opcode, frame[3], static_cast<unsigned char>(digitInLevel(channel, nowMs)) });
        break;
    case ZProtocol::OpInputMode:
        m_inputMode = frame[3];
        break;
    case ZProtocol::OpAnalogIn:
        if (channel < m_analogIns) {
            AnalogInState &state = m_analogInStates[std::size_t(channel)];
            state.enabled = (frame[4] & ZProtocol::AnalogInSelected) != 0;
            const int range = frame[4] & 0x7F;
            state.range = isRangeCode(range) ? range : 1;
        }
        break;
    case ZProtocol::OpRate:
        m_rate = read24(frame, 3);
        break;
    case ZProtocol::OpEdgeCounter:
        if (channel < m_edgeCnts) {
            EdgeCntState &state = m_edgeCntStates[std::size_t(channel)];
            state.enabled = frame[4] != 0;
            state.sinceMs = nowMs;
        }
        break;
    case ZProtocol::OpAnalogOut:
        if (std::size_t(channel) < m_analogOutStates.size()) {
            AnalogOutState &state = m_analogOutStates[std::size_t(channel)];
            state.told = true;
            state.outMode = frame[4];
            if (len == 5)
                state.dacCode = (frame[5] << 8) | frame[6];
            else
                state.periodUs = read24(frame, 5);
        }
        break;
    case ZProtocol::OpDigitOut:
        if (std::size_t(channel) < m_digitOutStates.size()) {
            DigitOutState &state = m_digitOutStates[std::size_t(channel)];
            state.told = true;
            state.outMode = frame[4];
            if (len == 4) {
                state.status = frame[5];
            } else {
                state.periodUs = read24(frame, 5);
                state.dutyRatio = frame[8];
            }
        }
        break;
    case ZProtocol::OpSamples:
        echo = false;
        payload->push_back(opcode);
        appendSampleRecords(nowMs, payload);
        break;
    case ZProtocol::OpCalibration: {
        if (channel >= m_analogIns)
            return false;
        echo = false;
        const ZProtocol::Calibration calibration = calibrationOf(channel, frame[4]);
        const double gainInteger = std::floor(calibration.gain);
        const auto gainFraction
            = std::uint32_t(std::ldexp(calibration.gain - gainInteger, 24)) & 0xFFFFFF;
        const double offsetInteger = std::floor(calibration.offset);
        const auto offsetInt = std::uint16_t(std::int16_t(offsetInteger));
        payload->assign(
            { opcode,
              static_cast<unsigned char>((channel + m_faults.calibrationChannelShift) & 0x3F),
              frame[4], static_cast<unsigned char>(std::int8_t(gainInteger)) });
        append24(payload, gainFraction);
        payload->push_back(static_cast<unsigned char>(offsetInt >> 8));
        payload->push_back(static_cast<unsigned char>(offsetInt & 0xFF));
        payload->push_back(static_cast<unsigned char>((calibration.offset - offsetInteger) * 256));
        break;
    }
    default:
        break;
    }
    if (!echo)
        return true;
    payload->assign(frame.begin() + 2, frame.end());
    switch (m_faults.echo) {
    case EchoFault::None:
        break;
    case EchoFault::WrongOpcode:
        (*payload)[0] ^= 0x01;
        break;
    case EchoFault::WrongLastByte:
        payload->back() ^= 0x01;
        break;
    case EchoFault::ExtraByte:
        payload->push_back(0x00);
        break;
    }
    return true;
}

// Frames the payload, puts the noise before it, and queues it whole or in pieces.
void ZSimulatedBox::sendAnswer(const std::vector<unsigned char> &payload, SteadyTime commandArrived)
{
    std::vector<unsigned char> bytes = m_faults.noise;
    bytes.push_back(ZProtocol::StartByte);
    append24(&bytes, std::uint32_t(payload.size()));
    bytes.insert(bytes.end(), payload.begin(), payload.end());

    // A late box is late before it sends: its answer still queues on the line behind
    // the ones before it.
    SteadyTime ready
        = commandArrived + std::chrono::milliseconds(std::max(m_faults.answerDelayMs, 0));
    if (m_lineTiming) {
        const auto turnaround = std::chrono::duration_cast<SteadyTime::duration>(
            std::chrono::duration<double, std::milli>(TurnaroundMs));
        ready = std::max(ready + turnaround, m_downLineFreeAt) + lineTimeOf(bytes.size());
    }
    if (!m_output.empty())
        ready = std::max(ready, m_output.back().ready);
    const std::size_t piece = m_faults.pieceSize ? m_faults.pieceSize : bytes.size();
    for (std::size_t pos = 0; pos < bytes.size(); pos += piece) {
        Chunk chunk;
        chunk.ready = ready;
        chunk.bytes.assign(bytes.begin() + std::ptrdiff_t(pos),
                           bytes.begin() + std::ptrdiff_t(std::min(pos + piece, bytes.size())));
        m_output.push_back(std::move(chunk));
        m_downLineFreeAt = ready;
        ready += std::chrono::milliseconds(std::max(m_faults.pieceGapMs, 0));
    }
}

ZSimulatedBox::SteadyTime::duration ZSimulatedBox::lineTimeOf(std::size_t bytes) const
{
    const double seconds = double(bytes) * BitsPerByte / double(expectedBaudRate());
    return std::chrono::duration_cast<SteadyTime::duration>(std::chrono::duration<double>(seconds));
}

// One record per enabled analog input, every digital input and each enabled counter.
void ZSimulatedBox::appendSampleRecords(double nowMs, std::vector<unsigned char> *payload) const
{
    for (int channel = 0; channel < m_analogIns; ++channel) {
        if (!m_analogInStates[std::size_t(channel)].enabled)
            continue;
        payload->push_back(static_cast<unsigned char>(0x00 | channel));
        append24(payload, std::uint32_t(analogInCodeLocked(channel, nowMs)) & 0xFFFFFF);
    }
    for (int channel = 0; channel < m_digitIns; ++channel) {
        payload->push_back(static_cast<unsigned char>(0x40 | channel));
        payload->push_back(static_cast<unsigned char>(digitInLevel(channel, nowMs)));
    }
    for (int channel = 0; channel < m_edgeCnts; ++channel) {
        const EdgeCntState &state = m_edgeCntStates[std::size_t(channel)];
        if (!state.enabled)
            continue;
        const std::uint32_t count = edgeCountLocked(channel, nowMs);
        payload->push_back(static_cast<unsigned char>(0x80 | channel));
        payload->push_back(static_cast<unsigned char>(count >> 24));
        append24(payload, count & 0xFFFFFF);
    }
}

// Analog input i carries a sine of 0.05 * (i + 1) Hz at 80 % of its range's full
// scale, so every channel looks different and stays inside its range.
double ZSimulatedBox::analogInVoltsLocked(int channel, double timeMs) const
{
    if (channel < 0 || channel >= m_analogIns)
        return 0.0;
    const double fullScale = 10.0 / m_analogInStates[std::size_t(channel)].range;
    const double frequencyHz = 0.05 * (channel + 1);
    return 0.8 * fullScale * std::sin(2 * Pi * frequencyHz * timeMs / 1000.0 + 0.7 * channel);
}

// Counter i counts a pulse train of 10 * (i + 1) Hz from the moment it was enabled.
std::uint32_t ZSimulatedBox::edgeCountLocked(int channel, double timeMs) const
{
    if (channel < 0 || channel >= m_edgeCnts)
        return 0;
    const double elapsedS = (timeMs - m_edgeCntStates[std::size_t(channel)].sinceMs) / 1000.0;
    if (!(elapsedS > 0.0))
        return 0;
    return static_cast<std::uint32_t>(
        std::fmod(std::floor(elapsedS * 10.0 * (channel + 1)), 4294967296.0));
}

// The converter code that the channel turns back into the signal's voltage with the
// calibration the box reports.
std::int32_t ZSimulatedBox::analogInCodeLocked(int channel, double timeMs) const
{
    if (channel < 0 || channel >= m_analogIns)
        return 0;
    const ZProtocol::Calibration calibration = calibrationOf(channel, m_calibrationSetCode);
    const double fullScale = 10.0 / m_analogInStates[std::size_t(channel)].range;
    const double volts = analogInVoltsLocked(channel, timeMs) - 1e-6 * calibration.offset;
    const double code = std::round(volts * FullScaleCode / (fullScale * calibration.gain));
    return std::int32_t(std::clamp(code, -FullScaleCode - 1, FullScaleCode));
}
