#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "device/zusbbridge.h"
#include "persist/zchannelsettings.h"
#include "persist/zcommandoutcome.h"
#include "persist/zfilejob.h"
#include "persist/zprojectcommands.h"
#include "persist/zsavedtime.h"
#include "persist/zsettings.h"
#include "persist/zsettingscommands.h"
#include "persist/zunsavedsamples.h"
#include "tests/common/wholefile.h"

#include <QDir>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <sys/resource.h>

namespace {

// An outcome in one comparable line: how it ended, the kind of message box if any, and the
// texts it carries.
QString summary(const ZCommandOutcome &outcome)
{
    QStringList parts { QLatin1String(outcome.succeeded ? "succeeded" : "failed")
                        + QLatin1String(outcome.cancelled ? ", cancelled" : "") };
    if (outcome.message != ZCommandOutcome::NoMessage)
        parts << QLatin1String(outcome.message == ZCommandOutcome::WarningMessage ? "warning"
                                                                                  : "plain");
    for (const QString &text : { outcome.messageTitle, outcome.messageText, outcome.statusText }) {
        if (!text.isEmpty())
            parts << text;
    }
    return parts.join(QLatin1String(" | "));
}

constexpr int UX107 = 8;
constexpr int WaitMs = 15000;

enum Fault {
    NoFault,
    Cancel,
    NoFolder,
    DiskFull,
    NameBecameFolder,
    CutShort,
    OldVersion,
    HandEdited
};

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

    ZManualClock clock;
    std::shared_ptr<ZSimulatedBox> box;
    ZAppObservable app;
    ZUnsavedSamples unsaved;
};

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

// An application model that never reaches a device: these tests only configure boxes.
ZAppObservable::BridgeFactory noBridge()
{
    return [](int) {
        return std::unique_ptr<ZUsbBridge>();
    };
}

QString line(const char *kind, const ZComponent *c, std::initializer_list<QVariant> values)
{
    QStringList texts { QLatin1String(kind) + QString::number(channelOf(c->id()) + 1) };
    for (const QVariant &value : values)
        texts << value.toString(); // doubles in their shortest exact form
    return texts.join(QLatin1Char(' '));
}

// Everything the store keeps of a box, in one comparable list.
QStringList configuration(const ZAppObservable &app)
{
    QStringList lines { QStringLiteral("type %1 start %2 stop %3 duration %4")
                            .arg(app.boxType())
                            .arg(app.startTrigger())
                            .arg(app.stopTrigger())
                            .arg(QVariant(app.duration()).toString()) };
    for (const ZAnalogIn *c : app.activeBox()->analogIns()) {
        QStringList coefs;
        for (const double k : c->coefs())
            coefs << QVariant(k).toString();
        lines << line("AI", c, { c->isSelected(), c->interval(), c->range(), c->showType() })
                + QLatin1Char(' ') + coefs.join(QLatin1Char(','));
    }
    for (const ZDigitIn *c : app.activeBox()->digitIns())
        lines << line("DI", c, { c->isSelected(), c->interval() });
    for (const ZEdgeCnt *c : app.activeBox()->edgeCnts())
        lines << line("CN", c, { c->isSelected(), c->interval() });
    for (const ZAnalogOut *c : app.activeBox()->analogOuts())
        lines << line("AO", c, { c->outMode(), c->voltage(), c->interval() });
    for (const ZDigitOut *c : app.activeBox()->digitOuts())
        lines << line("DO", c, { c->outMode(), c->status(), c->interval(), c->dutyRatio() });
    return lines;
}

} // namespace

class TestFileWork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startDuringASaveWaitsForIt();
    void commandsOnAWorker_data();
    void commandsOnAWorker();
    void unsavedSamples();
    void settingsStoredAndRestored();
    void settingsCommands();

private:
    QTemporaryDir m_dir;
};

void TestFileWork::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // No test reads or writes the user's configuration, even by accident.
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, m_dir.path());
}

