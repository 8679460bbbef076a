#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zusbbridge.h"
#include "persist/zprojectcommands.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString Tool = QStringLiteral(QUORAVI_ACQUIRE_PATH);
const QString DeviceSentence = QStringLiteral(
    "Please make sure the device is connected and matched with the device type, then try again.");
constexpr int RunTimeoutMs = 60000;

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runTool(const QStringList &arguments, int timeoutMs = RunTimeoutMs)
{
    QProcess process;
    process.start(Tool, arguments);
    Outcome outcome;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        outcome.err = QStringLiteral("timed out");
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
    return outcome;
}

// The lines of a text export that start a block, e.g. "analogChannel\t1".
QStringList exportBlocks(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList blocks;
    static const QRegularExpression header(
        QStringLiteral("^(analogChannel|digitChannel|edgeCounter)\t\\d+$"));
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (header.match(line).hasMatch())
            blocks << line;
    }
    return blocks;
}

// The number of samples of input `kind` `number` (1-based) of a playback box.
std::size_t samplesOf(const ZImgyBox &box, const QString &kind, int number)
{
    const auto find = [number](const auto &channels) -> std::size_t {
        for (const auto *channel : channels)
            if (channelOf(channel->id()) + 1 == number)
                return channel->sampleCount();
        return 0;
    };
    if (kind == QLatin1String("ai"))
        return find(box.analogIns());
    if (kind == QLatin1String("di"))
        return find(box.digitIns());
    return find(box.edgeCnts());
}

} // namespace

class TestAcquireTool : public QObject
{
    Q_OBJECT

private slots:
    void timeOutRunWritesBothFiles();
    void risingStartTrigger();
    void interruptStillWritesFiles();
    void usageErrors_data();
    void usageErrors();
    void unwritableOutput();
    void noBoxWithoutSimulation();
    void helpAndTypes();
};

void TestAcquireTool::timeOutRunWritesBothFiles()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("run.xml");
    const QString data = dir.filePath("run.txt");
    const Outcome outcome
        = runTool({ "--type", "UX-109", "--simulate", "--select", "ai1,ai3,di1,cnt2", "--rate",
                    "ai1=100", "--rate", "ai3=20", "--range", "ai1=10", "--stop", "timeout",
                    "--duration", "1.5", "--project", project, "--data", data });
    QVERIFY2(outcome.exitCode == 0, qPrintable(outcome.err));
    QVERIFY(outcome.out.contains("project written to " + project));
    QVERIFY(outcome.out.contains(
        QRegularExpression("^ai1: \\d+ samples, ", QRegularExpression::MultilineOption)));

    ZAppObservable app([](int) { return std::unique_ptr<ZUsbBridge>(); });
    const ZCommandOutcome opened = ZProjectCommands(app).openProject(project);
    QVERIFY2(opened.succeeded, qPrintable(opened.statusText));
    QCOMPARE(app.boxes().size(), std::size_t(1));
    const auto *box = dynamic_cast<const ZImgyBox *>(app.boxes().front());
    QVERIFY(box);
    QCOMPARE(box->boxType(), 10);
    QCOMPARE(box->analogIns().size(), std::size_t(2));
    QCOMPARE(box->digitIns().size(), std::size_t(1));
    QCOMPARE(box->edgeCnts().size(), std::size_t(1));
    const std::size_t fast = samplesOf(*box, "ai", 1);
    const std::size_t slow = samplesOf(*box, "ai", 3);
    QVERIFY2(fast >= 75 && fast <= 160, qPrintable(QString::number(fast)));
    QVERIFY2(slow >= 15 && slow <= 32, qPrintable(QString::number(slow)));
    QVERIFY(samplesOf(*box, "cnt", 2) > 0);

    QCOMPARE(exportBlocks(data),
             (QStringList { "analogChannel\t1", "analogChannel\t3", "digitChannel\t1",
                            "edgeCounter\t2" }));
}

