#include "devicetestutil.h"

#include "app/zdevicetypes.h"
#include "device/zprotocol.h"
#include "device/zusbbackend.h"

#include <QtTest>

#include <cmath>
#include <future>
#include <set>

using namespace ZProtocol;

// The emulator as the program and the tests see it through a link: what it answers, the signals it
// produces on a manual clock, what it remembers, its timing and how it is chosen.
class TestSimulatedBox : public QObject
{
    Q_OBJECT

private slots:
    void sampleRecords();
    void signalsAndOutputs();
    void unplugAfterCommands();
    void lineTiming();
    void backendChoice();
};

namespace {

const QList<int> every { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13 };

// Selects exactly the listed analog inputs and counters of the session's box.
void select(BoxSession &session, const QList<int> &analogIns, const QList<int> &counters)
{
    const ZDeviceType *type = deviceType(session.box->boxType());
    for (int channel = 0; channel < type->analogIns; ++channel) {
        const ZByteArray frame = analogInFrame(channel, 1, analogIns.contains(channel));
        QVERIFY(isEchoOf(session.ask(frame), frame));
    }
    for (int channel = 0; channel < type->edgeCnts; ++channel) {
        const ZByteArray frame = edgeCounterFrame(channel, counters.contains(channel));
        QVERIFY(isEchoOf(session.ask(frame), frame));
    }
}

// The outputs told so far ("ao1 mode/code/period", "do1 mode/status/period/duty"), input mode
// and rate.
QString outputsOf(const ZSimulatedBox &box)
{
    QStringList parts;
    for (int channel = 0; channel < 3; ++channel) {
        const ZSimulatedBox::AnalogOutState ao = box.analogOut(channel);
        const ZSimulatedBox::DigitOutState out = box.digitOut(channel);
        if (ao.told)
            parts << QString::asprintf("ao%d %d/%d/%u", channel, ao.outMode, ao.dacCode,
                                       ao.periodUs);
        if (out.told)
            parts << QString::asprintf("do%d %d/%d/%u/%d", channel, out.outMode, out.status,
                                       out.periodUs, out.dutyRatio);
    }
    return parts.join(", ") + QString::asprintf(" mode %d rate %u", box.inputMode(), box.rate());
}

} // namespace

// One record per selected analog input ("code" when it is the signal's), each digital input (a
// square wave of 4 * (i + 1) s, high first) and each selected counter (10 * (i + 1) Hz from its
// selection at 5 s); the level answer tells digital input 0.
void TestSimulatedBox::sampleRecords()
{
    const char *ux109 = "00:0=code 00:13=code 40:0=0 40:1=0 40:2=0 40:3=1 40:4=1 80:1=30";
    const struct
    {
        int type;
        QList<int> analogIns;
        QList<int> counters;
        double atMs;
        const char *records;
    } rows[] = {
        { 1, {}, {}, 5000.0, "40:0=1" },
        { 1, { 0, 1 }, {}, 6500.0, "00:0=code 00:1=code 40:0=0" },
        { 9, { 5 }, { 0 }, 5500.0, "00:5=code 40:0=1 80:0=5" },
        { 10, { 0, 13 }, { 1 }, 6500.0, ux109 },
    };
    for (const auto &row : rows) {
        BoxSession session(row.type, {}, 5000.0);
        // Selected twice, the second time as wanted: only the last counts.
        select(session, every, every);
        select(session, row.analogIns, row.counters);
        session.clock.setMs(row.atMs);
        QString expected = QString::fromLatin1(row.records);
        for (int channel : row.analogIns)
            expected.replace(QString::asprintf("00:%d=code", channel),
                             QString::asprintf("00:%d=%d", channel,
                                               session.box->analogInCode(channel, row.atMs)));
        QCOMPARE(recordsOf(session.ask(sampleRequestFrame())), expected);
        QCOMPARE(hexOf(session.ask(digitInLevelFrame())),
                 "aa00000308000" + QByteArray::number(session.box->digitInLevel(0, row.atMs)));
    }
}

