#ifndef ZUSBLINK_H
#define ZUSBLINK_H

#include "device/zanswerassembler.h"
#include "device/zlinkfailure.h"
#include "device/zusbbridge.h"
#include "model/zsmartarray.h"

#include <memory>

// The link to the box: opens the bridge, runs the handshake, request/answer
// transactions and calibration reads. Every wait goes through the bridge's wait
// operation, so the link never spins and never blocks longer than the limit it is given.
//
// Threads: used by one thread at a time (main thread: open, handshake, calibration;
// trigger thread: level polling). interrupt() may be called from any other thread
// while the link is open; it ends the current wait at once and every later one until
// clearInterrupt(). The communication thread takes the bare handle() once polling has
// ended; the link must stay open until that thread is gone.
class ZUsbLink
{
public:
    static constexpr unsigned ReceiveBufferSize = 512;
    static constexpr unsigned char LatencyTimerMs = 2;
    static constexpr int ProbeWindowMs = 100;
    static constexpr int CalibrationLimitMs = 5000;
    // Reads of at most ReceiveBufferSize bytes that sync() spends on old bytes.
    static constexpr int MaxDrainReads = 64;

    // Opens `deviceIndex` at once; whether that worked shows in isOpen() and sync().
    ZUsbLink(std::shared_ptr<ZUsbBridge> bridge, int deviceIndex, unsigned baudRate);
    ~ZUsbLink();

    ZUsbLink(const ZUsbLink &) = delete;
    ZUsbLink &operator=(const ZUsbLink &) = delete;

    // Fails for a negative index, when the devices cannot be counted or the index is not
    // below the count (no open is attempted then), or when the open fails. Resets the
    // device and sets its latency timer; the baud rate is left to sync().
    bool open(int deviceIndex);
    void close();
    bool isOpen() const { return m_device != nullptr; }
    // The step at which the last open() or sync() failed; None after a success.
    ZLinkFailure failure() const { return m_failure; }
    // The open device, not owned by the caller; nullptr while closed.
    ZUsbDevice *handle() const { return m_device.get(); }
    unsigned baudRate() const { return m_baudRate; }

    // Writes a complete frame in one call; incomplete frames are never sent.
    bool write(const ZByteArray &frame, unsigned *bytesWritten = nullptr);

    // Reads and assembles until `assembler` completes a frame or `limitMs` has passed.
    // A partial frame stays in the assembler for the next call; bytes read behind a
    // completed frame are fed first by the next call, and dropped when the next command
    // is written.
    bool readFrame(ZAnswerAssembler *assembler, int limitMs);

    // Writes `command` and waits for any complete answer frame, which is copied to
    // `answer` (may be nullptr). A limit of 0 or less waits until an answer comes, the
    // device fails or the link is interrupted.
    bool transact(const ZByteArray &command, ZByteArray *answer, int limitMs);

    // The handshake: 0x03 probes, each waiting up to ProbeWindowMs for its exact echo,
    // for at most `limitMs`; first at the device's current speed, then again after
    // setting the baud rate. Can thus take up to twice `limitMs`.
    // Whatever waits in the bridge's receive queue is read out and dropped first.
    bool sync(int limitMs);

    // True when the bridge reports the device gone (unplugged); false while closed.
    bool isDeviceGone() const;

    // Asks for the calibration of an analog input and takes only an 0xF0 answer for that
    // channel; others (a late answer for another channel) are skipped. On failure gain
    // and offset are left untouched.
    bool readCalibration(int channel, int setCode, double *gain, double *offset,
                         int limitMs = CalibrationLimitMs);

    void interrupt();
    void clearInterrupt();

private:
    enum class ReadResult { Frame, TimedOut, Failed };

    ReadResult readUntilFrame(ZAnswerAssembler *assembler, double limitMs);
    bool handshake(int limitMs, bool setBaudRate);
    bool sendWhole(const ZByteArray &frame);
    bool feedPending(ZAnswerAssembler *assembler);
    void dropPending();
    void drainReceiveQueue();

    const std::shared_ptr<ZUsbBridge> m_bridge;
    const unsigned m_baudRate;
    std::unique_ptr<ZUsbDevice> m_device;
    ZAnswerAssembler m_assembler;
    unsigned char m_buffer[ReceiveBufferSize];
    unsigned m_pendingPos = 0; // bytes of m_buffer read but not yet fed
    unsigned m_pendingCount = 0;
    ZLinkFailure m_failure = ZLinkFailure::None;
};

#endif // ZUSBLINK_H
