#include "app/zappobservable.h"
#include "device/zbox.h"
#include "device/zftdibridge.h"
#include "device/zlinkfailure.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "ftdistandin/zftdistandin.h"
#include "model/zglobal.h"
#include "persist/zprojectcommands.h"
#include "tests/common/wholefile.h"
#include "tools/acquire/zacquireoptions.h"
#include "tools/acquire/zacquiresession.h"
#include "tools/acquire/zboxscan.h"
#include "tools/acquire/zsignalwaker.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ftdistandin;

namespace {

// `^` and `$` match at every line; `\A` and `\z` only at the ends of the text.
bool matches(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).hasMatch();
}

// A child on a pseudo-terminal, as at a user's terminal: the progress line shows.
class TerminalRun
{
public:
    // quoravi-acquire with `arguments`, or else `child` (giving the exit status) in a copy of
    // this process; `hidden`, a standard descriptor, goes to /dev/null there.
    explicit TerminalRun(const QStringList &arguments, int hidden = -1,
                         const std::function<int()> &child = {})
    {
        std::vector<QByteArray> texts { QByteArrayLiteral(QUORAVI_ACQUIRE_PATH) };
        for (const QString &argument : arguments)
            texts.push_back(argument.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &text : texts)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        m_pid = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid < 0)
            qFatal("no pseudo-terminal");
        if (m_pid == 0) {
            if (hidden >= 0)
                ::dup2(::open("/dev/null", O_WRONLY), hidden);
            if (!child)
                ::execv(argv[0], argv.data());
            ::_exit(child ? child() : 127);
        }
    }
    ~TerminalRun()
    {
        if (m_status == NotFinished)
            finish(SIGKILL);
        ::close(m_master);
    }
    void signal(int number) const { ::kill(m_pid, number); }
    // The terminal's line ends as the child wrote them.
    QString output() const { return QString::fromLocal8Bit(m_output).replace("\r\n", "\n"); }

    // False at the end of the output, or after a minute, far longer than any run here.
    bool waitFor(const QString &pattern)
    {
        const QDeadlineTimer deadline(60000);
        char bytes[4096];
        pollfd terminal { m_master, POLLIN, 0 };
        while (!matches(output(), pattern)) {
            const ssize_t n
                = ::poll(&terminal, 1, 1000) == 1 ? ::read(m_master, bytes, sizeof bytes) : 0;
            if (n < 0 || (n == 0 && terminal.revents) || deadline.hasExpired())
                return false;
            m_output.append(bytes, int(n));
        }
        return true;
    }

    // Sends `signalNumber` (0: none), reads to the end and waits for the child: its exit
    // status, or minus its signal.
    int finish(int signalNumber = 0)
    {
        signal(signalNumber);
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

// The lines of a text export that start a block, e.g. "analogChannel\t1".
QStringList exportBlocks(const QString &path)
{
    return QString::fromLocal8Bit(readAll(path))
        .split('\n')
        .filter(QRegularExpression("^(analogChannel|digitChannel|edgeCounter)\t\\d+$"));
}

// Samples per analog input of a project as the window reads it back; none when it cannot.
QVector<std::size_t> projectSamples(const QString &path)
{
    ZAppObservable app([](int) { return std::unique_ptr<ZUsbBridge>(); });
    QVector<std::size_t> samples;
    if (ZProjectCommands(app).openProject(path).succeeded && !app.boxes().empty())
        for (const ZInChannel *channel : app.boxes().front()->analogIns())
            samples << channel->sampleCount();
    return samples;
}

// What --scan prints with the stand-in's bus as given, then whether it succeeded.
QString scanned(std::vector<Device> devices, int boxType)
{
    const BusScope bus(std::move(devices));
    QString text;
    QTextStream out(&text);
    const bool succeeded
        = ZBoxScan([](int) { return std::make_unique<ZFtdiBridge>(); }, out).run(boxType);
    out << (succeeded ? "succeeded" : "failed");
    // Whatever the scan opened it closes again.
    if (counters().openLines > 0 || counters().contexts > 0)
        out << ", left open";
    out.flush();
    return text;
}

} // namespace

// quoravi-acquire: command line, exit statuses, files read back, signals, --scan.
class TestAcquire : public QObject
{
    Q_OBJECT

private slots:
    void statusAndWordsBeforeTheRun_data();
    void statusAndWordsBeforeTheRun();
    void triggeredRunEndsOnCtrlC();
    void lostBoxStillWritesTheFiles();
    void thirdSignalEndsAtOnce();
    void scanListsDevicesAndTriesTheType();
};

void TestAcquire::statusAndWordsBeforeTheRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("pattern");
    const auto row = [](const char *name, const QStringList &arguments, const QString &pattern,
                        int exitCode = ZAcquireSession::UsageError) {
        QTest::newRow(name) << arguments << exitCode << pattern;
    };
    // No --simulate: a bad value must be refused before any device is looked for.
    row("type 11", { "--type", "11" }, "unknown box type");
    row("unknown option", { "--type", "1", "--fast" }, "unknown option '--fast'");
    row("flag with value", { "--type", "1", "--quiet=yes" }, "option --quiet takes no value");
    row("stray argument", { "--type", "1", "ai1" }, "unexpected argument 'ai1'");
    row("missing value", { "--type", "1", "--rate" }, "option --rate needs a value");
    row("once only", { "--type", "1", "--data=a", "--data", "b" }, "option --data given twice");
    row("bad name", { "--type", "1", "--select", "ch1" }, "not an input name");
    row("no counter", { "--type", "UX-100", "--rate", "cnt1=5" }, "UX-100 has no input cnt1");
    row("rate zero", { "--type", "1", "--rate", "ai1=0" }, "--rate wants");
    row("range digital", { "--type", "1", "--range", "di1=10" }, "--range wants");
    row("range unsupported", { "--type", "UX-101", "--range", "ai2=1.25", "--range", "ai1=10" },
        "not offer 10 V on ai1");
    row("start timeout", { "--type", "1", "--start", "timeout" }, "--start wants");
    row("nan duration", { "--type", "1", "--duration", "nan" }, "--duration wants");
    row("missing settings", { "--type", "1", "--settings", "/nonexistent/q.ini" },
        "cannot read the settings file");
    row("data onto a folder", { "--type", "1", "--data", "/tmp" },
        "^quoravi-acquire: cannot write /tmp: Permission denied\n", ZAcquireSession::FileFailed);
    // This machine has no box: the window's sentence (not for a scan), then why.
    const QString why = "(No FTDI USB device was found|USB could not be started)[^\n]+\n\\z";
    row("no box", { "--type", "UX-103", "--stop", "timeout" },
        "\\APlease make sure the device is connected and matched with the device type, then "
        "try again.\n"
            + why,
        ZAcquireSession::DeviceFailed);
    row("scan needs no type", { "--scan" }, "\\A" + why, ZAcquireSession::DeviceFailed);
    row("help", { "--help" }, "^Usage: quoravi-acquire --type TYPE", ZAcquireSession::Success);
    row("types", { "--list-types" }, "\\A(( \\d|10)  UX-10\\d  [^\n]+ outputs\n){10}\\z",
        ZAcquireSession::Success);
    // Before a run that asks more than the serial line carries, what it needs and gets.
    row("line too slow",
        { "--type", "UX-109", "--select", "ai1,cnt1", "--rate", "ai1=1000", "--simulate", "--stop",
          "timeout", "--duration", "0.2", "-q" },
        "^quoravi-acquire: warning: the chosen inputs and rates need 27 kB/s, but the line of "
        "the UX-109 carries 11.5 kB/s; about 427 records/s can be reached\nai1: ",
        ZAcquireSession::Success);
}

void TestAcquire::statusAndWordsBeforeTheRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, pattern);
    // Help and the type list go to standard output, where a pipe takes them.
    const bool onOutput = arguments.contains("--help") || arguments.contains("--list-types");
    TerminalRun run(arguments, onOutput ? STDERR_FILENO : -1);
    QCOMPARE(run.finish(), exitCode);
    const QString output = run.output();
    QVERIFY2(matches(output, pattern), qPrintable(output));
    // A refusal is one line, then where to look.
    QCOMPARE(matches(output, "\\Aquoravi-acquire: [^\n]+\nTry 'quoravi-acquire --help'\\.\n\\z"),
             exitCode == ZAcquireSession::UsageError);
}

