#include "tools/acquire/zsignalwaker.h"

#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zusbbridge.h"
#include "persist/zprojectcommands.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Tool = QStringLiteral(QUORAVI_ACQUIRE_PATH);
constexpr int RunTimeoutMs = 60000;

// quoravi-acquire on a pseudo-terminal, as at a user's terminal: the progress line shows,
// and the output can be read while it comes.
class TerminalRun
{
public:
    explicit TerminalRun(const QStringList &arguments)
    {
        // Everything the child needs is made before the fork.
        std::vector<QByteArray> texts { Tool.toLocal8Bit() };
        for (const QString &argument : arguments)
            texts.push_back(argument.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &text : texts)
            argv.push_back(text.data());
        argv.push_back(nullptr);
        m_pid = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
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
        if (m_master >= 0)
            ::close(m_master);
    }
    TerminalRun(const TerminalRun &) = delete;
    TerminalRun &operator=(const TerminalRun &) = delete;

    bool started() const { return m_pid > 0; }
    void signal(int number) const { ::kill(m_pid, number); }
    QString output() const { return QString::fromLocal8Bit(m_output); }

    // Reads until the output matches `pattern` or, when given, `alsoWatched` becomes
    // readable; false at the end of the output or of the time.
    bool waitFor(const QString &pattern, int alsoWatched = -1)
    {
        const QRegularExpression expression(pattern);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < RunTimeoutMs) {
            if (expression.match(output()).hasMatch())
                return true;
            pollfd watched { alsoWatched, POLLIN, 0 };
            if (alsoWatched >= 0 && ::poll(&watched, 1, 0) == 1)
                return true;
            if (!readSome(100, alsoWatched))
                return false;
        }
        return false;
    }

    // Reads to the end and waits for the tool: its exit status, or minus the signal that
    // ended it.
    int finish()
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < RunTimeoutMs && readSome(100)) { }
        int status = 0;
        if (::waitpid(m_pid, &status, 0) != m_pid)
            return NotFinished;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return m_status;
    }

