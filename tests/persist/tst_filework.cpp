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

// An application model on a simulated box the test holds, with samples from a run that
// has ended (appended directly: the samples are the point here, not the run).
struct Rig
{
    Rig()
        : box(std::make_shared<ZSimulatedBox>(UX107, clock))
        , app([this](int) { return std::make_unique<ZSimulatedBridge>(box); })
    {
        app.setBoxType(UX107);
        unsaved.attach(&app);
    }

    void fillSamples(int n)
    {
        std::vector<double> times(std::size_t(n), 0.0);
        std::vector<double> volts(std::size_t(n), 0.0);
        std::vector<int> counts(std::size_t(n), 0);
        for (int i = 0; i < n; ++i) {
            times[std::size_t(i)] = 0.01 * (i + 1);
            volts[std::size_t(i)] = 0.5 + 0.001 * i;
            counts[std::size_t(i)] = i;
        }
        app.activeBox()->analogIns()[0]->appendVolts(times.data(), volts.data(), n);
        app.activeBox()->analogIns()[2]->appendVolts(times.data(), volts.data(), n / 2);
        app.activeBox()->edgeCnts()[0]->append(times.data(), counts.data(), n);
    }

    std::size_t sampleCount(int analogIn) const
    {
        return app.activeBox()->analogIns()[std::size_t(analogIn)]->sampleCount();
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
    void cancelledSaveLeavesTheOldFile();
    void openOnAWorkerAddsOneBoxOrNone_data();
    void openOnAWorkerAddsOneBoxOrNone();
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
    QCOMPARE(rig.sampleCount(0), std::size_t(2000));

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

// Cancelled once the new file is open and the writing begins.
void TestFileWork::cancelledSaveLeavesTheOldFile()
{
    for (const bool project : { true, false }) {
        Rig rig;
        rig.fillSamples(200000);
        QTemporaryDir dir;
        const QString fileName = dir.filePath(QStringLiteral("old.file"));
        QVERIFY(writeAll(fileName, "the old content\n"));

        ZFileProgress progress;
        ZProjectCommands commands(rig.app);
        commands.setStatusSink([&progress](const QString &text) {
            if (text.startsWith(QLatin1String("Saving")))
                progress.cancel();
        });
        const ZCommandOutcome outcome = project ? commands.saveProject(fileName, &progress)
                                                : commands.saveData(fileName, &progress);
        QVERIFY(!outcome.succeeded);
        QVERIFY(outcome.cancelled);
        QCOMPARE(outcome.message, ZCommandOutcome::NoMessage);
        QCOMPARE(outcome.statusText,
                 project ? QStringLiteral("Save Project canceled.")
                         : QStringLiteral("Save Data canceled."));
        QCOMPARE(readAll(fileName), QByteArray("the old content\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList { QStringLiteral("old.file") });
        QVERIFY(!rig.unsaved.hasUnsavedSamples()); // no run began: nothing to lose
    }
}

void TestFileWork::openOnAWorkerAddsOneBoxOrNone_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("completed") << false;
    QTest::newRow("cancelled while reading") << true;
}

void TestFileWork::openOnAWorkerAddsOneBoxOrNone()
{
    QFETCH(bool, cancel);
    Rig rig;
    rig.fillSamples(50000);
    ZProjectCommands commands(rig.app);
    const QString fileName = m_dir.filePath(QStringLiteral("open.xml"));
    QVERIFY(commands.saveProject(fileName).succeeded);
    const std::size_t boxesBefore = rig.app.boxes().size();

    ZFileProgress *jobProgress = nullptr;
    commands.setStatusSink([&](const QString &text) {
        if (cancel && text == QLatin1String("Reconstructing project..."))
            jobProgress->cancel();
    });
    ZOpenedProject opened;
    ZFileJob job(rig.app, [&](ZFileProgress &progress) {
        jobProgress = &progress;
        opened = commands.readProject(fileName, &progress);
        return opened.outcome;
    });
    QSignalSpy finished(&job, &ZFileJob::finished);
    job.start();
    QVERIFY(finished.wait(WaitMs));
    QCOMPARE(rig.app.boxes().size(), boxesBefore); // reading adds nothing by itself
    const ZCommandOutcome outcome = commands.addProject(std::move(opened));
    job.release();

    QCOMPARE(outcome.cancelled, cancel);
    QCOMPARE(outcome.succeeded, !cancel);
    QCOMPARE(rig.app.boxes().size(), boxesBefore + (cancel ? 0 : 1));
    QCOMPARE(job.progress().total(), QFileInfo(fileName).size());
    if (!cancel) {
        QCOMPARE(job.progress().done(), QFileInfo(fileName).size());
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
