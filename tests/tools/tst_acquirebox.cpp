#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zbox.h"
#include "device/zftdibridge.h"
#include "device/zlinkfailure.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "ftdistandin/zftdistandin.h"
#include "model/zglobal.h"
#include "persist/zprojectcommands.h"
#include "tools/acquire/zacquireoptions.h"
#include "tools/acquire/zacquiresession.h"
#include "tools/acquire/zboxscan.h"
#include "tools/acquire/zsignalwaker.h"

#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <csignal>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ftdistandin;

namespace {

const QString DeviceSentence = QStringLiteral(
    "Please make sure the device is connected and matched with the device type, then try again.");

// quoravi-acquire on a pseudo-terminal, as at a user's terminal: the progress line shows,
// and the output (standard output and error together) can be read while it comes.
class TerminalRun
{
public:
    // Without `showErrors`, standard error goes to /dev/null instead.
    explicit TerminalRun(const QStringList &arguments, bool showErrors = true)
    {
        // Everything the child needs is made before the fork.
        std::vector<QByteArray> texts { QByteArrayLiteral(QUORAVI_ACQUIRE_PATH) };
        for (const QString &argument : arguments)
            texts.push_back(argument.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &text : texts)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        m_pid = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
            if (!showErrors)
                ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TerminalRun()
    {
        if (m_pid > 0 && m_status == NotFinished) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_master);
    }
    void signal(int number) const { ::kill(m_pid, number); }
    // The terminal's line ends as the tool wrote them.
    QString output() const { return QString::fromLocal8Bit(m_output).replace("\r\n", "\n"); }

    // Reads until the output matches `pattern`; false at its end or after a minute, far
    // longer than any run here lasts.
    bool waitFor(const QString &pattern)
    {
        const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
        QElapsedTimer timer;
        timer.start();
        char bytes[4096];
        pollfd terminal { m_master, POLLIN, 0 };
        while (!expression.match(output()).hasMatch()) {
            const ssize_t n
                = ::poll(&terminal, 1, 1000) == 1 ? ::read(m_master, bytes, sizeof bytes) : 0;
            if (n < 0 || (n == 0 && terminal.revents) || timer.hasExpired(60000))
                return false;
            m_output.append(bytes, int(n));
        }
        return true;
    }

    // Reads to the end and waits for the tool: its exit status, or minus its signal.
    int finish()
    {
        waitFor(QStringLiteral("(?!)"));
        int status = 0;
        if (::waitpid(m_pid, &status, 0) != m_pid)
            return NotFinished;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return m_status;
    }

private:
    static constexpr int NotFinished = -1000;
    pid_t m_pid = -1;
    int m_master = -1;
    int m_status = NotFinished;
    QByteArray m_output;
};

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of a text export that start a block, e.g. "analogChannel\t1".
QStringList exportBlocks(const QString &path)
{
    static const QRegularExpression header(
        QStringLiteral("^(analogChannel|digitChannel|edgeCounter)\t\\d+$"),
        QRegularExpression::MultilineOption);
    QStringList blocks;
    for (auto it = header.globalMatch(QString::fromLocal8Bit(readAll(path))); it.hasNext();)
        blocks << it.next().captured(0);
    return blocks;
}

// The project read back as the window opens it, with at least one box.
std::unique_ptr<ZAppObservable> readProject(const QString &path)
{
    auto app = std::make_unique<ZAppObservable>([](int) { return std::unique_ptr<ZUsbBridge>(); });
    const bool opened = ZProjectCommands(*app).openProject(path).succeeded;
    return opened && !app->boxes().empty() ? std::move(app) : nullptr;
}

// Samples of the first analog input in a project, 0 when it cannot be read.
std::size_t projectSamples(const QString &path)
{
    const auto app = readProject(path);
    return app ? app->boxes().front()->analogIns().front()->sampleCount() : 0;
}

// What `work` writes to this process's standard error.
QString standardErrorOf(const std::function<void()> &work)
{
    QTemporaryFile file;
    if (!file.open())
        return QString();
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    work();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    return QString::fromLocal8Bit(readAll(file.fileName()));
}

// A box on the stand-in's bus that hears nothing until its own baud rate is set.
Device lineDevice(int boxType, int address = 4, OpenRefusal refusal = OpenRefusal::None,
                  int productId = 0x6001)
{
    Device device;
    device.box = std::make_shared<ZSimulatedBox>(boxType);
    ZSimulatedBox::Faults faults;
    faults.needsBaudRate = true;
    device.box->setFaults(faults);
    device.address = address;
    device.refusal = refusal;
    device.productId = productId;
    return device;
}

// The lines --scan prints with the stand-in's bus as given, then whether it succeeded.
QStringList scanned(std::vector<Device> devices, int boxType, bool usbStarts = true)
{
    const BusScope bus(std::move(devices), usbStarts);
    QString text;
    QTextStream out(&text);
    const bool succeeded
        = ZBoxScan([](int) { return std::make_unique<ZFtdiBridge>(); }, out).run(boxType);
    out.flush();
    QStringList lines = text.split('\n', Qt::SkipEmptyParts);
    lines << (succeeded ? "succeeded" : "failed");
    // Whatever the scan opened it closes again.
    if (counters().openLines > 0 || counters().contexts > 0)
        lines << "left open";
    return lines;
}

} // namespace

