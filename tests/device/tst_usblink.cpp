#include "devicetestutil.h"
#include "tests/common/cputime.h"

#include "device/zlinkfailure.h"
#include "device/zprotocol.h"

#include <QtTest>

#include <future>

using namespace ZProtocol;
using Faults = ZSimulatedBox::Faults;
using Echo = ZSimulatedBox::EchoFault;
using Write = ZSimulatedBox::WriteFault;

// The link against the simulated box, clean and with every fault a cable and a box can show. Time
// bounds are loose: the machine is shared.
class TestUsbLink : public QObject
{
    Q_OBJECT

private slots:
    void exchanges();
    void waitsSleepAndEndAtOnce();
};

namespace {

// The faults of a sound box with one of them changed.
template<class T> Faults with(T Faults::*fault, T value)
{
    Faults faults;
    faults.*fault = value;
    return faults;
}

Faults inPieces(unsigned size, int gapMs)
{
    Faults faults = with(&Faults::pieceSize, size);
    faults.pieceGapMs = gapMs;
    return faults;
}

const Faults silent = with(&Faults::silent, true);
const QByteArray rateEcho = "aa0000041b000140"; // of rateFrame(320)

int opcodeOf(const ZByteArray &frame)
{
    return frame.isComplete() ? frame[2] : -1;
}

// "synced" or "calibrated" (to the box's values) for a probe or a calibration request, the answer
// in hex for another command, "" when the call failed.
QByteArray callOf(BoxSession &session, const ZByteArray &command, int limitMs = 300)
{
    if (opcodeOf(command) == OpProbe)
        return session.link->sync(limitMs) ? "synced" : "";
    if (opcodeOf(command) == OpCalibration) {
        const Calibration box = ZSimulatedBox::calibrationOf(command[3], 1);
        double gain = 0.0;
        double offset = 0.0;
        if (!session.link->readCalibration(command[3], 1, &gain, &offset, limitMs))
            return "";
        return gain == box.gain && offset == box.offset ? "calibrated" : "other values";
    }
    ZByteArray answer(1);
    return session.link->transact(command, &answer, 3000) ? hexOf(answer) : "";
}

} // namespace

// One call of the link on a box with one fault, chosen by its frame: a probe syncs, a calibration
// request reads a calibration, anything else is a plain transaction. After a sync the link is in
// step: the next answer is the next command's, and a calibration is read past a late echo. A late
// answer for another channel is neither taken for the channel asked for nor handed out again once
// turned down.
void TestUsbLink::exchanges()
{
    const ZByteArray probe = probeFrame();
    const ZByteArray rate = rateFrame(320);
    const auto calibration = [](int channel) {
        return calibrationRequestFrame(channel, 1);
    };
    ZByteArray partial(3);
    partial.append(0xAA);
    const char *stale = "aa00000af0000101800000fffe80"; // channel 0's calibration
    const struct
    {
        const char *name;
        Faults faults;
        ZByteArray command;
        QByteArray result; // "synced", "calibrated" (to the box's values), an answer; "": failed
        const char *waiting = ""; // already in the bridge
    } rows[] = {
        { "clean", Faults(), probe, "synced" },
        { "noise before 0xAA", with(&Faults::noise, hexBytes("0055fe7f")), probe, "synced" },
        { "LEN 0 first", with(&Faults::noise, hexBytes("aa000000")), probe, "synced" },
        { "LEN 1025 first", with(&Faults::noise, hexBytes("aa000401")), probe, "synced" },
        { "single bytes", inPieces(1, 3), probe, "synced" },
        { "two pieces", inPieces(3, 20), probe, "synced" },
        { "late within the probe window", with(&Faults::answerDelayMs, 60), probe, "synced" },
        { "later than the probe window", with(&Faults::answerDelayMs, 150), probe, "synced" },
        { "needs the baud rate", with(&Faults::needsBaudRate, true), probe, "synced" },
        // A stale echo of 0x03 (a run's final word, answered late) is not the first probe's.
        { "a stale echo and junk waiting", Faults(), probe, "synced", "aa0000010300000403" },
        { "probe echo with another opcode", with(&Faults::echo, Echo::WrongOpcode), probe, "" },
        { "probe echo one byte long", with(&Faults::echo, Echo::ExtraByte), probe, "" },
        { "silent", silent, probe, "" },
        { "writes fail", with(&Faults::write, Write::Fail), probe, "" },
        { "echo with another argument", with(&Faults::echo, Echo::WrongLastByte), rate,
          "aa0000041b000141" },
        { "echo with another opcode", with(&Faults::echo, Echo::WrongOpcode), rate,
          "aa0000041a000140" },
        { "a long gap", inPieces(5, 40), rate, rateEcho },
        { "oversized header first", with(&Faults::noise, hexBytes("aa7fffff")), rate, rateEcho },
        { "late answer", with(&Faults::answerDelayMs, 200), rate, rateEcho },
        { "samples in pieces", inPieces(2, 1), sampleRequestFrame(), "aa000003204001" },
        { "failed write", with(&Faults::write, Write::Fail), rate, "" },
        { "short write", with(&Faults::write, Write::Short), rate, "" },
        { "incomplete command", Faults(), partial, "" }, // never sent
        { "channel 0", Faults(), calibration(0), "calibrated" },
        { "channel 3 in pieces", inPieces(4, 5), calibration(3), "calibrated" },
        { "after noise", with(&Faults::noise, hexBytes("f0f0")), calibration(1), "calibrated" },
        { "for another channel", with(&Faults::calibrationChannelShift, 1), calibration(2), "" },
        { "echo fault only", with(&Faults::echo, Echo::ExtraByte), calibration(2), "calibrated" },
        { "no such channel", Faults(), calibration(4), "" },
        { "stale, then the right one", Faults(), calibration(1), "calibrated", stale },
        { "stale, the right one later", with(&Faults::answerDelayMs, 40), calibration(1),
          "calibrated", stale },
        { "stale alone", silent, calibration(1), "", stale },
    };
    for (const auto &row : rows) {
        BoxSession session(8, row.faults);
        session.box->inject(hexBytes(row.waiting));
        const ZStopwatch watch;
        const QByteArray result = callOf(session, row.command);
        QVERIFY2(result == row.result, qPrintable(row.name + (": " + result)));
        const QList<QByteArray> log = session.box->commandLog();
        if (opcodeOf(row.command) == OpProbe && result.isEmpty()) {
            QVERIFY2(session.link->failure() == ZLinkFailure::NoAnswer, row.name);
            // A refused echo does not stop the box: it is the link that said no.
            QVERIFY2(log.size() >= 2 || row.faults.silent || row.faults.write != Write::None,
                     row.name);
        } else if (opcodeOf(row.command) == OpProbe) {
            // The baud rate is set only for a box that does not hear the default.
            QVERIFY2(session.box->hostBaudRate() == (row.faults.needsBaudRate ? 115200u : 0u),
                     row.name);
            // An echo within the window takes one probe.
            if (row.faults.answerDelayMs < ZUsbLink::ProbeWindowMs) {
                QVERIFY2(log == QList<QByteArray> { bytesOf(probe) }, row.name);
                QVERIFY2(callOf(session, rate) == rateEcho, row.name);
            }
            QVERIFY2(callOf(session, calibration(1), 1000) == "calibrated", row.name);
        } else if (opcodeOf(row.command) != OpCalibration) {
            // Answered, the command went once; failed, nothing whole reached the box.
            const QList<QByteArray> sent { bytesOf(row.command) };
            QVERIFY2(log == (result.isEmpty() ? QList<QByteArray>() : sent), row.name);
            QVERIFY2(!result.isEmpty() || watch.elapsedMs() < 1000, row.name);
        }
    }
}

