#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zprotocol.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "persist/zfilejob.h"
#include "persist/zprojectcommands.h"
#include "persist/zsavedtime.h"
#include "persist/zunsavedsamples.h"
#include "persisttestutil.h"

#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <memory>
#include <optional>

#include <sys/resource.h>

namespace {

constexpr int UX107 = 8;
constexpr int WaitMs = 15000;
// Digital input 0 of the simulated box is high for 2 s, then low for 2 s.
constexpr double LowMs = 2500.0;
constexpr double RisingEdgeMs = 4100.0;

enum Fault { NoFault, Cancel, NoFolder, DiskFull, NameBecameFolder, CutShort, OldVersion };

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

// While it lives, a write beyond the limit fails as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit limit { bytes, m_saved.rlim_max };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    Q_DISABLE_COPY(FileSizeLimit)

private:
    void (*m_oldHandler)(int);
    rlimit m_saved {};
};

} // namespace

class TestFileWork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startDuringASaveWaitsForIt_data();
    void startDuringASaveWaitsForIt();
    void commandsOnAWorker_data();
    void commandsOnAWorker();
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
    commands.setClock([] { return QDateTime(QDate(2024, 6, 1), QTime(9, 30)); });
    QVERIFY(commands.saveProject(fileName).succeeded);
    const QByteArray reference = readAll(fileName); // the earlier run, whole
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

    gate.release();
    QVERIFY(finished.wait(WaitMs));
    QVERIFY(job.outcome().succeeded);
    QVERIFY(!box.isSampling()); // still held until released
    job.release();
    QVERIFY(box.isSampling());
    QVERIFY(rig.app.isCommunicating());
    QVERIFY(rig.app.requestStop());

    QCOMPARE(readAll(fileName), reference);
}

void TestFileWork::commandsOnAWorker_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("expected"); // the outcome; FILE stands for the file name
    QTest::newRow("open") << "Open" << int(NoFault) << "succeeded | Open Project succeeded.";
    QTest::newRow("open, cancelled")
        << "Open" << int(Cancel) << "failed, cancelled | Open Project canceled.";
    QTest::newRow("open, cut short")
        << "Open" << int(CutShort)
        << "failed | Open Project failed because of file of invalid format.";
    QTest::newRow("open, old version")
        << "Open" << int(OldVersion)
        << "failed | plain | Please choose project file saved by Quoravi of the current Version! | "
           "Open Project failed because of unmatched version.";
    for (const QString kind : { "Project", "Data" }) {
        const auto row = [&](const char *name, Fault fault, const QString &expected) {
            QTest::newRow(qPrintable(kind + QLatin1String(", ") + QLatin1String(name)))
                << kind << int(fault) << expected;
        };
        const auto warning = [&](const char *reason) {
            return QStringLiteral("failed | warning | Save %1 | Can't Save %1 to FILE:\n%2. | %3")
                .arg(kind, QLatin1String(reason),
                     kind == QLatin1String("Project")
                         ? QStringLiteral("Save Project failed.")
                         : QStringLiteral("Save Data failed because of limits of authority."));
        };
        row("saved", NoFault,
            QStringLiteral("succeeded | Save %1 succeeded").arg(kind)
                + (kind == QLatin1String("Project") ? "." : ""));
        row("cancelled", Cancel, QStringLiteral("failed, cancelled | Save %1 canceled.").arg(kind));
        row("no folder", NoFolder, warning("No such file or directory"));
        row("disk full", DiskFull, warning("File too large"));
        // Written in full, but the new file cannot take the old one's place at the end.
        row("the name became a folder", NameBecameFolder, warning("Is a directory"));
    }
}