// quoravi-acquire: command line, exit statuses, files read back, signals, --scan.
class TestAcquire : public QObject
{
    Q_OBJECT

private slots:
    void statusAndWordsBeforeTheRun_data();
    void statusAndWordsBeforeTheRun();
    void triggeredTimeOutRunReadsBack();
    void lostBoxStillWritesTheFiles();
    void ctrlCEndsTheRunAndTheSave();
    void thirdSignalAbortsWithoutReplacing();
    void scanListsDevicesAndTriesTheType();
};

void TestAcquire::statusAndWordsBeforeTheRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *name, const QStringList &arguments, const char *message,
                        int exitCode = ZAcquireSession::UsageError) {
        QTest::newRow(name) << arguments << exitCode << message;
    };
    // No --simulate: a bad value must be refused before any device is looked for.
    row("no type", { "--simulate" }, "--type is required");
    row("unknown type", { "--type", "UX-999" }, "unknown box type");
    row("type 11", { "--type", "11" }, "unknown box type");
    row("unknown option", { "--type", "1", "--fast" }, "unknown option '--fast'");
    row("short unknown", { "--type", "1", "-x" }, "unknown option '-x'");
    row("flag with value", { "--type", "1", "--quiet=yes" }, "option --quiet takes no value");
    row("stray argument", { "--type", "1", "ai1" }, "unexpected argument 'ai1'");
    row("missing value", { "--type", "1", "--rate" }, "option --rate needs a value");
    row("once only", { "--type", "1", "--data=a", "--data", "b" }, "option --data given twice");
    row("bad name", { "--type", "1", "--select", "ch1" }, "not an input name");
    row("no such input", { "--type", "1", "--select", "ai3" }, "the UX-100 has no input ai3");
    row("no counter", { "--type", "UX-100", "--rate", "cnt1=5" }, "has no input cnt1");
    row("rate text", { "--type", "1", "--rate", "ai1=fast" }, "--rate wants");
    row("rate zero", { "--type", "1", "--rate", "ai1=0" }, "--rate wants");
    row("range volts", { "--type", "1", "--range", "ai1=3" }, "--range wants");
    row("range digital", { "--type", "1", "--range", "di1=10" }, "--range wants");
    row("range unsupported", { "--type", "UX-101", "--range", "ai1=10" }, "not offer 10 V");
    row("start timeout", { "--type", "1", "--start", "timeout" }, "--start wants");
    row("stop other", { "--type", "1", "--stop", "later" }, "--stop wants");
    row("negative duration", { "--type", "1", "--duration", "-2" }, "--duration wants");
    row("nan duration", { "--type", "1", "--duration", "nan" }, "--duration wants");
    row("missing settings", { "--type", "1", "--settings", "/nonexistent/q.ini" },
        "cannot read the settings file");
    row("project in a missing folder", { "--type", "1", "--project", "/nonexistent/p.xml" },
        "cannot write /nonexistent/p.xml", ZAcquireSession::FileFailed);
    row("data onto a folder", { "--type", "1", "--data", "/tmp" }, "cannot write /tmp",
        ZAcquireSession::FileFailed);
    // This machine has no box: the sentence, then why on a line of its own.
    row("no box", { "--type", "UX-103", "--stop", "timeout" }, "", ZAcquireSession::DeviceFailed);
    row("scan needs no type", { "--scan" }, "", ZAcquireSession::DeviceFailed);
    row("help", { "--help" }, "Usage: quoravi-acquire --type TYPE", ZAcquireSession::Success);
    row("types", { "--list-types" }, "\n10  UX-109  ", ZAcquireSession::Success);
    // Before a run that asks more than the serial line carries, what it needs and gets.
    QString every = "di1,di2,di3,di4,di5,cnt1,cnt2";
    for (int i = 1; i <= 14; ++i)
        every += QStringLiteral(",ai%1").arg(i);
    const QStringList shortRun { "--simulate", "--stop", "timeout", "--duration", "0.2", "-q" };
    row("line too slow",
        QStringList { "--type", "UX-109", "--select", every, "--rate", "ai1=1000" } + shortRun,
        "quoravi-acquire: warning: the chosen inputs and rates need 84 kB/s, but the line of the "
        "UX-109 carries 11.5 kB/s; about 137 records/s can be reached\n",
        ZAcquireSession::Success);
    row("19200 baud too slow",
        QStringList { "--type", "UX-102", "--select", "ai1,ai2,ai3,di1", "--rate", "ai1=100" }
            + shortRun,
        "quoravi-acquire: warning: the chosen inputs and rates need 2.2 kB/s, but the line of the "
        "UX-102 carries 1.9 kB/s; about 87 records/s can be reached\n",
        ZAcquireSession::Success);
    row("line fast enough",
        QStringList { "--type", "UX-109", "--select", "ai1,ai2", "--rate", "ai1=400" } + shortRun,
        "ai1: ", ZAcquireSession::Success);
}

void TestAcquire::statusAndWordsBeforeTheRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    // Help and the type list go to standard output, where a pipe takes them.
    TerminalRun run(arguments,
                    !arguments.contains("--help") && !arguments.contains("--list-types"));
    QCOMPARE(run.finish(), exitCode);
    const QString output = run.output();
    QVERIFY2(output.contains(message), qPrintable(output));
    if (exitCode == ZAcquireSession::UsageError)
        QVERIFY2(output.endsWith("\nTry 'quoravi-acquire --help'.\n"), qPrintable(output));
    const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    if (exitCode == ZAcquireSession::DeviceFailed) {
        QCOMPARE(lines.value(0) == DeviceSentence, !arguments.contains("--scan"));
        QCOMPARE(lines.size(), arguments.contains("--scan") ? 1 : 2);
        QVERIFY2(lines.last().startsWith("No FTDI USB device was found")
                     || lines.last().startsWith("USB could not be started"),
                 qPrintable(lines.last()));
    } else {
        QVERIFY(!output.contains(DeviceSentence));
    }
    QCOMPARE(output.count("warning"), int(message.contains("warning")));
    QVERIFY2(!output.contains("sampling"), qPrintable(output));
    if (arguments.contains("--list-types"))
        QCOMPARE(lines.size(), 10);
}

// The simulated digital input 1 is high for 2 s, then low for 2 s: the first rise comes
// 4 s after the box was made, and the run lasts 1.5 s from there; each input at its rate.
void TestAcquire::triggeredTimeOutRunReadsBack()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("run.xml");
    const QString data = dir.filePath("run.txt");
    QElapsedTimer timer;
    timer.start();
    TerminalRun run({ "--type",  "UX-109",    "--simulate",    "--select", "ai1,ai3,di1,cnt2",
                      "--rate",  "ai1=100",   "--rate=ai3=20", "--range",  "ai1=10",
                      "--start", "rising",    "--stop",        "timeout",  "--duration",
                      "1.5",     "--project", project,         "--data",   data });
    QCOMPARE(run.finish(), 0);
    // A falling edge would have started it at 2 s, the whole run ending near 3.5 s.
    QVERIFY2(timer.elapsed() >= 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY2(run.output().contains(QRegularExpression("^ai1: \\d+ samples, \\S+ s to \\S+ s\n",
                                                      QRegularExpression::MultilineOption)),
             qPrintable(run.output()));
    QVERIFY(run.output().contains("project written to " + project));
    QCOMPARE(exportBlocks(data),
             (QStringList { "analogChannel\t1", "analogChannel\t3", "digitChannel\t1",
                            "edgeCounter\t2" }));

    const auto app = readProject(project);
    QVERIFY(app);
    const ZBox *box = app->boxes().front();
    QCOMPARE(box->boxType(), 10);
    QCOMPARE(box->analogIns().size(), std::size_t(2));
    QCOMPARE(box->digitIns().size(), std::size_t(1));
    QCOMPARE(box->edgeCnts().size(), std::size_t(1));
    const std::size_t fast = box->analogIns()[0]->sampleCount();
    const std::size_t slow = box->analogIns()[1]->sampleCount();
    QVERIFY2(fast >= 75 && fast <= 160, qPrintable(QString::number(fast)));
    QVERIFY2(slow >= 15 && slow <= 32, qPrintable(QString::number(slow)));
    QVERIFY(box->edgeCnts()[0]->sampleCount() > 0);
}

