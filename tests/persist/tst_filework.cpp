#include "app/zappobservable.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "persist/zfilejob.h"
#include "persist/zprojectcommands.h"
#include "persist/zprojectreader.h"
#include "persist/zunsavedsamples.h"
#include "persisttestutil.h"

#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int UX107 = 8;
constexpr int WaitMs = 15000;
// Digital input 0 of the simulated box is high for 2 s, then low for 2 s.
constexpr double LowMs = 2500.0;
constexpr double RisingEdgeMs = 4100.0;

// An application model on a simulated box the test holds.
struct Rig
{
    Rig()
        : box(std::make_shared<ZSimulatedBox>(UX107, clock))
        , app([this](int) { return std::make_unique<ZSimulatedBridge>(box); })
    {
        app.setBoxType(UX107);
        unsaved.attach(&app);
    }

    // Samples from a run that has ended, on AI1, AI3 (half as many) and CN1.
    void fillSamples(int n)
    {
        ZRealBox &b = *app.activeBox();
        for (int i = 0; i < n; ++i) {
            const double t = 0.01 * (i + 1);
            const double v = 0.5 + 0.001 * i;
            b.analogIns()[0]->appendVolts(&t, &v, 1);
            if (i < n / 2)
                b.analogIns()[2]->appendVolts(&t, &v, 1);
            b.edgeCnts()[0]->append(&t, &i, 1);
        }
    }

    ZManualClock clock { LowMs };
    std::shared_ptr<ZSimulatedBox> box;
    ZAppObservable app;
    ZUnsavedSamples unsaved;
};

int pollCount(const ZSimulatedBox &box)
{
    int polls = 0;
    for (const QByteArray &frame : box.commandLog())
        polls += frame.size() > 2 && quint8(frame[2]) == ZProtocol::OpDigitInLevel;
    return polls;
}

} // namespace

class TestFileWork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startDuringASaveWaitsForIt_data();
    void startDuringASaveWaitsForIt();
    void jobOnAWorker_data();
    void jobOnAWorker();
    void unsavedSamples();

private:
    QTemporaryDir m_dir;
};

void TestFileWork::initTestCase()
{
    QVERIFY(m_dir.isValid());
    redirectUserSettings(m_dir);
}

void TestFileWork::startDuringASaveWaitsForIt_data()
{
    QTest::addColumn<int>("trigger");
    QTest::newRow("rising edge while armed") << int(TriggerRising);
    QTest::newRow("manual start") << int(TriggerManual);
}

// A start that fires while a save reads the series must not clear them under it: the
// sampling begins once the save has finished, and the file holds the whole earlier run.
void TestFileWork::startDuringASaveWaitsForIt()
{
    QFETCH(int, trigger);
    Rig rig;
    rig.fillSamples(2000);
    ZRealBox &box = *rig.app.activeBox();
    box.analogIns()[0]->setSelected(true);
    rig.app.setStartTrigger(trigger);

    const QString fileName = m_dir.filePath(QStringLiteral("during.xml"));
    ZProjectCommands commands(rig.app);
    QSemaphore gate;
    ZFileJob job(rig.app, [&](ZFileProgress &progress) {
        gate.acquire(); // the save reads only once the start has fired
        return commands.saveProject(fileName, &progress);
    });
    QSignalSpy finished(&job, &ZFileJob::finished);
    job.start();
    const auto unblock = qScopeGuard([&gate] { gate.release(); }); // also when a check fails
    // Queued after the model's own connection: seen here once the model has had the start.
    QObject receiver;
    int starts = 0;
    connect(
        &rig.app, &ZAppObservable::startSample, &receiver, [&starts] { ++starts; },
        Qt::QueuedConnection);
    QVERIFY(rig.app.connectBox());
    if (trigger == TriggerRising) {
        QTRY_VERIFY_WITH_TIMEOUT(pollCount(*rig.box) >= 2, WaitMs);
        rig.clock.setMs(RisingEdgeMs);
    }
    QTRY_VERIFY_WITH_TIMEOUT(starts > 0, WaitMs);
    QVERIFY(rig.app.isSampling());
    QVERIFY(!box.isSampling());
    QVERIFY(!rig.app.isCommunicating());
    QCOMPARE(box.analogIns()[0]->sampleCount(), std::size_t(2000));

    gate.release();
    QVERIFY(finished.wait(WaitMs));
    QVERIFY(job.outcome().succeeded);
    QVERIFY(!box.isSampling()); // still held until released
    job.release();
    QVERIFY(box.isSampling());
    QVERIFY(rig.app.isCommunicating());
    QVERIFY(rig.app.requestStop());

    ZProjectReadResult read = readProjectFile(fileName);
    QCOMPARE(read.outcome, ZProjectReadResult::Opened);
    QCOMPARE(read.box->analogIns().size(), std::size_t(2));
    QCOMPARE(read.box->analogIns()[0]->sampleCount(), std::size_t(2000));
    QCOMPARE(read.box->analogIns()[1]->sampleCount(), std::size_t(1000));
    QCOMPARE(read.box->edgeCnts()[0]->sampleCount(), std::size_t(2000));
}