// A start that fires while a save reads the series must not clear them under it: the
// sampling begins once the save has finished, and the file holds the whole earlier run.
void TestFileWork::startDuringASaveWaitsForIt()
{
    Rig rig;
    rig.fillSamples(2000);
    ZRealBox &box = *rig.app.activeBox();
    box.analogIns()[0]->setSelected(true);

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
    // A comment the fast scanner leaves to QXmlStreamReader: the file is read twice.
    QTest::newRow("open, hand-edited")
        << "Open" << int(HandEdited) << "succeeded | Open Project succeeded.";
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
    if (fault == HandEdited)
        writeAll(target, readAll(target) + "<!-- looked at by hand -->\n");
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
    const bool opens = open && (fault == NoFault || fault == HandEdited);
    QCOMPARE(rig.app.boxes().size(), boxes + (opens ? 1 : 0));
    QVERIFY(!rig.unsaved.hasUnsavedSamples()); // no run began: nothing to lose
    if (open) {
        QCOMPARE(statuses,
                 QStringList({ QStringLiteral("Reading from %1...").arg(file),
                               QStringLiteral("Reconstructing project...") })
                     .mid(0, fault == OldVersion ? 1 : 2));
        QCOMPARE(job.progress().total(), before.size());
        if (opens) {
            QCOMPARE(job.progress().done(), before.size()); // a second reading starts again
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

// Each change writes its own keys only, and what was stored comes back after a restart,
// whichever of model and store goes first.
void TestFileWork::settingsStoredAndRestored()
{
    for (const bool modelFirst : { true, false }) {
        const QString file = m_dir.filePath(QStringLiteral("restart-%1.conf").arg(modelFirst));
        QStringList before;
        {
            auto app = std::make_unique<ZAppObservable>(noBridge());
            auto settings = std::make_unique<ZSettings>(file, QSettings::NativeFormat);
            settings->attach(app.get());
            app->setBoxType(8);
            ZRealBox &b = *app->activeBox();
            const auto written = [&](const std::function<void()> &change) {
                settings->clear();
                change();
                QStringList keys = settings->allKeys();
                keys.sort();
                return keys.join(QLatin1Char(' ')).remove(QLatin1String("UX-107/"));
            };
            QCOMPARE(written([&] { b.analogIns()[1]->setSelected(true); }), "AngIn/2/selected");
            QCOMPARE(written([&] { b.analogIns()[1]->setInterval(4.5); }), "AngIn/2/interval");
            QCOMPARE(written([&] { b.analogIns()[2]->setRange(1); }), "AngIn/3/range");
            QCOMPARE(written([&] { b.analogIns()[2]->setShowType(1); }), "AngIn/3/showType");
            QCOMPARE(written([&] {
                         b.analogIns()[3]->setCoefs({ -1.5, 0.1 + 0.2, 1e-7, 3, 0, 2 });
                     }),
                     "AngIn/4/coef0 AngIn/4/coef1 AngIn/4/coef2 AngIn/4/coef3 AngIn/4/coef4 "
                     "AngIn/4/coef5");
            QCOMPARE(written([&] { b.digitIns()[0]->setInterval(250.0); }), "DgtIn/1/interval");
            QCOMPARE(written([&] { b.edgeCnts()[0]->setSelected(true); }), "EgeCnt/1/selected");
            QCOMPARE(written([&] { b.analogOuts()[0]->setOutMode(OutTriangle); }),
                     "AngOut/1/outMode");
            QCOMPARE(written([&] { b.analogOuts()[0]->setVoltage(3.3); }), "AngOut/1/voltage");
            QCOMPARE(written([&] { b.analogOuts()[0]->setInterval(2000.0); }), "AngOut/1/interval");
            QCOMPARE(written([&] { b.digitOuts()[1]->setOutMode(OutPwm); }), "DgtOut/2/outMode");
            QCOMPARE(written([&] { b.digitOuts()[1]->setStatus(true); }), "DgtOut/2/status");
            QCOMPARE(written([&] { b.digitOuts()[1]->setDutyRatio(75); }), "DgtOut/2/dutyRatio");
            QCOMPARE(written([&] { b.digitOuts()[1]->setInterval(5000.0); }), "DgtOut/2/interval");
            QCOMPARE(written([&] { app->setStartTrigger(TriggerFalling); }), "startTrigger");
            QCOMPARE(written([&] { app->setStopTrigger(TriggerTimeOut); }), "stopTrigger");
            QCOMPARE(written([&] { app->setDuration(90.125); }), "duration");
            QCOMPARE(written([&] { b.analogIns()[0]->setRange(8); }), ""); // no change
            // Samples arrive on the communication thread: the store is left alone there.
            QCOMPARE(written([&] {
                         std::thread([&] {
                             const double times[] = { 0.001, 0.002 };
                             const int raws[] = { 1000, 2000 };
                             b.analogIns()[0]->append(times, raws, 2);
                             b.digitIns()[0]->append(times, raws, 2);
                         }).join();
                     }),
                     "");
            {
                // Settings of another kind attached to a channel leave it to its own.
                ZDigitIn *di = b.digitIns()[0];
                ZAngInSettings analog(*settings);
                ZDgtOutSettings digitalOut(*settings);
                analog.attach(di);
                QVERIFY(!analog.load() && !analog.update(IntervalChanged) && !analog.save());
                QVERIFY(digitalOut.attach(di));
                QCOMPARE(written([&] { di->setInterval(300.0); }), "DgtIn/1/interval");
            }
            before = configuration(*app);
            if (modelFirst)
                app.reset();
        }
        // The file other builds read: an INI text with these keys and value forms.
        const QByteArray text = readAll(file);
        QVERIFY(text.startsWith("[General]\nboxType=8\n"));
        for (const char *line :
             { "\n[UX-107]\n", "AngIn\\size=4\n", "AngIn\\2\\selected=true\n",
               "AngIn\\2\\interval=4.5\n", "AngIn\\4\\coef1=0.30000000000000004\n",
               "DgtOut\\2\\dutyRatio=75\n" })
            QVERIFY2(text.contains(line), line);
        ZAppObservable app(noBridge());
        ZSettings settings(file, QSettings::NativeFormat);
        settings.attach(&app);
        QCOMPARE(configuration(app), before);
    }
}

// Saving replaces what the file held and spans every box type used; loading applies to
// the current type only, and refuses what is not a readable INI file.
void TestFileWork::settingsCommands()
{
    // Attached the way the main window does it: model first, then the store.
    ZAppObservable app(noBridge());
    ZSettings settings(m_dir.filePath(QStringLiteral("store-commands.ini")), QSettings::IniFormat);
    settings.attach(&app);
    app.setBoxType(1);
    const auto box = [&app]() -> ZRealBox & {
        return *app.activeBox();
    };
    box().analogIns()[0]->setInterval(50.0);
    app.setStartTrigger(TriggerRising);
    app.setBoxType(10);
    box().analogIns()[2]->setCoefs({ 0.5, 2.0, 0.25, 0, 0, 0 });
    box().analogOuts()[3]->setVoltage(1.75);
    app.setDuration(12.5);
    ZSettingsCommands commands(settings);
    const QString good = m_dir.filePath(QStringLiteral("saved.ini"));
    writeAll(good, "[Stale]\nold=1\n");
    QCOMPARE(summary(commands.saveSettings(good)),
             QStringLiteral("succeeded | Save Settings succeeded."));
    const QByteArray text = readAll(good);
    QVERIFY(text.contains("[General]\n") && text.contains("\n[UX-100]\n"));
    QVERIFY(text.contains("\n[UX-109]\n") && !text.contains("Stale"));
    {
        QSettings ini(good, QSettings::IniFormat);
        QStringList values;
        for (const char *key : { "boxType", "startTrigger", "duration", "UX-100/AngIn/1/interval",
                                 "UX-109/AngIn/3/coef2", "UX-109/AngOut/4/voltage",
                                 "UX-109/EgeCnt/size", "UX-100/EgeCnt/size" })
            values << ini.value(key, "none").toString();
        QCOMPARE(values.join(QLatin1Char(' ')),
                 QStringLiteral("10 %1 12.5 50 0.25 1.75 2 none").arg(TriggerRising));
    }

    // An existing file that is not INI is refused before anything is written; a file that
    // cannot be written is only found out by the final write. A failed load changes nothing.
    const QString notIni = m_dir.filePath(QStringLiteral("not.ini"));
    const QString badIni = m_dir.filePath(QStringLiteral("bad.ini"));
    const QByteArray garbage("[General\n\"unterminated\n\x01\xff=1\n");
    writeAll(notIni, garbage);
    writeAll(badIni, "[General\nduration=5\n\x01\xff\n");
    box().analogIns()[0]->setInterval(40.0);
    box().analogIns()[1]->setShowType(1);
    const QStringList unchanged = configuration(app);
    for (const QString &bad : { notIni, good + QStringLiteral("/inside.ini"),
                                m_dir.filePath(QStringLiteral("missing.ini")), badIni }) {
        const bool save = bad != badIni && !bad.contains(QLatin1String("missing"));
        const QString what
            = save ? QStringLiteral("Save Settings") : QStringLiteral("Load Settings");
        QCOMPARE(summary(save ? commands.saveSettings(bad) : commands.loadSettings(bad)),
                 QStringLiteral("failed | warning | %1 | Can't %1 %2 %3. | %1 failed.")
                     .arg(what, save ? "to" : "from", bad));
        QCOMPARE(configuration(app), unchanged);
    }
    QCOMPARE(readAll(notIni), garbage);
    writeAll(good,
             "[General]\nboxType=1\nstartTrigger=2\nstopTrigger=3\nduration=7.25\n\n"
             "[UX-100]\nAngIn\\1\\interval=60\n\n"
             "[UX-109]\nAngIn\\2\\interval=80\nAngIn\\2\\coef1=3\nAngIn\\3\\interval=abc\n"
             "AngIn\\3\\range=3\nAngIn\\3\\coef0=nan\nAngIn\\3\\coef1=4\nAngIn\\4\\range=abc\n"
             "DgtOut\\1\\dutyRatio=0\nDgtOut\\1\\outMode=4\nDgtOut\\2\\dutyRatio=65537\n");
    const ZRealBox *before = &box();
    QCOMPARE(summary(commands.loadSettings(good)),
             QStringLiteral("succeeded | Load Settings succeeded."));
    // The box type stays, and so does the box; what the file does not hold stays too, and
    // what it holds passes the model's checks.
    QCOMPARE(&box(), before);
    QCOMPARE(
        configuration(app).filter(QRegularExpression(QStringLiteral("^(type|AI[1-4]|DO[12]) "))),
        QStringList({ "type 10 start 2 stop 3 duration 7.25", "AI1 false 40 1 0 0,1,0,0,0,0",
                      "AI2 false 80 1 1 0,3,0,0,0,0", "AI3 false 1 1 0 0.5,4,0.25,0,0,0",
                      "AI4 false 1000 1 0 0,1,0,0,0,0", "DO1 1 false 4081.6326530612246 1",
                      "DO2 1 false 1e+06 99" })); // 99, not 1
    // The other type's values wait in the store until that type is chosen.
    QCOMPARE(settings.value("boxType").toInt(), 10);
    app.setBoxType(1);
    QCOMPARE(box().analogIns()[0]->interval(), 60.0);
}

QTEST_GUILESS_MAIN(TestFileWork)
#include "tst_filework.moc"