// Pulled out during the run: both files hold the samples up to then, the tool says when
// it happened and exits 1.
void TestAcquire::lostBoxStillWritesTheFiles()
{
    auto box = std::make_shared<ZSimulatedBox>(1);
    const ZUsbBridgeOverride override(box);
    // The handshake, two calibrations and five configuration frames, then samples.
    box->unplugAfterCommands(30);
    QTemporaryDir dir;
    const QString project = dir.filePath("lost.xml");
    const QString data = dir.filePath("lost.txt");
    ZAcquireOptions options;
    QString error;
    QVERIFY(options.parse({ "quoravi-acquire", "--type", "UX-100", "--select", "ai1", "--rate",
                            "ai1=200", "--project", project, "--data", data, "--quiet" },
                          &error));
    int exitCode = -1;
    const QString printed
        = standardErrorOf([&options, &exitCode] { exitCode = ZAcquireSession(options).exec(); });
    QCOMPARE(exitCode, int(ZAcquireSession::DeviceFailed));
    QVERIFY2(QRegularExpression(QStringLiteral("^The box stopped answering at \\d+(\\.\\d)? s; "
                                               "the samples up to then are kept\\.\\n$"))
                 .match(printed)
                 .hasMatch(),
             qPrintable(printed));
    QCOMPARE(exportBlocks(data), QStringList { "analogChannel\t1" });
    QVERIFY(projectSamples(project) > 0);
}

// Ctrl+C ends the run and the files are written; another one during the save must not
// lose them. Outputs spoilt during the run (even root cannot write where a folder with
// content stands, nor into a folder gone): status 3, and what can be written is.
void TestAcquire::ctrlCEndsTheRunAndTheSave()
{
    enum Spoiler { None, ProjectBecameAFolder, FolderGone };
    for (const Spoiler spoiler : { None, ProjectBecameAFolder, FolderGone }) {
        QTemporaryDir dir;
        const QString project = dir.filePath("run.xml");
        const QString data = dir.filePath("run.txt");
        TerminalRun run({ "--type", "UX-100", "--simulate", "--select", "ai2", "--rate", "ai2=200",
                          "--project", project, "--data", data });
        // A hundred samples or more to save.
        QVERIFY2(run.waitFor("sampling +\\S+ s +[1-9]\\d{2,} samples"), qPrintable(run.output()));
        if (spoiler == FolderGone)
            QVERIFY(dir.remove());
        if (spoiler == ProjectBecameAFolder)
            QVERIFY(QDir().mkpath(project + "/inner"));
        run.signal(SIGINT);
        if (spoiler == None) {
            QVERIFY2(run.waitFor("^ai2: \\d+ samples, "), qPrintable(run.output()));
            run.signal(SIGINT);
        }
        QCOMPARE(run.finish(), spoiler == None ? 0 : int(ZAcquireSession::FileFailed));
        const QString output = run.output();
        QVERIFY2(output.contains("project written to " + project) == (spoiler == None),
                 qPrintable(output));
        QCOMPARE(output.contains("Can't Save Project to"), spoiler != None);
        QCOMPARE(output.contains("data written to " + data), spoiler != FolderGone);
        QCOMPARE(output.contains("Can't Save Data to"), spoiler == FolderGone);
        QVERIFY(output.count("saving, please wait") <= 1);
        QCOMPARE(readAll(data).contains("analogChannel\t2"), spoiler != FolderGone);
        QCOMPARE(projectSamples(project) > 20, spoiler == None);
    }
}