// Each analog input moves on its own within 80 % of its range, and its code converts back to the
// signal with the calibration the box reports over the wire, which stays near a gain of 1. The
// outputs remember what they were last told.
void TestSimulatedBox::signalsAndOutputs()
{
    BoxSession session(10);
    QVERIFY(isEchoOf(session.ask(analogInFrame(2, 4, true)), analogInFrame(2, 4, true)));
    const int setCode = deviceType(10)->calibrationSetCode;
    std::set<std::int32_t> codes;
    for (int channel = 0; channel < 14; ++channel) {
        double gain = 0.0;
        double offset = 0.0;
        QVERIFY(session.link->readCalibration(channel, setCode, &gain, &offset, 1000));
        QVERIFY(std::abs(gain - 1.0) < 0.01 && std::abs(offset) <= 101.0);
        const double fullScale = 10.0 / session.box->analogInRange(channel);
        double low = 1e9;
        double high = -1e9;
        for (double t = 0.0; t < 20000.0; t += 50.0) {
            const double volts = session.box->analogInVolts(channel, t);
            const double back = fullScale * gain * session.box->analogInCode(channel, t) / 8388607.0
                + 1e-6 * offset;
            QVERIFY(std::abs(back - volts) < 2 * fullScale / 8388607.0);
            low = std::min(low, volts);
            high = std::max(high, volts);
        }
        QVERIFY2(high - low > 0.5 * fullScale && std::max(-low, high) <= 0.8 * fullScale + 1e-9,
                 qPrintable(QString::number(channel)));
        codes.insert(session.box->analogInCode(channel, 1234.0));
    }
    QCOMPARE(codes.size(), std::size_t(14));

    QCOMPARE(outputsOf(*session.box), QStringLiteral(" mode 0 rate 0"));
    for (const ZByteArray &frame :
         { analogOutValueFrame(0, 0x1234), analogOutWaveFrame(1, OutModeTriangle, 2500.0),
           digitOutValueFrame(2, 0), digitOutPwmFrame(1, 5000.0, 40), inputModeFrame(2),
           rateFrame(450), digitOutValueFrame(2, 1) })
        QVERIFY(isEchoOf(session.ask(frame), frame));
    QCOMPARE(
        outputsOf(*session.box),
        QStringLiteral("ao0 1/4660/0, ao1 8/0/2500, do1 2/0/5000/40, do2 1/1/0/0 mode 2 rate 450"));
}

// The box answers so many commands and pulls the plug at the next; plugged in again, the old
// handle stays dead but a new open works.
void TestSimulatedBox::unplugAfterCommands()
{
    BoxSession session(1);
    session.box->unplugAfterCommands(2);
    for (int command = 0; command < 3; ++command)
        QCOMPARE(session.ask(sampleRequestFrame(), 500).isComplete(), command < 2);
    QCOMPARE(session.box->commandLog().size(), 2);
    unsigned count = 9;
    QVERIFY(session.bridge->deviceCount(&count) == UsbOk && count == 0);
    session.box->replug();
    unsigned written = 0;
    QVERIFY(session.link->handle()->write(probeFrame().data(), 3, &written) != UsbOk);
    QVERIFY(session.link->open(0) && session.link->sync(500));
}

