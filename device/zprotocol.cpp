#include "zprotocol.h"

#include <cmath>
#include <initializer_list>

namespace ZProtocol {

namespace {

constexpr unsigned Max24 = 0xFFFFFF;

unsigned char channelByte(int channel)
{
    return static_cast<unsigned char>(channel & 0x3F);
}

// A command frame of exactly LEN + 2 bytes: start byte, LEN, opcode, arguments.
ZByteArray commandFrame(Opcode opcode, std::initializer_list<unsigned char> arguments)
{
    const unsigned len = 1 + unsigned(arguments.size());
    ZByteArray frame(len + 2);
    frame.append(StartByte);
    frame.append(static_cast<unsigned char>(len));
    frame.append(opcode);
    for (unsigned char argument : arguments)
        frame.append(argument);
    return frame;
}

unsigned char byte2(unsigned value)
{
    return static_cast<unsigned char>((value >> 16) & 0xFF);
}
unsigned char byte1(unsigned value)
{
    return static_cast<unsigned char>((value >> 8) & 0xFF);
}
unsigned char byte0(unsigned value)
{
    return static_cast<unsigned char>(value & 0xFF);
}

// Truncation into 0..Max24; NaN and negatives give 0 instead of undefined casts.
unsigned clampTo24(double value)
{
    if (!(value >= 0.0))
        return 0;
    if (value >= double(Max24))
        return Max24;
    return static_cast<unsigned>(value);
}

} // namespace

ZByteArray probeFrame()
{
    return commandFrame(OpProbe, {});
}

ZByteArray digitInLevelFrame()
{
    return commandFrame(OpDigitInLevel, { 0x00 });
}

ZByteArray inputModeFrame(int code)
{
    return commandFrame(OpInputMode, { byte0(unsigned(code)) });
}

ZByteArray analogInFrame(int channel, int rangeCode, bool selected)
{
    const unsigned char range = byte0(unsigned(rangeCode)) & 0x7F;
    return commandFrame(
        OpAnalogIn,
        { channelByte(channel),
          static_cast<unsigned char>(selected ? range | AnalogInSelected : range) });
}

ZByteArray rateFrame(unsigned rate)
{
    const unsigned value = rate > Max24 ? Max24 : rate;
    return commandFrame(OpRate, { byte2(value), byte1(value), byte0(value) });
}

ZByteArray edgeCounterFrame(int channel, bool selected)
{
    return commandFrame(OpEdgeCounter,
                        { channelByte(channel), static_cast<unsigned char>(selected ? 1 : 0) });
}

ZByteArray analogOutValueFrame(int channel, int dacCode)
{
    const unsigned code = unsigned(dacCode) & 0xFFFF;
    return commandFrame(OpAnalogOut,
                        { channelByte(channel), OutModeValue, byte1(code), byte0(code) });
}

ZByteArray analogOutWaveFrame(int channel, int outMode, double periodUs)
{
    const unsigned period = periodField(periodUs);
    return commandFrame(OpAnalogOut,
                        { channelByte(channel), byte0(unsigned(outMode)), byte2(period),
                          byte1(period), byte0(period) });
}

ZByteArray digitOutValueFrame(int channel, int status)
{
    return commandFrame(
        OpDigitOut,
        { channelByte(channel), OutModeValue, static_cast<unsigned char>(status ? 1 : 0) });
}

ZByteArray digitOutPwmFrame(int channel, double periodUs, int dutyRatio)
{
    const unsigned period = periodField(periodUs);
    return commandFrame(OpDigitOut,
                        { channelByte(channel), OutModePwm, byte2(period), byte1(period),
                          byte0(period), byte0(unsigned(dutyRatio)) });
}

ZByteArray sampleRequestFrame()
{
    return commandFrame(OpSamples, {});
}

ZByteArray calibrationRequestFrame(int channel, int setCode)
{
    return commandFrame(OpCalibration, { channelByte(channel), byte0(unsigned(setCode)) });
}

unsigned rateOf(double intervalMs)
{
    return clampTo24(1000.0 / intervalMs + 0.5);
}

unsigned periodField(double periodUs)
{
    return clampTo24(periodUs);
}

bool isEchoOf(const ZByteArray &answer, const ZByteArray &command)
{
    if (command.length() < 3 || !answer.isComplete())
        return false;
    const unsigned len = command.length() - 2;
    if (answer.length() != command.length() + 2 || answer[0] != StartByte)
        return false;
    const unsigned announced = (unsigned(answer[1]) << 16) | (unsigned(answer[2]) << 8) | answer[3];
    if (announced != len)
        return false;
    for (unsigned i = 0; i < len; ++i) {
        if (answer[AnswerHeaderLength + i] != command[2 + i])
            return false;
    }
    return true;
}

int answerOpcode(const ZByteArray &answer)
{
    if (answer.length() <= AnswerHeaderLength)
        return -1;
    return answer[AnswerHeaderLength];
}

bool decodeCalibration(const unsigned char *frame, unsigned length, Calibration *calibration)
{
    if (length != CalibrationAnswerLength || frame[0] != StartByte || frame[1] != 0 || frame[2] != 0
        || frame[3] != CalibrationAnswerLength - AnswerHeaderLength || frame[4] != OpCalibration)
        return false;
    const unsigned char *p = frame + AnswerHeaderLength;
    const int gainInteger = static_cast<signed char>(p[3]);
    const unsigned gainFraction = (unsigned(p[4]) << 16) | (unsigned(p[5]) << 8) | p[6];
    const int offsetInteger = static_cast<std::int16_t>((unsigned(p[7]) << 8) | p[8]);
    calibration->channel = p[1];
    calibration->setCode = p[2];
    calibration->gain = gainInteger + std::ldexp(double(gainFraction), -24);
    calibration->offset = offsetInteger + double(p[9]) / 256.0;
    return true;
}

bool decodeCalibration(const ZByteArray &frame, Calibration *calibration)
{
    if (frame.length() != CalibrationAnswerLength)
        return false;
    return decodeCalibration(frame.data(), frame.length(), calibration);
}

} // namespace ZProtocol
