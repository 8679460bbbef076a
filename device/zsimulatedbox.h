#ifndef ZSIMULATEDBOX_H
#define ZSIMULATEDBOX_H

#include "device/zclock.h"
#include "device/zprotocol.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class ZSimulatedDevice;

// An in-process box of one device type that speaks the whole wire protocol, for trying
// the program without hardware and for the tests. Its input signals are deterministic
// functions of its clock; its outputs remember what they were told. Tests share it with
// the simulated bridge (ZSimulatedBridge) and keep a reference while a link or the
// communication thread owns the device handle, to inject faults and read the log.
//
// Every public member is thread-safe.
class ZSimulatedBox
{
public:
    enum class EchoFault {
        None,
        WrongOpcode, // the echo's opcode differs
        WrongLastByte, // the echo's last byte differs (the opcode when there are no arguments)
        ExtraByte // the echo is one byte longer than the command
    };
    enum class WriteFault {
        None,
        Fail, // every write fails and nothing reaches the box
        Short // every write reports and delivers one byte less than asked
    };

    // The ways a real cable and box misbehave. Change them with setFaults at any time;
    // they apply to the commands received from then on.
    struct Faults
    {
        bool silent = false; // hears and logs commands, never answers
        bool needsBaudRate = false; // deaf until the host sets the type's baud rate
        std::vector<unsigned char> noise; // sent before every answer (noise, a bad header)
        unsigned pieceSize = 0; // answers arrive in pieces of this many bytes (0: whole)
        int pieceGapMs = 0; // time between two pieces
        int answerDelayMs = 0; // an answer becomes readable this late
        EchoFault echo = EchoFault::None;
        WriteFault write = WriteFault::None;
        int calibrationChannelShift = 0; // calibration answers name another channel
    };

    struct AnalogOutState
    {
        bool told = false;
        int outMode = 0;
        int dacCode = 0; // out mode 1
        unsigned periodUs = 0; // waves
    };
    struct DigitOutState
    {
        bool told = false;
        int outMode = 0;
        int status = 0; // out mode 1
        unsigned periodUs = 0; // PWM
        int dutyRatio = 0; // PWM
    };

    // Each byte on the serial line is a start bit, eight data bits and a stop bit.
    static constexpr int BitsPerByte = 10;
    // Time the box takes between the end of a command and the start of its answer.
    static constexpr double TurnaroundMs = 1.0;

    // An unknown box type gives a box without channels that still echoes.
    explicit ZSimulatedBox(int boxType, const ZClock &clock = ZClock::steady());
    ~ZSimulatedBox();

    ZSimulatedBox(const ZSimulatedBox &) = delete;
    ZSimulatedBox &operator=(const ZSimulatedBox &) = delete;

    int boxType() const { return m_boxType; }
    unsigned expectedBaudRate() const;

    // Line timing, on by default: an answer becomes readable only once the command and
    // the answer would have crossed the serial line at the type's baud rate, one after
    // the other, plus the turnaround; answers queue on the line behind each other. Tests
    // and benchmarks that need instant answers switch it off.
    void setLineTiming(bool on);
    bool hasLineTiming() const;

    // Fault injection.
    Faults faults() const;
    void setFaults(const Faults &faults);
    // Pulls the cable: open handles fail from now on (even after replug) and the bridge
    // counts no device.
    void unplug();
    void replug();
    bool isPlugged() const;
    // Answers `commands` more command frames; the next one pulls the plug (0: at once).
    void unplugAfterCommands(int commands);
    // Raw bytes the host can read at once, ahead of later answers.
    void inject(const std::vector<unsigned char> &bytes);

    // What the box heard and holds.
    QList<QByteArray> commandLog() const;
    void clearCommandLog();
    int openCount() const;
    unsigned hostBaudRate() const;
    int inputMode() const;
    unsigned rate() const;
    bool isAnalogInEnabled(int channel) const;
    int analogInRange(int channel) const;
    bool isEdgeCounterEnabled(int channel) const;
    AnalogOutState analogOut(int channel) const;
    DigitOutState digitOut(int channel) const;

