#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "device/zusbbridge.h"
#include "tests/common/coderecorder.h"

#include <QtTest>

namespace {

using Codes = QList<int>;

// "A" or "B": the two sets of pulse limits a digital output has; "-" for none.
QString limitsName(int type, int channel)
{
    ZDigitOutLimits l {};
    if (!digitOutLimits(type, channel, &l))
        return QStringLiteral("-");
    const bool a = qFuzzyCompare(l.maxInterval, 16666666.666666668) && l.minInterval == 1000.0;
    const bool b = qFuzzyCompare(l.maxInterval, 4081.6326530612246) && l.minInterval == 1.0;
    return a ? QStringLiteral("A") : b ? QStringLiteral("B") : QStringLiteral("?");
}

// Name, baud rate, table row and the pulse limits of every digital output.
QString describe(int type)
{
    QStringList parts { boxTypeName(type), QString::number(baudRateOf(type)) };
    const ZDeviceType *r = deviceType(type);
    if (!r)
        return parts.join(' ');
    for (const double value :
         { double(r->type), double(r->analogIns), double(r->digitIns), double(r->edgeCnts),
           double(r->analogOuts), double(r->digitOuts), r->minAnalogInInterval,
           r->minDigitInInterval, double(r->rangeMask), double(r->inputModeCode),
           double(r->calibrationSetCode), r->analogOutMaxVoltage, double(r->digitOutValueOnly) })
        parts << QString::number(value, 'g', 10);
    for (int channel = 0; channel < r->digitOuts; ++channel)
        parts << limitsName(type, channel);
    return parts.join(' ');
}

// Each value tried: '+' stored or '-' refused, then the value held afterwards.
template<class Value>
QString attempts(ZAppObservable &app, bool (ZAppObservable::*set)(Value),
                 Value (ZAppObservable::*get)() const, std::initializer_list<Value> values)
{
    QString result;
    for (const Value value : values) {
        const bool stored = (app.*set)(value);
        result += (stored ? " +" : " -") + QString::number((app.*get)(), 'g', 12);
    }
    return result;
}

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

private slots:
    void deviceTypes();
    void boxesTriggersAndDuration();
};

void TestAppModel::deviceTypes()
{
    // name baud | type AI DI CNT AO DO | min AI, DI | mask mode cal AOmax valueOnly | limits
    const QStringList expected = {
        "Unkown 115200",
        "UX-100 115200 1 2 1 0 0 1 3.125 2.380952381 0 0 1 0 1 -",
        "UX-101 115200 2 2 1 0 0 1 3.125 2.380952381 8 0 1 0 1 -",
        "UX-102 19200 3 3 1 0 0 1 10 8 0 0 1 0 1 -",
        "UX-103 115200 4 4 1 0 0 1 3.125 2.380952381 0 0 1 0 0 A",
        "UX-104 115200 5 4 1 0 0 1 3.125 2.380952381 8 0 1 0 0 A",
        "UX-105 115200 6 4 1 0 0 1 3.125 2.380952381 0 1 1 0 0 A",
        "UX-106 115200 7 8 1 0 0 1 3.125 2.380952381 0 2 2 0 0 A",
        "UX-107 115200 8 4 1 1 1 2 2.222222222 2.222222222 0 1 1 4 0 A A",
        "UX-108 115200 9 8 1 1 1 2 2.222222222 2.222222222 0 2 2 4 0 A A",
        "UX-109 115200 10 14 5 2 4 3 1 1 1 0 2 0 0 B A B",
        "Unkown 115200",
    };
    for (int type = 0; type <= 11; ++type)
        QCOMPARE(describe(type), expected[type]);
    QCOMPARE(describe(-3), expected[0]);
    QCOMPARE(limitsName(10, 3), QStringLiteral("A")); // beyond the last output: not a B
    QCOMPARE(ZAppObservable::boxTypeName(10), QString("UX-109"));
}

// The device box comes and goes with the type and stays first in the list; triggers and
// the duration take what is in range and announce what changes; without a run nothing
// starts, stops or reaches the box.
void TestAppModel::boxesTriggersAndDuration()
{
    ZAppObservable app([](int) { return std::unique_ptr<ZUsbBridge>(); });
    CodeRecorder<ZAppObservable> recorder;
    recorder.attach(&app);
    auto *playback = new ZImgyBox(2);
    QVERIFY(app.addBox(playback) && !app.addBox(playback) && !app.addBox(nullptr));
    recorder.take();
    app.setBoxType(4);
    QCOMPARE(recorder.take(), (Codes { ActiveBoxChanged, RealBoxAdded, BoxTypeChanged }));
    app.setBoxType(4);
    QVERIFY(recorder.take().isEmpty());
    app.setBoxType(9);
    QCOMPARE(
        recorder.take(),
        (Codes { ActiveBoxChanged, BoxRemoved, ActiveBoxChanged, RealBoxAdded, BoxTypeChanged }));
    QCOMPARE(app.boxes(), (std::vector<ZBox *> { app.activeBox(), playback }));

    QCOMPARE(attempts(app, &ZAppObservable::setStartTrigger, &ZAppObservable::startTrigger,
                      { 3, -1, 0, 1, 2, 2 }),
             QString(" -0 -0 -0 +1 +2 -2"));
    QCOMPARE(attempts(app, &ZAppObservable::setStopTrigger, &ZAppObservable::stopTrigger,
                      { 4, -1, 3, 2, 0 }),
             QString(" -0 -0 +3 +2 +0"));
    QCOMPARE(attempts(app, &ZAppObservable::setDuration, &ZAppObservable::duration,
                      { 60.0 + 5e-13, 60.0 + 1e-9, -1.0, qQNaN(), 0.0, qInf(), 2.5 }),
             QString(" -60 +60.000000001 -60.000000001 -60.000000001 +0 +inf +2.5"));
    QCOMPARE(recorder.take(),
             (Codes { StartTriggerChanged, StartTriggerChanged, StopTriggerChanged,
                      StopTriggerChanged, StopTriggerChanged, DurationChanged, DurationChanged,
                      DurationChanged, DurationChanged }));

    QVERIFY(!app.connectBox()); // no bridge to open
    QVERIFY(!app.sendDigitOut(1, 1) && !app.sendAnalogOut(0, 1000) && !app.requestStop());
    QVERIFY(!app.onStartSample() && !app.onStopSample()); // a queued start or stop
    QVERIFY(!app.activeBox()->isSampling());

    QVERIFY(app.removeBox(playback) && !app.removeBox(playback));
    app.setBoxType(0);
    QCOMPARE(recorder.take(), (Codes { BoxRemoved, ActiveBoxChanged, BoxRemoved, BoxTypeChanged }));
    QVERIFY(!app.activeBox() && app.boxes().empty() && !app.connectBox());
}

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
