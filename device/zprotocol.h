#ifndef ZPROTOCOL_H
#define ZPROTOCOL_H

#include "model/zsmartarray.h"

#include <cstdint>

// The wire protocol of the box: command frames (host to box) are
//   0xAA, LEN, opcode, arguments            (LEN counts opcode and arguments)
// answer frames (box to host) are
//   0xAA, LEN (24 bits, most significant first), payload (payload[0] = opcode answered).
// Multi-byte numbers are most significant byte first. No checksums.
//
// Every builder returns a complete frame: created with maximum size LEN + 2, so
// isComplete() holds. Channel numbers are taken modulo 64 (the device channel field).
// This module depends on nothing but the frame buffer, so it can be fuzzed alone.
namespace ZProtocol {

constexpr unsigned char StartByte = 0xAA;
constexpr unsigned AnswerHeaderLength = 4;
// The largest payload an answer may announce; the largest real one is 77 bytes.
constexpr unsigned MaxAnswerPayload = 1024;
constexpr unsigned CalibrationAnswerLength = 14;
// Out modes as they appear on the wire (same bits as the channels' out modes).
constexpr int OutModeValue = 1;
constexpr int OutModePwm = 2;
constexpr int OutModeSine = 4;
constexpr int OutModeTriangle = 8;
constexpr int OutModeSawtooth = 16;
// Added to the range code of a selected analog input in 0x13.
constexpr unsigned char AnalogInSelected = 0x80;

enum Opcode : unsigned char {
    OpAnalogOut = 0x02,
    OpProbe = 0x03,
    OpDigitInLevel = 0x08,
    OpDigitOut = 0x0A,
    OpInputMode = 0x0B,
    OpAnalogIn = 0x13,
    OpRate = 0x1B,
    OpSamples = 0x20,
    OpEdgeCounter = 0x23,
    OpCalibration = 0xF0
};

// 0x03: handshake probe; first command of a run configuration and last of a run.
ZByteArray probeFrame();
// 0x08: asks for the level of digital input 0.
ZByteArray digitInLevelFrame();
// 0x0B: the input-mode code of the box type (1 or 2).
ZByteArray inputModeFrame(int code);
// 0x13: range code 1, 2, 4 or 8; 0x80 is added when the channel is selected.
ZByteArray analogInFrame(int channel, int rangeCode, bool selected);
// 0x1B: sampling rate in samples per second, 24 bits.
ZByteArray rateFrame(unsigned rate);
// 0x23: 1 when the edge counter is selected, 0 otherwise.
ZByteArray edgeCounterFrame(int channel, bool selected);
// 0x02, LEN 5: an analog output holding a value; the code is reduced to 16 bits.
ZByteArray analogOutValueFrame(int channel, int dacCode);
// 0x02, LEN 6: an analog output generating a wave (out mode 4, 8 or 16).
ZByteArray analogOutWaveFrame(int channel, int outMode, double periodUs);
// 0x0A, LEN 4: a digital output holding a status (0 or 1).
ZByteArray digitOutValueFrame(int channel, int status);
// 0x0A, LEN 7: a digital output generating PWM (out mode 2); duty ratio in percent.
ZByteArray digitOutPwmFrame(int channel, double periodUs, int dutyRatio);
// 0x20: sample request.
ZByteArray sampleRequestFrame();
// 0xF0: calibration of one analog input with the box type's calibration set code.
ZByteArray calibrationRequestFrame(int channel, int setCode);

// The 0x1B rate of an interval in milliseconds: 1000 / interval + 0.5, truncated
// (3.125 ms gives 320, 2000.5 ms gives 0). Values that fit no 24-bit field (NaN,
// negative, above 16777215) are clamped into it rather than cast undefinedly.
unsigned rateOf(double intervalMs);
// An output period in microseconds as sent: truncated to an integer and clamped to
// 0..16777215, the range of the 24-bit field.
unsigned periodField(double periodUs);

// True when `answer` is a complete answer frame whose payload repeats `command` from
// its opcode on, byte for byte (the echo the box sends for most commands).
bool isEchoOf(const ZByteArray &answer, const ZByteArray &command);

// The opcode an answer frame answers, or -1 for a frame without payload.
int answerOpcode(const ZByteArray &answer);

// A decoded calibration answer: gain = int8 + u24 * 2^-24, offset = int16 + u8 / 256
// (offset in microvolts).
struct Calibration
{
    int channel = 0;
    int setCode = 0;
    double gain = 1.0;
    double offset = 0.0;
};

// Decodes a whole calibration answer frame (header included). False unless the frame
// starts with 0xAA, is 14 bytes long, announces LEN 10 and answers opcode 0xF0.
bool decodeCalibration(const unsigned char *frame, unsigned length, Calibration *calibration);
bool decodeCalibration(const ZByteArray &frame, Calibration *calibration);

} // namespace ZProtocol

#endif // ZPROTOCOL_H