    // The signals, at a time in milliseconds on the box's clock.
    double analogInVolts(int channel, double timeMs) const;
    std::int32_t analogInCode(int channel, double timeMs) const;
    int digitInLevel(int channel, double timeMs) const;
    std::uint32_t edgeCount(int channel, double timeMs) const;
    // The calibration the box reports for an analog input.
    static ZProtocol::Calibration calibrationOf(int channel, int setCode);

private:
    friend class ZSimulatedBridge;
    friend class ZSimulatedDevice;
    using SteadyTime = std::chrono::steady_clock::time_point;

    struct AnalogInState
    {
        bool enabled = false;
        int range = 1;
    };
    struct EdgeCntState
    {
        bool enabled = false;
        double sinceMs = 0.0;
    };
    struct Chunk
    {
        SteadyTime ready;
        std::vector<unsigned char> bytes;
        std::size_t pos = 0;
    };

    // The host side, reached through ZSimulatedDevice; `generation` identifies the
    // plug-in that a handle was opened on.
    int hostOpen(unsigned *generation);
    void hostClose(unsigned generation);
    int hostStatus(unsigned generation) const;
    int hostReset(unsigned generation);
    int hostSetBaudRate(unsigned generation, unsigned baudRate);
    int hostQueueStatus(unsigned generation, unsigned *bytesWaiting);
    int hostRead(unsigned generation, unsigned char *buffer, unsigned toRead, unsigned *bytesRead);
    int hostWrite(unsigned generation, const unsigned char *buffer, unsigned length,
                  unsigned *bytesWritten);
    int hostWait(unsigned generation, int timeoutMs, const std::atomic<bool> &interrupted,
                 unsigned *bytesWaiting);
    void hostInterrupt(std::atomic<bool> &interrupted, bool on);

    // Helpers; the mutex is held.
    int liveStatus(unsigned generation) const;
    unsigned readyBytes(SteadyTime now) const;
    void unplugLocked();
    void clearLine();
    void receive(const unsigned char *bytes, unsigned length);
    void handleCommand(const std::vector<unsigned char> &frame);
    bool answerFor(const std::vector<unsigned char> &frame, std::vector<unsigned char> *payload);
    void sendAnswer(const std::vector<unsigned char> &payload, SteadyTime commandArrived);
    SteadyTime::duration lineTimeOf(std::size_t bytes) const;
    void appendSampleRecords(double nowMs, std::vector<unsigned char> *payload) const;
    double analogInVoltsLocked(int channel, double timeMs) const;
    std::int32_t analogInCodeLocked(int channel, double timeMs) const;
    std::uint32_t edgeCountLocked(int channel, double timeMs) const;

    const int m_boxType;
    const ZClock &m_clock;
    const int m_analogIns;
    const int m_digitIns;
    const int m_edgeCnts;
    const int m_calibrationSetCode;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Faults m_faults;
    bool m_plugged = true;
    bool m_open = false;
    unsigned m_generation = 1;
    int m_openCount = 0;
    int m_commandsUntilUnplug = -1;
    unsigned m_hostBaudRate = 0;
    int m_inputMode = 0;
    unsigned m_rate = 0;
    std::vector<AnalogInState> m_analogInStates;
    std::vector<EdgeCntState> m_edgeCntStates;
    std::vector<AnalogOutState> m_analogOutStates;
    std::vector<DigitOutState> m_digitOutStates;
    bool m_lineTiming = true;
    SteadyTime m_writtenAt; // when the host's bytes being handled were written
    SteadyTime m_upLineFreeAt; // host to box: the end of the last command on the line
    SteadyTime m_downLineFreeAt; // box to host: the end of the last answer on the line
    std::vector<unsigned char> m_received; // host bytes not yet forming a whole command
    std::deque<Chunk> m_output;
    QList<QByteArray> m_log;
};

#endif // ZSIMULATEDBOX_H
