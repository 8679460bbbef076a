#include "app/zappobservable.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "tests/common/coderecorder.h"
#include "tests/common/cputime.h"

#include <QElapsedTimer>
#include <QtTest>

#include <limits>
#include <memory>
#include <thread>

namespace {

// An application model on a simulated box, with one analog input selected.
struct Rig
{
    explicit Rig(double intervalMs)
        : box(std::make_shared<ZSimulatedBox>(1))
        , app([this](int) { return std::make_unique<ZSimulatedBridge>(box); })
    {
        app.setBoxType(1);
        analog()->setSelected(true);
        analog()->setInterval(intervalMs);
        recorder.attach(&app);
    }

    ZAnalogIn *analog() const { return app.activeBox()->analogIns()[0]; }

    std::shared_ptr<ZSimulatedBox> box;
    ZAppObservable app;
    CodeRecorder<ZAppObservable> recorder;
};

// What an observer of the application model finds in the device box when sampling starts.
class StartWitness : public ZObserver<ZAppObservable>
{
public:
    ~StartWitness() override { detach(subject()); }
    bool update(int code) override
    {
        if (code != SampleStarted)
            return false;
        const ZRealBox *box = subject()->activeBox();
        seen = QStringLiteral("sampling %1, samples %2")
                   .arg(box->isSampling())
                   .arg(box->analogIns()[0]->sampleCount());
        return true;
    }

    QString seen;
};

// Loose bounds: these runs share the machine with other work.
constexpr int RunTimeoutMs = 10000;

} // namespace

class TestRunControl : public QObject
{
    Q_OBJECT

private slots:
    void longDurationsSleep_data();
    void longDurationsSleep();
    void stopTriggerChangeWakesTheTriggerThread();
    void sampleStartedSeesTheNewRun();
};

void TestRunControl::longDurationsSleep_data()
{
    QTest::addColumn<double>("seconds");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    QTest::newRow("three centuries") << 1e10;
    QTest::newRow("largest double") << std::numeric_limits<double>::max();
}

// A time-out far beyond the steady clock's range is a time-out that does not come: the
// trigger thread sleeps through it instead of spinning, and Stop still ends the run.
void TestRunControl::longDurationsSleep()
{
    QFETCH(double, seconds);
    Rig rig(200.0);
    rig.app.setStopTrigger(TriggerTimeOut);
    QVERIFY(rig.app.setDuration(seconds));
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.codes().contains(SampleStarted), RunTimeoutMs);

    const CpuWatch cpu(CpuWatch::WholeProcess);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    QVERIFY2(cpu.isBelow(0.2), qPrintable(cpu.report()));
    QVERIFY(rig.app.isSampling());

    QElapsedTimer wall;
    wall.start();
    QVERIFY(rig.app.requestStop());
    QVERIFY2(wall.elapsed() < 5000, qPrintable(QString::number(wall.elapsed())));
    QVERIFY(rig.recorder.codes().contains(SampleFinished));
    QVERIFY(!rig.app.isSampling());
}

// Switching to the time-out while the thread sleeps without one ends a run whose
// duration has already passed.
void TestRunControl::stopTriggerChangeWakesTheTriggerThread()
{
    Rig rig(20.0);
    QVERIFY(rig.app.setDuration(0.0));
    QVERIFY(rig.app.connectBox());
    // A few samples in, the trigger thread is asleep waiting for Stop.
    QTRY_VERIFY_WITH_TIMEOUT(rig.analog()->sampleCount() >= 3, RunTimeoutMs);
    QVERIFY(!rig.recorder.codes().contains(SampleFinished));

    QVERIFY(rig.app.setStopTrigger(TriggerTimeOut));
    QTRY_VERIFY_WITH_TIMEOUT(rig.recorder.codes().contains(SampleFinished), RunTimeoutMs);
    QVERIFY(!rig.app.isSampling());
    QVERIFY(!rig.app.isCommunicating());
}

// An observer reading the box on SampleStarted sees the new run, never the last one.
void TestRunControl::sampleStartedSeesTheNewRun()
{
    Rig rig(10.0);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(rig.analog()->sampleCount() >= 5, RunTimeoutMs);
    QVERIFY(rig.app.requestStop());
    QVERIFY(rig.analog()->sampleCount() >= 5);

    StartWitness witness;
    witness.attach(&rig.app);
    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(!witness.seen.isEmpty(), RunTimeoutMs);
    QCOMPARE(witness.seen, QStringLiteral("sampling 1, samples 0"));
    QVERIFY(rig.app.requestStop());
}

QTEST_GUILESS_MAIN(TestRunControl)
#include "tst_runcontrol.moc"
