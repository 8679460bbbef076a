#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "persist/zprojectcommands.h"
#include "tools/acquire/zacquireoptions.h"
#include "tools/acquire/zacquiresession.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

const QString DeviceSentence = QStringLiteral(
    "Please make sure the device is connected and matched with the device type, then try again.");

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Points a standard stream (1 or 2) at a file while it lives.
class Capture
{
public:
    Capture(int fd, const QString &path)
        : m_fd(fd)
        , m_saved(::dup(fd))
    {
        std::fflush(nullptr);
        std::FILE *file = std::fopen(qPrintable(path), "w");
        ::dup2(::fileno(file), fd);
        std::fclose(file);
    }
    ~Capture()
    {
        std::fflush(nullptr);
        ::dup2(m_saved, m_fd);
        ::close(m_saved);
    }

private:
    int m_fd;
    int m_saved;
};

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

// One whole session of the tool in this process, with what it printed; a command line
// the parser refuses ends as the program ends it, with the usage status.
Outcome runSession(const QStringList &arguments)
{
    ZAcquireOptions options;
    QString error;
    if (!options.parse(QStringList { QStringLiteral("quoravi-acquire") } + arguments, &error))
        return { ZAcquireSession::UsageError, QString(),
                 "quoravi-acquire: " + error + "\nTry 'quoravi-acquire --help'.\n" };
    QTemporaryDir dir;
    const QString outPath = dir.filePath(QStringLiteral("out"));
    const QString errPath = dir.filePath(QStringLiteral("err"));
    Outcome outcome;
    {
        const Capture out(STDOUT_FILENO, outPath);
        const Capture err(STDERR_FILENO, errPath);
        ZAcquireSession session(options);
        outcome.exitCode = session.exec();
    }
    outcome.out = readText(outPath);
    outcome.err = readText(errPath);
    return outcome;
}

// The lines of a text export that start a block, e.g. "analogChannel\t1".
QStringList exportBlocks(const QString &path)
{
    static const QRegularExpression header(
        QStringLiteral("^(analogChannel|digitChannel|edgeCounter)\t\\d+$"),
        QRegularExpression::MultilineOption);
    QStringList blocks;
    for (auto it = header.globalMatch(readText(path)); it.hasNext();)
        blocks << it.next().captured(0);
    return blocks;
}

QStringList everyInputOfAUx109()
{
    QStringList inputs;
    for (int i = 1; i <= 14; ++i)
        inputs << QStringLiteral("ai%1").arg(i);
    for (int i = 1; i <= 5; ++i)
        inputs << QStringLiteral("di%1").arg(i);
    return inputs << QStringLiteral("cnt1") << QStringLiteral("cnt2");
}

} // namespace

// The tool's sessions in this process: what it refuses and with which status, a run read
// back from its files, the serial line's capacity, and a box that goes away.
class TestAcquireBox : public QObject
{
    Q_OBJECT

private slots:
    void refusedBeforeTheRun_data();
    void refusedBeforeTheRun();
    void triggeredTimeOutRunReadsBack();
    void warnsWhenTheLineCannotCarryTheRates_data();
    void warnsWhenTheLineCannotCarryTheRates();
    void lostBoxStillWritesTheFiles();
};