// Armed until the simulated digital input 1 first rises, 4 s after the box was made; a
// second Ctrl+C during the save must not lose the files. Outputs spoilt in the run (even
// root cannot write onto a folder with content, nor into one gone): status 3.
void TestAcquire::triggeredRunEndsOnCtrlC()
{
    enum Spoiler { None, ProjectBecameAFolder, FolderGone };
    for (const Spoiler spoiler : { None, ProjectBecameAFolder, FolderGone }) {
        QTemporaryDir dir;
        const QString project = dir.filePath("run.xml");
        const QString data = dir.filePath("run.txt");
        const QDeadlineTimer rise(4000);
        TerminalRun run({ "--type", "UX-109", "--simulate", "--select", "ai1,ai3,di1,cnt2",
                          "--rate", "ai1=100", "--rate=ai3=20", "--range", "ai1=10", "--start",
                          "rising", "--project", project, "--data", data });
        // Two hundred samples or more to save; a falling edge would have come at 2 s.
        QVERIFY2(run.waitFor("sampling +\\S+ s +[2-9]\\d{2,} samples"), qPrintable(run.output()));
        QVERIFY(rise.hasExpired());
        QVERIFY(spoiler != FolderGone || dir.remove());
        QVERIFY(spoiler != ProjectBecameAFolder || QDir().mkpath(project + "/inner"));
        run.signal(SIGINT);
        QVERIFY2(run.waitFor("^cnt2: \\d+ samples?, "), qPrintable(run.output()));
        QCOMPARE(run.finish(SIGINT), spoiler == None ? 0 : int(ZAcquireSession::FileFailed));
        const QString output = run.output();
        // The summary, and no warning for this light load.
        QVERIFY2(matches(output, "^ai1: \\d+ samples, \\S+ s to \\S+ s\nai3: .+\ndi1: .+\ncnt2: ")
                     && !output.contains("warning"),
                 qPrintable(output));
        QCOMPARE(output.contains("project written to " + project), spoiler == None);
        QCOMPARE(output.contains("Can't Save Project to"), spoiler != None);
        QCOMPARE(output.contains("data written to " + data), spoiler != FolderGone);
        QCOMPARE(output.contains("Can't Save Data to"), spoiler == FolderGone);
        QCOMPARE(exportBlocks(data),
                 (spoiler == FolderGone ? QStringList()
                                        : QStringList { "analogChannel\t1", "analogChannel\t3",
                                                        "digitChannel\t1", "edgeCounter\t2" }));
        const QVector<std::size_t> samples = projectSamples(project);
        QCOMPARE(samples.size(), spoiler == None ? 2 : 0);
        // Five times as many at 100/s as at 20/s.
        QVERIFY(samples.isEmpty() || qAbs(double(samples[0]) / samples[1] - 5.0) < 1.0);
    }
}

// Pulled out in the run: the files hold the samples up to then; standard error says when.
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
    // Standard error alone, into a file.
    QTemporaryFile errors;
    QVERIFY(errors.open());
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(errors.handle(), STDERR_FILENO);
    const int exitCode = ZAcquireSession(options).exec();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QVERIFY(errors.seek(0));
    const QString printed = QString::fromLocal8Bit(errors.readAll());
    QCOMPARE(exitCode, int(ZAcquireSession::DeviceFailed));
    QVERIFY2(matches(printed,
                     "\\AThe box stopped answering at \\d+(\\.\\d)? s; the samples up to "
                     "then are kept\\.\n\\z"),
             qPrintable(printed));
    QCOMPARE(exportBlocks(data), QStringList { "analogChannel\t1" });
    QVERIFY(projectSamples(project).value(0) > 0);
}

// The waker in a child: a stop request, a patience line, then the third signal ends it.
void TestAcquire::thirdSignalEndsAtOnce()
{
#if defined(__SANITIZE_THREAD__)
    QSKIP("ThreadSanitizer defers signal handlers to its own safe points, past the exit");
#endif
    TerminalRun child({}, -1, [] {
        ZSignalWaker waker;
        ::raise(SIGINT);
        ::raise(SIGTERM);
        ::raise(SIGINT);
        return waker.isValid() ? 0 : 2;
    });
    QCOMPARE(child.finish(), ZSignalWaker::AbortExitStatus);
    QCOMPARE(child.output(), QStringLiteral("saving, please wait\n"));
}

// The FTDI devices, details where this user may open them, and whether one opens; with a
// type, the first one's handshake at the type's speed and its calibrations.
void TestAcquire::scanListsDevicesAndTriesTheType()
{
    QCOMPARE(scanned({}, 0), linkFailureReason(ZLinkFailure::NoDevice, 0) + "\nfailed");
    Device denied { std::make_shared<ZSimulatedBox>(1), 1, 7 };
    denied.refusal = OpenRefusal::AccessDenied;
    const QString deniedLine = ": bus 1, address 7, 0403:6001: cannot be opened. "
        + linkFailureReason(ZLinkFailure::NoPermission, 0) + "\n";
    QCOMPARE(scanned({ denied }, 0), "1 FTDI device found:\n  1" + deniedLine + "failed");

    // A UX-102 deaf to any baud rate but its own 19200.
    Device ux102 { std::make_shared<ZSimulatedBox>(3) };
    ZSimulatedBox::Faults faults;
    faults.needsBaudRate = true;
    ux102.box->setFaults(faults);
    QCOMPARE(scanned({ ux102, denied }, 3),
             "2 FTDI devices found:\n  1: bus 1, address 4, 0403:6001, \"Tebor USB DAQ\", serial "
             "TB000001: can be opened\n  2"
                 + deniedLine
                 + "Device 1 answers the handshake at 19200 baud as a UX-102.\n"
                   "  ai1: gain 0.998047, offset -100 uV\n  ai2: gain 0.999023, offset -62.75 uV\n"
                   "  ai3: gain 1, offset -25.5 uV\nsucceeded");
}

QTEST_GUILESS_MAIN(TestAcquire)
#include "tst_acquirebox.moc"
