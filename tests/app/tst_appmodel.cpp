#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "device/zusbbridge.h"
#include "tests/common/coderecorder.h"

#include <QtTest>

namespace {

using Codes = QList<int>;

std::unique_ptr<ZUsbBridge> noBridge(int)
{
    return nullptr;
}

// A model without a box link and a recorder of what it announces.
struct Model
{
    Model() { recorder.attach(&app); }

    ZAppObservable app { noBridge };
    CodeRecorder<ZAppObservable> recorder;
};

QString limitsName(int type, int channel)
{
    ZDigitOutLimits limits {};
    if (!digitOutLimits(type, channel, &limits))
        return QStringLiteral("-");
    if (qFuzzyCompare(limits.maxInterval, 16666666.666666668) && limits.minInterval == 1000.0)
        return QStringLiteral("A");
    if (qFuzzyCompare(limits.maxInterval, 4081.6326530612246) && limits.minInterval == 1.0)
        return QStringLiteral("B");
    return QStringLiteral("?");
}

// Name, baud rate, table row and the pulse limits of every digital output, in
// one line.
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

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

private slots:
    void deviceTypes();
    void boxTypeChanges();
    void boxList();
    void triggersAndDuration();
    void outputWritesNeedARun();
};

void TestAppModel::deviceTypes()
{
    // name baud | type AI DI CNT AO DO | min AI, min DI | mask mode cal AOmax
    // valueOnly | limits
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
    QCOMPARE(limitsName(10, 3),
             QStringLiteral("A")); // beyond the last output: not a B
}

void TestAppModel::boxTypeChanges()
{
    Model m;
    m.app.setBoxType(4);
    QCOMPARE(m.recorder.take(), (Codes { ActiveBoxChanged, RealBoxAdded, BoxTypeChanged }));
    QCOMPARE(m.app.activeBox()->boxType(), 4);
    m.app.setBoxType(4);
    QVERIFY(m.recorder.take().isEmpty());
    m.app.setBoxType(9);
    QCOMPARE(
        m.recorder.take(),
        (Codes { ActiveBoxChanged, BoxRemoved, ActiveBoxChanged, RealBoxAdded, BoxTypeChanged }));
    m.app.setBoxType(0);
    QCOMPARE(m.recorder.take(), (Codes { ActiveBoxChanged, BoxRemoved, BoxTypeChanged }));
    QVERIFY(!m.app.activeBox() && m.app.boxes().empty());
    QVERIFY(!m.app.connectBox()); // nothing to connect
    QCOMPARE(ZAppObservable::boxTypeName(10), QString("UX-109"));
}

void TestAppModel::boxList()
{
    Model m;
    auto *playback = new ZImgyBox(2);
    QVERIFY(m.app.addBox(playback));
    QVERIFY(!m.app.addBox(playback));
    QVERIFY(!m.app.addBox(nullptr));
    m.app.setBoxType(1);
    QCOMPARE(m.app.boxes().front(),
             static_cast<ZBox *>(m.app.activeBox())); // device box first
    QCOMPARE(m.app.boxes().back(), static_cast<ZBox *>(playback));
    QVERIFY(!m.app.hasSamples());
    const double time = 0.5;
    const int raw = 1;
    m.app.activeBox()->digitIns()[0]->append(&time, &raw, 1);
    QVERIFY(m.app.hasSamples());

    m.recorder.take();
    QVERIFY(m.app.removeBox(playback));
    QCOMPARE(m.recorder.take(), Codes { BoxRemoved });
    QVERIFY(!m.app.removeBox(playback));
    QCOMPARE(m.app.boxes().size(), std::size_t(1));
}

void TestAppModel::triggersAndDuration()
{
    // Each try: '+' stored or '-' refused, then the value held afterwards.
    Model m;
    QString tries;
    for (const int trigger : { 3, -1, 0, 1, 2, 2 }) {
        const bool stored = m.app.setStartTrigger(trigger);
        tries += (stored ? '+' : '-') + QString::number(m.app.startTrigger());
    }
    QCOMPARE(tries, QString("-0-0-0+1+2-2"));
    tries.clear();
    for (const int trigger : { 4, -1, 3, 2, 0 }) {
        const bool stored = m.app.setStopTrigger(trigger);
        tries += (stored ? '+' : '-') + QString::number(m.app.stopTrigger());
    }
    QCOMPARE(tries, QString("-0-0+3+2+0"));
    tries.clear();
    for (const double seconds : { 60.0 + 5e-13, 60.0 + 1e-9, -1.0, qQNaN(), 0.0, qInf(), 2.5 }) {
        const bool stored = m.app.setDuration(seconds);
        tries += (stored ? " +" : " -") + QString::number(m.app.duration(), 'g', 12);
    }
    QCOMPARE(tries, QString(" -60 +60.000000001 -60.000000001 -60.000000001 +0 +inf +2.5"));
    QCOMPARE(m.recorder.take(),
             (Codes { StartTriggerChanged, StartTriggerChanged, StopTriggerChanged,
                      StopTriggerChanged, StopTriggerChanged, DurationChanged, DurationChanged,
                      DurationChanged, DurationChanged }));
}

void TestAppModel::outputWritesNeedARun()
{
    ZAppObservable app(noBridge);
    QVERIFY(!app.sendAnalogOut(0, 1000));
    app.setBoxType(10);
    QVERIFY(!app.connectBox()); // no bridge to open
    QVERIFY(!app.sendDigitOut(1, 1));
    QVERIFY(!app.requestStop());
    QVERIFY(!app.onStartSample()); // a start arriving while idle changes nothing
    QVERIFY(!app.onStopSample());
    QVERIFY(!app.activeBox()->isSampling());
}

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