void TestAcquireBox::refusedBeforeTheRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const auto usage = [](const char *name, const QStringList &arguments, const char *message) {
        QTest::newRow(name) << arguments << int(ZAcquireSession::UsageError) << message;
    };
    // No --simulate: a bad value must be refused before any device is looked for.
    usage("no type", { "--simulate" }, "--type is required");
    usage("unknown type", { "--type", "UX-999" }, "unknown box type");
    usage("type 11", { "--type", "11" }, "unknown box type");
    usage("bad name", { "--type", "1", "--select", "ch1" }, "not an input name");
    usage("no such input", { "--type", "1", "--select", "ai3" }, "has no input ai3");
    usage("no counter", { "--type", "UX-100", "--rate", "cnt1=5" }, "has no input cnt1");
    usage("rate text", { "--type", "1", "--rate", "ai1=fast" }, "--rate wants");
    usage("rate zero", { "--type", "1", "--rate", "ai1=0" }, "--rate wants");
    usage("range volts", { "--type", "1", "--range", "ai1=3" }, "--range wants");
    usage("range digital", { "--type", "1", "--range", "di1=10" }, "--range wants");
    usage("range unsupported", { "--type", "UX-101", "--range", "ai1=10" }, "not offer 10 V");
    usage("start timeout", { "--type", "1", "--start", "timeout" }, "--start wants");
    usage("stop other", { "--type", "1", "--stop", "later" }, "--stop wants");
    usage("negative duration", { "--type", "1", "--duration", "-2" }, "--duration wants");
    usage("nan duration", { "--type", "1", "--duration", "nan" }, "--duration wants");
    usage("missing settings", { "--type", "1", "--settings", "/nonexistent/q.ini" },
          "cannot read the settings file");

    const QStringList shortRun { "--type",  "1",          "--simulate", "--stop",
                                 "timeout", "--duration", "0.2" };
    QTest::newRow("project in a missing folder")
        << shortRun + QStringList { "--project", "/nonexistent/folder/p.xml" }
        << int(ZAcquireSession::FileFailed) << "cannot write /nonexistent/folder/p.xml";
    QTest::newRow("data onto a folder") << shortRun + QStringList { "--data", "/tmp" }
                                        << int(ZAcquireSession::FileFailed) << "cannot write /tmp";
    // This machine has no box: the sentence, then why on a line of its own.
    QTest::newRow("no box") << QStringList { "--type", "UX-103", "--stop", "timeout" }
                            << int(ZAcquireSession::DeviceFailed) << DeviceSentence + "\n";
    QTest::newRow("scan, no box") << QStringList { "--scan", "--type", "UX-103" }
                                  << int(ZAcquireSession::DeviceFailed) << "USB";
    QTest::newRow("help") << QStringList { "--help" } << 0 << "Usage: quoravi-acquire";
    QTest::newRow("types") << QStringList { "--list-types" } << 0 << "UX-109";
}

void TestAcquireBox::refusedBeforeTheRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const Outcome outcome = runSession(arguments);
    QCOMPARE(outcome.exitCode, exitCode);
    QVERIFY2((outcome.out + outcome.err).contains(message), qPrintable(outcome.err));
    if (exitCode != ZAcquireSession::DeviceFailed)
        QVERIFY(!outcome.err.contains(DeviceSentence));
    if (exitCode == ZAcquireSession::UsageError)
        QVERIFY(outcome.err.endsWith("\nTry 'quoravi-acquire --help'.\n"));
    if (exitCode == ZAcquireSession::DeviceFailed) {
        const QStringList lines = (outcome.out + outcome.err).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), arguments.contains("--scan") ? 1 : 2);
        QVERIFY2(lines.last().startsWith("No FTDI USB device was found")
                     || lines.last().startsWith("USB could not be started"),
                 qPrintable(lines.last()));
    }
    if (arguments.contains("--list-types"))
        QCOMPARE(outcome.out.count('\n'), 10);
}