// A wait sleeps, whether a silent box's limit ends it, a stop request or a pulled cable; the last
// two end even a wait without a limit at once, and an interrupt holds until cleared. A link that
// could not open refuses every call.
void TestUsbLink::waitsSleepAndEndAtOnce()
{
    enum End { Limit, Interrupt, Unplug };
    for (End end : { Limit, Interrupt, Unplug }) {
        BoxSession session(8, silent);
        std::atomic<long> tid { 0 };
        const ZStopwatch watch;
        auto wait = std::async(std::launch::async, [&] {
            tid = threadId();
            const CpuWatch cpu(CpuWatch::ThisThread);
            const bool answered = end == Limit
                ? session.link->sync(500)
                : session.link->transact(digitInLevelFrame(), nullptr, 0);
            return answered || !cpu.isBelow(0.2) ? "answered or busy: " + cpu.report() : QString();
        });
        // A busy wait is never seen asleep, however little CPU a loaded machine gives it.
        const bool slept = QTest::qWaitFor([&] { return isAsleep(tid); }, 5000);
        if (end == Interrupt)
            session.link->interrupt();
        else if (end == Unplug)
            session.box->unplug();
        QVERIFY(wait.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
        const QString failure = wait.get();
        QVERIFY2(slept && failure.isEmpty(), qPrintable(failure));
        if (end == Limit) {
            // Two variants of 500 ms each, probing about once per window.
            QVERIFY2(watch.elapsedMs() >= 950, qPrintable(QString::number(watch.elapsedMs())));
            const int probes = session.box->commandLog().size();
            QVERIFY2(probes >= 6 && probes <= 20, qPrintable(QString::number(probes)));
            const ZStopwatch transact;
            QVERIFY(!session.link->transact(probeFrame(), nullptr, 200));
            QVERIFY(transact.elapsedMs() >= 190 && transact.elapsedMs() < 2000);
        } else {
            const ZStopwatch again;
            QVERIFY(!session.link->sync(1000));
            QVERIFY(again.elapsedMs() < 500);
        }
        if (end == Interrupt) {
            session.link->clearInterrupt();
            session.box->setFaults(Faults());
            QVERIFY(session.link->sync(1000));
        }
        QVERIFY(end != Unplug || session.link->failure() == ZLinkFailure::NoDevice);
        // No open is even tried beyond the device count (none once unplugged), and a link left
        // without a device refuses every call.
        QVERIFY(!session.link->open(end == Limit ? -1 : end == Interrupt ? 1 : 0));
        QCOMPARE(session.box->openCount(), 1);
        QVERIFY(!session.link->handle() && !session.link->write(probeFrame()));
        QVERIFY(!session.link->sync(100) && !session.link->transact(probeFrame(), nullptr, 100));
    }
}

QTEST_GUILESS_MAIN(TestUsbLink)
#include "tst_usblink.moc"
