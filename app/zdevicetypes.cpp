#include "zdevicetypes.h"

namespace {

constexpr double AnalogUx100 = 3.125;
constexpr double DigitUx100 = 2.380952380952381;
constexpr double Ux107 = 2.2222222222222223;

// clang-format off
constexpr ZDeviceType Table[MaxBoxType] = {
    // type name      AI  DI CNT AO DO  min AI      min DI/CNT  mask mode cal  AOmax  value only
    {  1, "UX-100",   2, 1, 0, 0, 1, AnalogUx100, DigitUx100, 0,   0,   1,   0.0,  true  },
    {  2, "UX-101",   2, 1, 0, 0, 1, AnalogUx100, DigitUx100, 8,   0,   1,   0.0,  true  },
    {  3, "UX-102",   3, 1, 0, 0, 1, 10.0,        8.0,        0,   0,   1,   0.0,  true  },
    {  4, "UX-103",   4, 1, 0, 0, 1, AnalogUx100, DigitUx100, 0,   0,   1,   0.0,  false },
    {  5, "UX-104",   4, 1, 0, 0, 1, AnalogUx100, DigitUx100, 8,   0,   1,   0.0,  false },
    {  6, "UX-105",   4, 1, 0, 0, 1, AnalogUx100, DigitUx100, 0,   1,   1,   0.0,  false },
    {  7, "UX-106",   8, 1, 0, 0, 1, AnalogUx100, DigitUx100, 0,   2,   2,   0.0,  false },
    {  8, "UX-107",   4, 1, 1, 1, 2, Ux107,       Ux107,      0,   1,   1,   4.0,  false },
    {  9, "UX-108",   8, 1, 1, 1, 2, Ux107,       Ux107,      0,   2,   2,   4.0,  false },
    { 10, "UX-109",  14, 5, 2, 4, 3, 1.0,         1.0,        1,   0,   2,   0.0,  false },
};
// clang-format on

// Baud rates of types 1..7; every other type uses 115200.
constexpr unsigned BaudRates[7] = { 115200, 115200, 19200, 115200, 115200, 115200, 115200 };

constexpr ZDigitOutLimits LimitsA = { 16666666.666666668, 1000.0 };
constexpr ZDigitOutLimits LimitsB = { 4081.6326530612246, 1.0 };

} // namespace

const ZDeviceType *deviceType(int boxType)
{
    if (boxType < MinBoxType || boxType > MaxBoxType)
        return nullptr;
    return &Table[boxType - 1];
}

QString boxTypeName(int boxType)
{
    const ZDeviceType *row = deviceType(boxType);
    return QString::fromLatin1(row ? row->name : "Unkown");
}

unsigned baudRateOf(int boxType)
{
    if (boxType >= 1 && boxType <= 7)
        return BaudRates[boxType - 1];
    return 115200;
}

bool digitOutLimits(int boxType, int channel, ZDigitOutLimits *limits)
{
    const ZDeviceType *row = deviceType(boxType);
    if (!row || row->digitOutValueOnly)
        return false;
    *limits = (boxType == 10 && (channel == 0 || channel == 2)) ? LimitsB : LimitsA;
    return true;
}
