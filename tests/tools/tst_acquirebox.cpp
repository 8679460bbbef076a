#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "tools/acquire/zacquireoptions.h"
#include "tools/acquire/zacquiresession.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

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

// One whole session of the tool in this process, with what it printed.
Outcome runSession(const QStringList &arguments)
{
    QTemporaryDir dir;
    const QString outPath = dir.filePath(QStringLiteral("out"));
    const QString errPath = dir.filePath(QStringLiteral("err"));
    ZAcquireOptions options;
    QString error;
    if (!options.parse(QStringList { QStringLiteral("quoravi-acquire") } + arguments, &error))
        return { -1, QString(), error };
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

QStringList everyInputOfAUx109()
{
    QStringList inputs;
    for (int i = 1; i <= 14; ++i)
        inputs << QStringLiteral("ai%1").arg(i);
    for (int i = 1; i <= 5; ++i)
        inputs << QStringLiteral("di%1").arg(i);
    inputs << QStringLiteral("cnt1") << QStringLiteral("cnt2");
    return inputs;
}

} // namespace

// The tool against what a box can do: the serial line's capacity, and a box that goes
// away during the run.
class TestAcquireBox : public QObject
{
    Q_OBJECT

private slots:
    void warnsWhenTheLineCannotCarryTheRates_data();
    void warnsWhenTheLineCannotCarryTheRates();
    void lostBoxStillWritesTheFiles();
};

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
    QVERIFY(readText(data).contains("analogChannel\t1"));
}

QTEST_GUILESS_MAIN(TestAcquireBox)
#include "tst_acquirebox.moc"
