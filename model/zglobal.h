#ifndef ZGLOBAL_H
#define ZGLOBAL_H

#include <QString>

// Notification codes: one group of 0x100 per sending class. Observers receive them
// through ZObserver::update(int).
enum ZNotification : int {
    SamplingChanged = 0x000,
    IntervalChanged = 0x100,
    SelectedChanged = 0x200,
    GraphShownChanged = 0x201,
    DataAppended = 0x202,
    DataCleared = 0x203,
    RangeMaskChanged = 0x300,
    RangeChanged = 0x301,
    ShowTypeChanged = 0x302,
    CoefsChanged = 0x303,
    FunctionValuesChanged = 0x304,
    OutModeChanged = 0x400,
    OutValueChanged = 0x401,
    DutyRatioChanged = 0x500,
    BoxTypeChanged = 0x700,
    ActiveBoxChanged = 0x701,
    PlaybackBoxAdded = 0x702,
    RealBoxAdded = 0x703,
    BoxRemoved = 0x704,
    SampleStarted = 0x705,
    SampleFinished = 0x706,
    SampleCanceled = 0x707,
    StartTriggerChanged = 0x708,
    StopTriggerChanged = 0x709,
    DurationChanged = 0x70A,
    // A run ended because the box stopped answering or was unplugged; the samples up to
    // then are kept (ZAppObservable::boxLostAtSeconds()).
    BoxLost = 0x70B
};

// Component kinds: the high byte of a channel's identifier.
enum ZComponentKind : int {
    AnalogInKind = 0,
    DigitInKind = 1,
    EdgeCntKind = 2,
    AnalogOutKind = 4,
    DigitOutKind = 5
};

// Observable identifiers of the boxes and of the application model.
enum ZObservableId : int { FirstImgyBoxId = 0x1000, RealBoxId = 0x2000, AppObservableId = 0x3000 };

// The device channel number of a component identifier (0-based).
constexpr int channelOf(int id)
{
    return id & 63;
}

constexpr int componentId(ZComponentKind kind, int channel)
{
    return (int(kind) << 8) + channel;
}

// The version text shown in the window title and the about box and stored in projects.
QString appVersion();

// The shared decimal formatter: general form with 6 significant digits, then as many
// fixed decimals as that form showed (at most maxDecimals). Always a point as separator.
QString formatNumber(double value, int maxDecimals);

#endif // ZGLOBAL_H
