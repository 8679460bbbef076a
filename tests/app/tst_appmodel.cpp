#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "device/zusbbridge.h"
#include "tests/common/coderecorder.h"

#include <QtTest>

#include <limits>

namespace {

std::unique_ptr<ZUsbBridge> noBridge(int)
{
    return nullptr;
}

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

private slots:
    void boxTypeChanges();
    void boxList();
    void triggers_data();
    void triggers();
    void duration_data();
    void duration();
    void outputWritesNeedARun();
};

void TestAppModel::boxTypeChanges()
{
    ZAppObservable app(noBridge);
    CodeRecorder<ZAppObservable> recorder;
    recorder.attach(&app);
    app.setBoxType(4);
    QCOMPARE(recorder.take(), (QList<int> { ActiveBoxChanged, RealBoxAdded, BoxTypeChanged }));
    QCOMPARE(app.activeBox()->boxType(), 4);
    app.setBoxType(4);
    QVERIFY(recorder.take().isEmpty());
    app.setBoxType(9);
    QCOMPARE(recorder.take(),
             (QList<int> { ActiveBoxChanged, BoxRemoved, ActiveBoxChanged, RealBoxAdded,
                           BoxTypeChanged }));
    app.setBoxType(0);
    QCOMPARE(recorder.take(), (QList<int> { ActiveBoxChanged, BoxRemoved, BoxTypeChanged }));
    QVERIFY(!app.activeBox());
    QVERIFY(app.boxes().empty());
    QVERIFY(!app.connectBox()); // nothing to connect
    QCOMPARE(ZAppObservable::boxTypeName(10), QString("UX-109"));
}

void TestAppModel::boxList()
{
    ZAppObservable app(noBridge);
    auto *playback = new ZImgyBox(2);
    QVERIFY(app.addBox(playback));
    QVERIFY(!app.addBox(playback));
    QVERIFY(!app.addBox(nullptr));
    app.setBoxType(1);
    QCOMPARE(app.boxes().front(), static_cast<ZBox *>(app.activeBox())); // the device box first
    QCOMPARE(app.boxes().back(), static_cast<ZBox *>(playback));
    QVERIFY(!app.hasSamples());
    const double time = 0.5;
    const int raw = 1;
    app.activeBox()->digitIns()[0]->append(&time, &raw, 1);
    QVERIFY(app.hasSamples());

    CodeRecorder<ZAppObservable> recorder;
    recorder.attach(&app);
    QVERIFY(app.removeBox(playback));
    QCOMPARE(recorder.take(), QList<int> { BoxRemoved });
    QVERIFY(!app.removeBox(playback));
    QCOMPARE(app.boxes().size(), std::size_t(1));
}

void TestAppModel::triggers_data()
{
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("stored");
    QTest::newRow("start rising") << false << 1 << true;
    QTest::newRow("start falling") << false << 2 << true;
    QTest::newRow("start time-out") << false << 3 << false;
    QTest::newRow("start negative") << false << -1 << false;
    QTest::newRow("start unchanged") << false << 0 << false;
    QTest::newRow("stop time-out") << true << 3 << true;
    QTest::newRow("stop falling") << true << 2 << true;
    QTest::newRow("stop four") << true << 4 << false;
}

void TestAppModel::triggers()
{
    QFETCH(bool, stop);
    QFETCH(int, value);
    QFETCH(bool, stored);
    ZAppObservable app(noBridge);
    CodeRecorder<ZAppObservable> recorder;
    recorder.attach(&app);
    QCOMPARE(stop ? app.setStopTrigger(value) : app.setStartTrigger(value), stored);
    QCOMPARE(stop ? app.stopTrigger() : app.startTrigger(), stored ? value : 0);
    QCOMPARE(recorder.take(),
             stored ? QList<int> { stop ? StopTriggerChanged : StartTriggerChanged }
                    : QList<int>());
}

void TestAppModel::duration_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<double>("duration");
    QTest::newRow("2.5 s") << 2.5 << true << 2.5;
    QTest::newRow("below a picosecond") << 60.0 + 5e-13 << false << 60.0;
    QTest::newRow("a nanosecond") << 60.0 + 1e-9 << true << 60.0 + 1e-9;
    QTest::newRow("zero") << 0.0 << true << 0.0;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << true
                              << std::numeric_limits<double>::infinity();
    QTest::newRow("negative") << -1.0 << false << 60.0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false << 60.0;
}

void TestAppModel::duration()
{
    QFETCH(double, seconds);
    QFETCH(bool, stored);
    QFETCH(double, duration);
    ZAppObservable app(noBridge);
    CodeRecorder<ZAppObservable> recorder;
    recorder.attach(&app);
    QCOMPARE(app.setDuration(seconds), stored);
    QCOMPARE(app.duration(), duration);
    QCOMPARE(recorder.take(), stored ? QList<int> { DurationChanged } : QList<int>());
}

void TestAppModel::outputWritesNeedARun()
{
    ZAppObservable app(noBridge);
    QVERIFY(!app.sendAnalogOut(0, 1000));
    app.setBoxType(10);
    QVERIFY(!app.sendDigitOut(1, 1));
    QVERIFY(!app.requestStop());
    QVERIFY(!app.onStartSample()); // a start arriving while idle changes nothing
    QVERIFY(!app.onStopSample());
    QVERIFY(!app.activeBox()->isSampling());
}

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
