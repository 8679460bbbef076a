#include "ui/zinstanceguard.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int WaitMs = 20000;

// Starts the real entry on the lock folder; `boxMs` closes its "already running" box.
bool startInstance(QProcess *process, const QTemporaryDir &dir, int boxMs)
{
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral(QUORAVI_INSTANCE_HELPER), { dir.path(), QString::number(boxMs) });
    return process->waitForStarted(WaitMs);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStartLeavesTheFirstAlone();
    void staleLockDoesNotBlock();
};

// The second start shows its box and exits with 0; the first keeps running, holding
// the lock and answering its socket.
void TestSingleInstance::secondStartLeavesTheFirstAlone()
{
    QTemporaryDir dir;
    QProcess first;
    QVERIFY(startInstance(&first, dir, 0));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath("quoravi.socket")), WaitMs);
    QProcess second;
    QVERIFY(startInstance(&second, dir, 200));
    QVERIFY(second.waitForFinished(WaitMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    ZInstanceGuard probe(dir.path());
    QVERIFY(probe.isRunning());
    QVERIFY(probe.sendMessage(QStringLiteral("still there?")));
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(WaitMs));
}

// An instance killed outright leaves its lock file and socket behind; the next start
// takes both over.
void TestSingleInstance::staleLockDoesNotBlock()
{
    QTemporaryDir dir;
    QProcess killed;
    QVERIFY(startInstance(&killed, dir, 0));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath("quoravi.socket")), WaitMs);
    killed.kill();
    QVERIFY(killed.waitForFinished(WaitMs));
    QVERIFY(QFileInfo::exists(dir.filePath("quoravi.lock")));

    ZInstanceGuard next(dir.path());
    QVERIFY(!next.isRunning());
    QSignalSpy received(&next, &ZInstanceGuard::messageReceived);
    {
        ZInstanceGuard later(dir.path());
        QVERIFY(later.isRunning());
        QVERIFY(later.sendMessage(QStringLiteral("hello")));
    }
    QVERIFY(ZInstanceGuard(dir.path()).isRunning());
    QVERIFY(received.count() > 0 || received.wait(WaitMs));
    QCOMPARE(received.first().first().toString(), QStringLiteral("hello"));
    // The lock stays with the instance that holds it, not with the one that asked.
    QVERIFY(!next.sendMessage(QStringLiteral("to myself")));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
