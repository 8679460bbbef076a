#include "ui/zinstanceguard.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int WaitMs = 20000;

QString helperProgram()
{
    return QStringLiteral(QUORAVI_INSTANCE_HELPER);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStartLeavesTheFirstAlone();
    void staleLockDoesNotBlock();
};

// Two processes of the real entry: the second shows its box (closed by the armed timer)
// and exits with 0; the first keeps running, holding the lock and answering its socket.
void TestSingleInstance::secondStartLeavesTheFirstAlone()
{
    QTemporaryDir dir;
    QProcess first;
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(helperProgram(), { dir.path(), QStringLiteral("0") });
    QVERIFY(first.waitForStarted(WaitMs));
    const QString socket = QDir(dir.path()).filePath(QStringLiteral("quoravi.socket"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), WaitMs);

    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(helperProgram(), { dir.path(), QStringLiteral("200") });
    QVERIFY(second.waitForFinished(WaitMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QCOMPARE(first.state(), QProcess::Running);
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
    killed.start(helperProgram(), { dir.path(), QStringLiteral("0") });
    QVERIFY(killed.waitForStarted(WaitMs));
    const QString socket = QDir(dir.path()).filePath(QStringLiteral("quoravi.socket"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), WaitMs);
    killed.kill();
    QVERIFY(killed.waitForFinished(WaitMs));
    QVERIFY(QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("quoravi.lock"))));

    ZInstanceGuard next(dir.path());
    QVERIFY(!next.isRunning());
    QSignalSpy received(&next, &ZInstanceGuard::messageReceived);
    {
        ZInstanceGuard later(dir.path());
        QVERIFY(later.isRunning());
        QVERIFY(later.sendMessage(QStringLiteral("hello")));
    }
    ZInstanceGuard third(dir.path());
    QVERIFY(third.isRunning());
    QVERIFY(received.count() > 0 || received.wait(WaitMs));
    QCOMPARE(received.first().first().toString(), QStringLiteral("hello"));
    // The lock stays with the instance that holds it, not with the one that asked.
    QVERIFY(!next.sendMessage(QStringLiteral("to myself")));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