// A save either succeeds, or leaves the old file as it was and nothing beside it (for root
// as well: no permission bits are involved). A reading adds its box only once handed
// over, and none when cancelled.
void TestFileWork::commandsOnAWorker()
{
    QFETCH(QString, command);
    QFETCH(int, fault);
    QFETCH(QString, expected);
    const bool open = command == QLatin1String("Open");
    Rig rig;
    rig.fillSamples(50000);
    ZProjectCommands commands(rig.app);
    const QDateTime when(QDate(2024, 6, 1), QTime(9, 30));
    commands.setClock([&] { return when; });
    const QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("old.file"));
    const QString aside = dir.filePath(QStringLiteral("aside"));
    QVERIFY(open ? commands.saveProject(target).succeeded : writeAll(target, "old content\n"));
    if (fault == CutShort || fault == OldVersion)
        writeAll(target,
                 fault == CutShort ? readAll(target).chopped(40)
                                   : QByteArray("<Quoravi version=\"1.9\"/>"));
    const QByteArray before = readAll(target);
    const int nextId = ZImgyBox(0).id() + 1;
    const QString file = fault == NoFolder ? dir.filePath(QStringLiteral("missing/f")) : target;
    const std::size_t boxes = rig.app.boxes().size();

    QStringList statuses;
    ZFileProgress *jobProgress = nullptr;
    // Once the version is accepted or the new file is open, before a byte is written.
    commands.setStatusSink([&](const QString &text) {
        statuses << text;
        if (fault == Cancel
            && (text.startsWith(QLatin1String("Saving"))
                || text == QLatin1String("Reconstructing project...")))
            jobProgress->cancel();
        if (fault == NameBecameFolder && QFile::rename(target, aside))
            QDir().mkpath(target + QStringLiteral("/inner"));
    });
    ZOpenedProject opened;
    ZFileJob job(rig.app, [&](ZFileProgress &progress) {
        jobProgress = &progress;
        if (!open)
            return command == QLatin1String("Project") ? commands.saveProject(file, &progress)
                                                       : commands.saveData(file, &progress);
        opened = commands.readProject(file, &progress);
        return opened.outcome;
    });
    QSignalSpy finished(&job, &ZFileJob::finished);
    {
        std::optional<FileSizeLimit> limit;
        if (fault == DiskFull)
            limit.emplace(100000);
        job.start();
        QVERIFY(finished.wait(WaitMs));
    }
    QCOMPARE(rig.app.boxes().size(), boxes); // reading adds nothing by itself
    const ZCommandOutcome outcome = open ? commands.addProject(std::move(opened)) : job.outcome();
    job.release();
    QCOMPARE(summary(outcome), expected.replace(QLatin1String("FILE"), file));
    QCOMPARE(rig.app.boxes().size(), boxes + (open && fault == NoFault ? 1 : 0));
    QVERIFY(!rig.unsaved.hasUnsavedSamples()); // no run began: nothing to lose
    if (open) {
        QCOMPARE(statuses,
                 QStringList({ QStringLiteral("Reading from %1...").arg(file),
                               QStringLiteral("Reconstructing project...") })
                     .mid(0, fault == OldVersion ? 1 : 2));
        QCOMPARE(job.progress().total(), before.size());
        if (fault == NoFault) {
            QCOMPARE(job.progress().done(), before.size());
            // A playback box of its own, and the live box stays the active one.
            QCOMPARE(rig.app.boxes().back()->id(), nextId);
            QCOMPARE(rig.app.activeBox(), rig.app.boxes().front());
            QCOMPARE(rig.app.boxes().back()->analogIns()[0]->sampleCount(), std::size_t(50000));
        }
        return;
    }
    const QStringList saving { QStringLiteral("Saving %1 to %2...").arg(command, file) };
    QCOMPARE(statuses, fault == NoFolder ? QStringList() : saving);
    if (fault == NoFault) {
        const QByteArray dated = savedTimeText(when).toUtf8()
            + (command == QLatin1String("Project")
                   ? QByteArray("\">\n <sampledData>\n")
                   : QByteArray("\nanalogChannel\t1\ntime(seconds)\tvoltage(volts)\t"
                                "funcValue\n0.01\t0.5\t0.5\n0.02\t0.501\t0.501\n"));
        QVERIFY2(readAll(file).contains(dated), readAll(file).left(400));
        return;
    }
    if (fault == NameBecameFolder) {
        QVERIFY(QDir(target).removeRecursively());
        QVERIFY(QFile::rename(aside, target));
    }
    QCOMPARE(readAll(target), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList { QStringLiteral("old.file") });
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