private:
    static constexpr int NotFinished = -1000;

    // Waits for output (or for `alsoWatched`) and reads what came; false once the
    // terminal is closed on the tool's side.
    bool readSome(int timeoutMs, int alsoWatched = -1)
    {
        pollfd descriptors[2] = { { m_master, POLLIN, 0 }, { alsoWatched, POLLIN, 0 } };
        if (::poll(descriptors, alsoWatched >= 0 ? 2 : 1, timeoutMs) <= 0
            || !(descriptors[0].revents & (POLLIN | POLLHUP | POLLERR)))
            return true;
        char bytes[4096];
        const ssize_t n = ::read(m_master, bytes, sizeof bytes);
        if (n <= 0)
            return false;
        m_output.append(bytes, int(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_master = -1;
    int m_status = NotFinished;
    QByteArray m_output;
};

const QString Sampling = QStringLiteral("sampling +\\d");
const QString SummaryLine = QStringLiteral("ai2: \\d+ samples, ");

std::size_t projectSamples(const QString &project)
{
    ZAppObservable app([](int) { return std::unique_ptr<ZUsbBridge>(); });
    if (!ZProjectCommands(app).openProject(project).succeeded || app.boxes().empty()
        || app.boxes().front()->analogIns().empty())
        return 0;
    return app.boxes().front()->analogIns().front()->sampleCount();
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestAcquireEnding : public QObject
{
    Q_OBJECT

private slots:
    void secondSignalWhileSaving();
    void thirdSignalAbortsWithoutReplacing();
    void unwritableAfterTheRun_data();
    void unwritableAfterTheRun();
    void refusedCommandLine();
};

// Ctrl+C stops the run; another one once the save has begun (the summary is on the
// terminal, or a file has appeared, whichever comes first) must not lose it.
void TestAcquireEnding::secondSignalWhileSaving()
{
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("run.xml"));
    const QString data = dir.filePath(QStringLiteral("run.txt"));
    TerminalRun run({ "--type", "UX-100", "--simulate", "--select", "ai2", "--rate", "ai2=200",
                      "--project", project, "--data", data });
    const int folderEvents = ::inotify_init1(IN_CLOEXEC);
    QVERIFY(folderEvents >= 0);
    const auto closeEvents = qScopeGuard([folderEvents] { ::close(folderEvents); });
    QVERIFY(::inotify_add_watch(folderEvents, QFile::encodeName(dir.path()).constData(),
                                IN_CREATE | IN_MOVED_TO)
            >= 0);
    QVERIFY(run.started());
    // A hundred samples or more to save.
    QVERIFY2(run.waitFor(QStringLiteral("sampling +\\S+ s +[1-9]\\d{2,} samples")),
             qPrintable(run.output()));
    run.signal(SIGINT);
    QVERIFY2(run.waitFor(SummaryLine, folderEvents), qPrintable(run.output()));
    run.signal(SIGINT);

    QCOMPARE(run.finish(), 0);
    QVERIFY2(run.output().contains("project written to " + project), qPrintable(run.output()));
    QVERIFY(run.output().contains("data written to " + data));
    QVERIFY(run.output().count(QStringLiteral("saving, please wait")) <= 1);
    QVERIFY(projectSamples(project) > 20);
    QVERIFY(readAll(data).contains("analogChannel\t2"));
}

// The waker on its own, in a child process: the first signal is a stop request, the
// second only prints, and the third ends the process in the middle of a save, which
// leaves the old file as it was.
void TestAcquireEnding::thirdSignalAbortsWithoutReplacing()
{
#if defined(__SANITIZE_THREAD__)
    QSKIP("ThreadSanitizer defers signal handlers to its own safe points, past the commit");
#endif
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("old.xml"));
    QVERIFY(writeAll(target, "old content\n"));
    int errors[2];
    QCOMPARE(::pipe(errors), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(errors[1], STDERR_FILENO);
        ZSignalWaker waker;
        if (!waker.isValid())
            ::_exit(1);
        ::raise(SIGINT);
        ::raise(SIGTERM);
        QSaveFile save(target);
        if (!save.open(QIODevice::WriteOnly) || save.write("new content\n") != 12)
            ::_exit(2);
        ::raise(SIGINT);
        save.commit();
        ::_exit(0);
    }
    ::close(errors[1]);
    QFile errorText;
    QVERIFY(errorText.open(errors[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QByteArray printed = errorText.readAll();
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), ZSignalWaker::AbortExitStatus);
    QCOMPARE(printed, QByteArray("saving, please wait\n"));
    QCOMPARE(readAll(target), QByteArray("old content\n"));
}

void TestAcquireEnding::unwritableAfterTheRun_data()
{
    QTest::addColumn<bool>("folderGone");
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<bool>("dataWritten");
    // Root as well cannot write a file where a folder with content stands, nor into a
    // folder that is gone.
    QTest::newRow("the project's name became a folder")
        << false << QStringList { "Can't Save Project to" } << true;
    QTest::newRow("the folder is gone")
        << true << QStringList { "Can't Save Project to", "Can't Save Data to" } << false;
}

// Accepted before the run, the outputs cannot be written after it: exit status 3, with
// the reason, and whatever could be written is.
void TestAcquireEnding::unwritableAfterTheRun()
{
    QFETCH(bool, folderGone);
    QFETCH(QStringList, failed);
    QFETCH(bool, dataWritten);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    const QString project = folder + QStringLiteral("/run.xml");
    const QString data = folder + QStringLiteral("/run.txt");
    TerminalRun run({ "--type", "UX-100", "--simulate", "--select", "ai2", "--rate", "ai2=100",
                      "--project", project, "--data", data });
    QVERIFY(run.started());
    QVERIFY2(run.waitFor(Sampling), qPrintable(run.output()));
    if (folderGone)
        QVERIFY(QDir(folder).removeRecursively());
    else
        QVERIFY(QDir().mkpath(project + QStringLiteral("/inner")));
    run.signal(SIGINT);

    QCOMPARE(run.finish(), 3);
    for (const QString &message : failed)
        QVERIFY2(run.output().contains(message), qPrintable(run.output()));
    QCOMPARE(readAll(data).contains("analogChannel\t2"), dataWritten);
    QVERIFY(!QFileInfo(project).isFile());
}

// The entry refuses what the parser refuses, with the usage status and the hint.
void TestAcquireEnding::refusedCommandLine()
{
    TerminalRun run({ "--type", "1", "--fast" });
    QVERIFY(run.started());
    QCOMPARE(run.finish(), 2);
    QVERIFY2(run.output().contains("quoravi-acquire: unknown option '--fast'"),
             qPrintable(run.output()));
    QVERIFY(run.output().contains("Try 'quoravi-acquire --help'."));
}

QTEST_GUILESS_MAIN(TestAcquireEnding)
#include "tst_acquireending.moc"