void TestFileWork::jobOnAWorker_data()
{
    QTest::addColumn<QString>("status"); // names the command and how it ended
    for (const char *status : { "Open Project succeeded.", "Open Project canceled.",
                                "Save Project canceled.", "Save Data canceled." })
        QTest::newRow(status) << status;
}

// A reading adds its box only once handed over, and none when cancelled; a cancelled save
// leaves the old file as it was, and nothing beside it.
void TestFileWork::jobOnAWorker()
{
    QFETCH(QString, status);
    const bool open = status.startsWith(QLatin1String("Open"));
    const bool cancel = status.endsWith(QLatin1String("canceled."));
    Rig rig;
    rig.fillSamples(50000);
    ZProjectCommands commands(rig.app);
    const QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("work.file"));
    QVERIFY(open ? commands.saveProject(fileName).succeeded
                 : writeAll(fileName, "the old content\n"));
    const QByteArray before = readAll(fileName);
    const std::size_t boxes = rig.app.boxes().size();

    ZFileProgress *jobProgress = nullptr;
    // Cancelled once the version is accepted, or once the new file is open.
    commands.setStatusSink([&](const QString &text) {
        if (cancel
            && (text == QLatin1String("Reconstructing project...") || text.startsWith("Saving")))
            jobProgress->cancel();
    });
    ZOpenedProject opened;
    ZFileJob job(rig.app, [&](ZFileProgress &progress) {
        jobProgress = &progress;
        if (!open)
            return status.contains(QLatin1String("Project"))
                ? commands.saveProject(fileName, &progress)
                : commands.saveData(fileName, &progress);
        opened = commands.readProject(fileName, &progress);
        return opened.outcome;
    });
    QSignalSpy finished(&job, &ZFileJob::finished);
    job.start();
    QVERIFY(finished.wait(WaitMs));
    QCOMPARE(rig.app.boxes().size(), boxes); // reading adds nothing by itself
    const ZCommandOutcome outcome = open ? commands.addProject(std::move(opened)) : job.outcome();
    job.release();

    QCOMPARE(outcome.statusText, status);
    QCOMPARE(outcome.cancelled, cancel);
    QCOMPARE(outcome.succeeded, !cancel);
    QCOMPARE(outcome.message, ZCommandOutcome::NoMessage);
    QCOMPARE(rig.app.boxes().size(), boxes + (cancel ? 0 : 1));
    QCOMPARE(readAll(fileName), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("work.file") });
    QVERIFY(!rig.unsaved.hasUnsavedSamples()); // no run began: nothing to lose
    if (open)
        QCOMPARE(job.progress().total(), before.size());
    if (!cancel) {
        QCOMPARE(job.progress().done(), before.size());
        QCOMPARE(rig.app.boxes().back()->analogIns()[0]->sampleCount(), std::size_t(50000));
    }
}

void TestFileWork::unsavedSamples()
{
    // r: a run takes samples; s: a save that begins and succeeds while idle; S: a save
    // that begins during a run; f: a save that fails; b: a save begins, a run begins, the
    // save succeeds; t: another box type.
    const QList<QPair<const char *, bool>> cases {
        { "", false },  { "r", true },  { "rs", false }, { "rS", true },
        { "rf", true }, { "rb", true }, { "rsr", true }, { "rt", false },
    };
    for (const auto &[steps, unsaved] : cases) {
        Rig rig;
        ZRealBox *box = rig.app.activeBox();
        for (const char *step = steps; *step; ++step) {
            ZUnsavedSamples::Save save;
            if (*step == 's' || *step == 'f' || *step == 'b')
                save = rig.unsaved.saveBegins();
            if (*step != 's' && *step != 'f' && *step != 't') {
                box->setSampling(true);
                rig.app.notify(SampleStarted);
                rig.fillSamples(10);
            }
            if (*step == 'S')
                save = rig.unsaved.saveBegins();
            box->setSampling(false);
            if (*step == 's' || *step == 'S' || *step == 'b')
                rig.unsaved.saveSucceeded(save);
            if (*step == 't')
                rig.app.setBoxType(UX107 + 1);
        }
        QVERIFY2(rig.unsaved.hasUnsavedSamples() == unsaved, steps);
    }
}

QTEST_GUILESS_MAIN(TestFileWork)
#include "tst_filework.moc"