// The simulated digital input 1 is high for 2 s, then low for 2 s: the first rise comes
// 4 s after the box was made, and the run lasts 1.5 s from there; each input at its rate.
void TestAcquireBox::triggeredTimeOutRunReadsBack()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("run.xml");
    const QString data = dir.filePath("run.txt");
    QElapsedTimer timer;
    timer.start();
    const Outcome outcome
        = runSession({ "--type",     "UX-109",  "--simulate", "--select", "ai1,ai3,di1,cnt2",
                       "--rate",     "ai1=100", "--rate",     "ai3=20",   "--range",
                       "ai1=10",     "--start", "rising",     "--stop",   "timeout",
                       "--duration", "1.5",     "--project",  project,    "--data",
                       data });
    QVERIFY2(outcome.exitCode == 0, qPrintable(outcome.err));
    // A falling edge would have started it at 2 s, the whole run ending near 3.5 s.
    QVERIFY2(timer.elapsed() >= 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(outcome.out.contains("project written to " + project));
    QVERIFY(outcome.out.contains(
        QRegularExpression("^ai1: \\d+ samples, ", QRegularExpression::MultilineOption)));
    QCOMPARE(exportBlocks(data),
             (QStringList { "analogChannel\t1", "analogChannel\t3", "digitChannel\t1",
                            "edgeCounter\t2" }));

    ZAppObservable app([](int) { return std::unique_ptr<ZUsbBridge>(); });
    const ZCommandOutcome opened = ZProjectCommands(app).openProject(project);
    QVERIFY2(opened.succeeded, qPrintable(opened.statusText));
    const auto *box = dynamic_cast<const ZImgyBox *>(app.boxes().front());
    QVERIFY(box);
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

void TestAcquireBox::warnsWhenTheLineCannotCarryTheRates_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("warning"); // empty: none

    QTest::newRow("UX-109, every input at 1000 SPS")
        << QStringList { "--type", "UX-109",  "--select", everyInputOfAUx109().join(','),
                         "--rate", "ai1=1000" }
        << QStringLiteral("quoravi-acquire: warning: the chosen inputs and rates need 84 kB/s, "
                          "but the line of the UX-109 carries 11.5 kB/s; about 137 records/s "
                          "can be reached\n");
    QTest::newRow("UX-102 at 19200 baud, 100 SPS")
        << QStringList { "--type", "UX-102", "--select", "ai1,ai2,ai3,di1", "--rate", "ai1=100" }
        << QStringLiteral("quoravi-acquire: warning: the chosen inputs and rates need 2.2 kB/s, "
                          "but the line of the UX-102 carries 1.9 kB/s; about 87 records/s can "
                          "be reached\n");
    QTest::newRow("UX-109, two inputs at 400 SPS")
        << QStringList { "--type", "UX-109", "--select", "ai1,ai2", "--rate", "ai1=400" }
        << QString();
}

void TestAcquireBox::warnsWhenTheLineCannotCarryTheRates()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, warning);
    const Outcome outcome = runSession(
        arguments
        + QStringList { "--simulate", "--stop", "timeout", "--duration", "0.2", "--quiet" });
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(outcome.err, warning);
}

// Pulled out during the run: the run ends there, both files hold the samples up to then,
// the tool says when it happened and exits 1.
void TestAcquireBox::lostBoxStillWritesTheFiles()
{
    auto box = std::make_shared<ZSimulatedBox>(1);
    const ZUsbBridgeOverride override(box);
    // The handshake, two calibrations and five configuration frames, then samples.
    box->unplugAfterCommands(30);
    QTemporaryDir dir;
    const QString project = dir.filePath("lost.xml");
    const QString data = dir.filePath("lost.txt");
    const Outcome outcome
        = runSession({ "--type", "UX-100", "--simulate", "--select", "ai1", "--rate", "ai1=200",
                       "--project", project, "--data", data, "--quiet" });
    QCOMPARE(outcome.exitCode, int(ZAcquireSession::DeviceFailed));
    QVERIFY2(QRegularExpression(QStringLiteral("^The box stopped answering at \\d+(\\.\\d)? s; "
                                               "the samples up to then are kept\\.\\n$"))
                 .match(outcome.err)
                 .hasMatch(),
             qPrintable(outcome.err));
    QVERIFY(outcome.out.contains(QRegularExpression(QStringLiteral("^ai1: \\d+ samples, "),
                                                    QRegularExpression::MultilineOption)));
    QVERIFY(outcome.out.contains("project written to " + project));
    QVERIFY(outcome.out.contains("data written to " + data));
    QCOMPARE(exportBlocks(data), QStringList { "analogChannel\t1" });
}

QTEST_GUILESS_MAIN(TestAcquireBox)
#include "tst_acquirebox.moc"
