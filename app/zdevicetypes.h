#ifndef ZDEVICETYPES_H
#define ZDEVICETYPES_H

#include <QString>

// The fixed table of Tebor box models, indexed by box type 1..10 (0: no device).

// Interval limits of a digital output, in microseconds; the maximum is applied first.
struct ZDigitOutLimits
{
    double maxInterval;
    double minInterval;
};

struct ZDeviceType
{
    int type;
    const char *name;
    int analogIns;
    int digitIns;
    int edgeCnts;
    int analogOuts;
    int digitOuts;
    double minAnalogInInterval; // ms
    double minDigitInInterval; // ms, also for edge counters
    unsigned char rangeMask; // 0: the channel's default (all four ranges)
    int inputModeCode; // 0: no 0x0B command is sent
    int calibrationSetCode; // argument of 0xF0
    double analogOutMaxVoltage; // 0: the channel's default
    bool digitOutValueOnly; // only out mode 1, no PWM
};

constexpr int MinBoxType = 1;
constexpr int MaxBoxType = 10;

// The row of a box type, or nullptr outside 1..10.
const ZDeviceType *deviceType(int boxType);

// The model name, "Unkown" for anything outside 1..10.
QString boxTypeName(int boxType);

// The serial speed of the USB link: 19200 for type 3, 115200 for every other type.
unsigned baudRateOf(int boxType);

// Interval limits of digital output `channel` of a box type. False for the types whose
// digital outputs only hold a value: their channels keep the class defaults.
bool digitOutLimits(int boxType, int channel, ZDigitOutLimits *limits);

#endif // ZDEVICETYPES_H