// The waker in a child: a stop request, then a patience line, then the third signal ends
// the process in the middle of a save, which leaves the old file as it was.
void TestAcquire::thirdSignalAbortsWithoutReplacing()
{
#if defined(__SANITIZE_THREAD__)
    QSKIP("ThreadSanitizer defers signal handlers to its own safe points, past the commit");
#endif
    QTemporaryDir dir;
    QSaveFile old(dir.filePath("old.xml"));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old content\n") == 12 && old.commit());
    int errors[2];
    QCOMPARE(::pipe(errors), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errors[1], STDERR_FILENO);
        ZSignalWaker waker;
        ::raise(SIGINT);
        ::raise(SIGTERM);
        QSaveFile save(old.fileName());
        if (!waker.isValid() || !save.open(QIODevice::WriteOnly) || save.write("new\n") != 4)
            ::_exit(2);
        ::raise(SIGINT);
        save.commit();
        ::_exit(0);
    }
    ::close(errors[1]);
    QFile errorText;
    QVERIFY(errorText.open(errors[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    QCOMPARE(errorText.readAll(), QByteArray("saving, please wait\n"));
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), ZSignalWaker::AbortExitStatus);
    QCOMPARE(readAll(old.fileName()), QByteArray("old content\n"));
}

// Without a type: FTDI's default products in the bus's order, their details where this
// user may open them, and whether one opens. With one: the first device's handshake at
// the type's speed, and its calibrations.
void TestAcquire::scanListsDevicesAndTriesTheType()
{
    const QString noDevice = linkFailureReason(ZLinkFailure::NoDevice, 0);
    QCOMPARE(scanned({}, 1, false),
             (QStringList { linkFailureReason(ZLinkFailure::NoUsbAccess, 0), "failed" }));
    QCOMPARE(scanned({}, 0), (QStringList { noDevice, "failed" }));
    QCOMPARE(scanned({}, 1), (QStringList { noDevice, "failed" }));

    Device mouse = lineDevice(1, 4, OpenRefusal::None, 0xC077);
    mouse.vendorId = 0x046D;
    Device busy = lineDevice(1, 8, OpenRefusal::Claimed, 0x6015);
    busy.serial = "TB000003";
    const Device denied = lineDevice(1, 7, OpenRefusal::AccessDenied);
    const QString first = "  1: bus 1, address 4, 0403:6001, \"Tebor USB DAQ\", serial TB000001: "
                          "can be opened";
    const QString deniedLine = ": bus 1, address 7, 0403:6001: cannot be opened. "
        + linkFailureReason(ZLinkFailure::NoPermission, 0);
    QCOMPARE(scanned({ lineDevice(1), mouse, denied, busy }, 0),
             (QStringList { "3 FTDI devices found:", first, "  2" + deniedLine,
                            "  3: bus 1, address 8, 0403:6015, \"Tebor USB DAQ\", serial "
                            "TB000003: cannot be opened. "
                                + linkFailureReason(ZLinkFailure::Busy, 0),
                            "succeeded" }));
    QCOMPARE(scanned({ denied }, 0),
             (QStringList { "1 FTDI device found:", "  1" + deniedLine, "failed" }));

    QStringList answers { "1 FTDI device found:", first,
                          "Device 1 answers the handshake at 19200 baud as a UX-102." };
    for (int channel = 0; channel < deviceType(3)->analogIns; ++channel) {
        const ZProtocol::Calibration calibration
            = ZSimulatedBox::calibrationOf(channel, deviceType(3)->calibrationSetCode);
        answers << QStringLiteral("  ai%1: gain %2, offset %3 uV")
                       .arg(channel + 1)
                       .arg(formatNumber(calibration.gain, 8), formatNumber(calibration.offset, 8));
    }
    QCOMPARE(scanned({ lineDevice(3) }, 3), answers << "succeeded");
    // A 115200 box scanned as the 19200 type does not answer.
    QCOMPARE(
        scanned({ lineDevice(1) }, 3),
        (QStringList { "1 FTDI device found:", first,
                       "Device 1 as a UX-102: " + linkFailureReason(ZLinkFailure::NoAnswer, 19200),
                       "failed" }));
}

QTEST_GUILESS_MAIN(TestAcquire)
#include "tst_acquirebox.moc"