void TestAcquireTool::risingStartTrigger()
{
    QTemporaryDir dir;
    const QString data = dir.filePath("rising.txt");
    QElapsedTimer timer;
    timer.start();
    // The simulated digital input 1 is high for 2 s, then low for 2 s: the first rise
    // comes 4 s after the box was made.
    const Outcome outcome = runTool({ "--type", "1", "--simulate", "--select", "ai1,di1", "--rate",
                                      "ai1=50", "--rate", "di1=50", "--start", "rising", "--stop",
                                      "timeout", "--duration", "0.5", "--data", data, "--quiet" });
    QVERIFY2(outcome.exitCode == 0, qPrintable(outcome.err));
    QVERIFY2(timer.elapsed() >= 3500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(exportBlocks(data), (QStringList { "analogChannel\t1", "digitChannel\t1" }));
    QVERIFY(outcome.err.isEmpty()); // quiet, and no terminal anyway
}

void TestAcquireTool::interruptStillWritesFiles()
{
    QTemporaryDir dir;
    const QString project = dir.filePath("stopped.xml");
    const QString data = dir.filePath("stopped.txt");
    QProcess process;
    process.start(Tool,
                  { "--type", "UX-100", "--simulate", "--select", "ai2", "--rate", "ai2=200",
                    "--project", project, "--data", data });
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running); // a manual stop waits for the user
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(RunTimeoutMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(exportBlocks(data), QStringList { "analogChannel\t2" });

    ZAppObservable app([](int) { return std::unique_ptr<ZUsbBridge>(); });
    QVERIFY(ZProjectCommands(app).openProject(project).succeeded);
    QVERIFY(app.boxes().front()->analogIns().front()->sampleCount() > 20);
}

void TestAcquireTool::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no type") << QStringList { "--simulate" } << "--type is required";
    QTest::newRow("unknown type") << QStringList { "--type", "UX-999" } << "unknown box type";
    QTest::newRow("type 11") << QStringList { "--type", "11" } << "unknown box type";
    QTest::newRow("unknown option") << QStringList { "--type", "1", "--fast" } << "unknown option";
    QTest::newRow("missing value") << QStringList { "--type", "1", "--rate" } << "needs a value";
    QTest::newRow("bad name") << QStringList { "--type", "1", "--select", "ch1" }
                              << "not an input name";
    QTest::newRow("no such input")
        << QStringList { "--type", "1", "--select", "ai3" } << "has no input ai3";
    QTest::newRow("no counter") << QStringList { "--type", "UX-100", "--rate", "cnt1=5" }
                                << "has no input cnt1";
    QTest::newRow("rate text") << QStringList { "--type", "1", "--rate", "ai1=fast" }
                               << "--rate wants";
    QTest::newRow("rate zero") << QStringList { "--type", "1", "--rate", "ai1=0" }
                               << "--rate wants";
    QTest::newRow("range volts") << QStringList { "--type", "1", "--range", "ai1=3" }
                                 << "--range wants";
    QTest::newRow("range digital")
        << QStringList { "--type", "1", "--range", "di1=10" } << "--range wants";
    QTest::newRow("range unsupported")
        << QStringList { "--type", "UX-101", "--range", "ai1=10" } << "does not offer 10 V";
    QTest::newRow("start timeout")
        << QStringList { "--type", "1", "--start", "timeout" } << "--start wants";
    QTest::newRow("stop other") << QStringList { "--type", "1", "--stop", "later" }
                                << "--stop wants";
    QTest::newRow("negative duration")
        << QStringList { "--type", "1", "--duration", "-2" } << "--duration wants";
    QTest::newRow("nan duration") << QStringList { "--type", "1", "--duration", "nan" }
                                  << "--duration wants";
    QTest::newRow("twice") << QStringList { "--type", "1", "--type", "2" } << "given twice";
    QTest::newRow("missing settings")
        << QStringList { "--type", "1", "--settings", "/nonexistent/q.ini" }
        << "cannot read the settings file";
}

void TestAcquireTool::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    // No --simulate: a bad value must be refused before any device is looked for.
    const Outcome outcome = runTool(arguments);
    QCOMPARE(outcome.exitCode, 2);
    QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
    QVERIFY(outcome.err.contains("--help"));
    QVERIFY(!outcome.err.contains(DeviceSentence));
}

void TestAcquireTool::unwritableOutput()
{
    QTemporaryDir dir;
    const Outcome missingFolder
        = runTool({ "--type", "1", "--simulate", "--stop", "timeout", "--duration", "0.2",
                    "--project", dir.filePath("no/such/folder/p.xml") });
    QCOMPARE(missingFolder.exitCode, 3);
    QVERIFY2(missingFolder.err.contains("cannot write"), qPrintable(missingFolder.err));

    const Outcome folderAsFile = runTool({ "--type", "1", "--simulate", "--stop", "timeout",
                                           "--duration", "0.2", "--data", dir.path() });
    QCOMPARE(folderAsFile.exitCode, 3);
}

void TestAcquireTool::noBoxWithoutSimulation()
{
    const Outcome outcome = runTool({ "--type", "UX-103", "--select", "ai1", "--stop", "timeout" });
    QCOMPARE(outcome.exitCode, 1);
    // The sentence, then why on a line of its own: this machine has no box, and maybe
    // no USB at all.
    const QStringList lines = outcome.err.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], DeviceSentence);
    QVERIFY2(lines[1].startsWith("No FTDI USB device was found")
                 || lines[1].startsWith("USB could not be started"),
             qPrintable(lines[1]));

    // --scan says so in one line, with or without a type.
    for (const QStringList &arguments :
         { QStringList { "--scan" }, QStringList { "--scan", "--type", "UX-103" } }) {
        const Outcome scan = runTool(arguments);
        QCOMPARE(scan.exitCode, 1);
        QCOMPARE(scan.out.count('\n'), 1);
        QCOMPARE(scan.out.trimmed(), lines[1]);
    }
}

void TestAcquireTool::helpAndTypes()
{
    const Outcome help = runTool({ "--help" });
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("Usage: quoravi-acquire"));
    QVERIFY(help.out.contains("  --scan "));
    QVERIFY(help.out.contains("  --rate NAME=RATE "));
    QVERIFY(help.out.contains("Ctrl+C or SIGTERM"));
    QVERIFY(help.out.contains("Exit status: 0 success"));
    for (const QString &line : help.out.split('\n'))
        QVERIFY2(line.size() <= 86, qPrintable(line));
    const Outcome types = runTool({ "--list-types" });
    QCOMPARE(types.exitCode, 0);
    QCOMPARE(types.out.count('\n'), 10);
    QVERIFY(types.out.contains("UX-109"));
}

QTEST_GUILESS_MAIN(TestAcquireTool)
#include "tst_acquiretool.moc"