// Commands written at once, each in two pieces, from a thread other than the one that opened the
// handle (the communication thread's way) are all answered. By default an answer is
// readable only once the commands and the answers would have crossed the serial line (10 bits a
// byte at the type's speed) plus the turnaround, and answers queue on the line; switched off,
// answers are there at once. The command log, read meanwhile, holds each command once.
void TestSimulatedBox::lineTiming()
{
    const struct
    {
        int type;
        ZByteArray command;
        int burst;
        unsigned answerBytes;
        bool timed;
    } rows[] = {
        { 10, sampleRequestFrame(), 10, 81, true }, // UX-109 full records, 115200 baud
        { 3, probeFrame(), 1, 5, true }, // UX-102 echo at 19200 baud
        { 10, sampleRequestFrame(), 10, 81, false },
    };
    constexpr int Rounds = 5;
    for (const auto &row : rows) {
        BoxSession session(row.type);
        select(session, every, every);
        session.box->setLineTiming(row.timed);
        session.box->clearCommandLog();
        const QByteArray command = bytesOf(row.command);
        const unsigned expected = row.burst * row.answerBytes;
        const double lineMs = 1000.0 * ZSimulatedBox::BitsPerByte / baudRateOf(row.type)
                * (command.size() + expected)
            + ZSimulatedBox::TurnaroundMs;
        // The quickest of a few rounds, or -1 for a fault: one late wake-up on a loaded machine
        // hides no early answer.
        auto rounds = std::async(std::launch::async, [&, device = session.link->handle()] {
            const auto *bytes = reinterpret_cast<const unsigned char *>(command.constData());
            double quickestMs = 1e9;
            for (int round = 0; round < Rounds; ++round) {
                const ZStopwatch watch;
                unsigned count = 0;
                for (int i = 0; i < row.burst; ++i) {
                    device->write(bytes, 2, &count);
                    device->write(bytes + 2, unsigned(command.size()) - 2, &count);
                }
                if (!row.timed && (device->queueStatus(&count) != UsbOk || count != expected))
                    return -1.0;
                unsigned received = 0;
                while (received < expected) {
                    unsigned char buffer[1024];
                    if (device->waitForBytes(2000, &count) != UsbOk || count == 0
                        || device->read(buffer, sizeof buffer, &count) != UsbOk)
                        return -1.0;
                    received += count;
                }
                if (received != expected)
                    return -1.0;
                quickestMs = std::min(quickestMs, watch.elapsedMs());
            }
            return quickestMs;
        });
        while (rounds.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QVERIFY(session.box->commandLog().size() <= Rounds * row.burst); // read meanwhile
        const double quickestMs = rounds.get();
        QVERIFY2(quickestMs >= 0.0 && (!row.timed || quickestMs >= lineMs - 0.1),
                 qPrintable(QStringLiteral("%1 ms for %2 ms of line").arg(quickestMs).arg(lineMs)));
        const QList<QByteArray> log = session.box->commandLog();
        QVERIFY(log.size() == Rounds * row.burst && log.count(command) == log.size());
    }
}

// "--simulate" after the program's name chooses the simulation, which gives a box of the asked
// type; a box set by a test takes the place of either.
void TestSimulatedBox::backendChoice()
{
    const struct
    {
        QStringList arguments;
        bool simulate;
    } rows[] = {
        { { "quoravi" }, false },
        { { "quoravi", "--simulate" }, true },
        { { "quoravi", "-x", "--simulate", "y" }, true },
        { { "--simulate" }, false }, // the program named so
        { { "quoravi", "-simulate" }, false },
        { { "quoravi", "--simulate=1" }, false },
    };
    for (const auto &row : rows)
        QVERIFY2(simulateRequested(row.arguments) == row.simulate,
                 qPrintable(row.arguments.join(' ')));

    ZUsbLink simulated(createUsbBridge(true, 3), 0, baudRateOf(3));
    QVERIFY(simulated.sync(1000));
    QVERIFY(simulated.transact(calibrationRequestFrame(2, 1), nullptr, 1000));
    QVERIFY(!simulated.transact(calibrationRequestFrame(3, 1), nullptr, 100));

    auto box = std::make_shared<ZSimulatedBox>(1);
    {
        const ZUsbBridgeOverride override(box);
        for (bool simulate : { false, true })
            QVERIFY(ZUsbLink(createUsbBridge(simulate, 10), 0, 115200).sync(1000));
    }
    QCOMPARE(box->commandLog().size(), 2);
    QCOMPARE(box->openCount(), 2);
}

QTEST_GUILESS_MAIN(TestSimulatedBox)
#include "tst_simulatedbox.moc"
