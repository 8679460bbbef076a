#include "devicetestutil.h"

#include "device/zlinecapacity.h"
#include "device/zrealbox.h"
#include "device/zrunconfig.h"

#include <QtTest>

namespace {

QStringList hexFrames(const ZRealBox &box)
{
    QStringList hex;
    for (const ZByteArray &frame : runConfiguration(box))
        hex << QString::fromLatin1(bytesOf(frame).toHex(' '));
    return hex;
}

// "aa 03 13 <channel> <range | selected>" for analog inputs first to last-1.
QStringList analogInFrames(int first, int last, const char *rangeByte)
{
    QStringList frames;
    for (int channel = first; channel < last; ++channel)
        frames << QStringLiteral("aa 03 13 %1 %2")
                      .arg(channel, 2, 16, QLatin1Char('0'))
                      .arg(rangeByte);
    return frames;
}

} // namespace

// The frames that configure a run, built from a real box's channels, and what the run
// asks of the serial line.
class TestRunConfig : public QObject
{
    Q_OBJECT

private slots:
    void frames();
    void rate();
    void lineLoad();
};

void TestRunConfig::frames()
{
    ZRealBox ux100(nullptr, 1);
    ux100.analogIns().at(0)->setSelected(true);
    ux100.analogIns().at(0)->setInterval(3.125);
    QCOMPARE(hexFrames(ux100),
             QStringList({ "aa 01 03", "aa 03 13 00 88", "aa 03 13 01 08", "aa 04 1b 00 01 40",
                           "aa 04 0a 00 01 00" }));

    // Type 9: input mode 2, eight analog inputs, one counter, one analog out, two digital.
    ZRealBox ux108(nullptr, 9);
    ux108.analogIns().at(7)->setSelected(true);
    ux108.analogIns().at(7)->setInterval(2.2222222222222223);
    QVERIFY(ux108.analogIns().at(7)->setRange(4));
    ux108.edgeCnts().at(0)->setSelected(true);
    QVERIFY(ux108.analogOuts().at(0)->setVoltage(4.0)); // the type's maximum: code 65535
    QCOMPARE(
        hexFrames(ux108),
        QStringList({ "aa 01 03", "aa 02 0b 02" }) + analogInFrames(0, 7, "08")
            + QStringList({ "aa 03 13 07 84", "aa 04 1b 00 01 c2", "aa 03 23 00 01",
                            "aa 05 02 00 01 ff ff", "aa 04 0a 00 01 00", "aa 04 0a 01 01 00" }));

    // Type 10: no input-mode command, every output mode.
    ZRealBox ux109(nullptr, 10);
    const std::vector<ZAnalogOut *> &analogOuts = ux109.analogOuts();
    QVERIFY(analogOuts.at(0)->setVoltage(1.25)); // of 2.5 V: code 32767
    QVERIFY(analogOuts.at(1)->setOutMode(OutSine));
    QVERIFY(analogOuts.at(1)->setInterval(2000.75));
    QVERIFY(analogOuts.at(2)->setOutMode(OutTriangle));
    QVERIFY(analogOuts.at(2)->setInterval(16777215.0));
    QVERIFY(analogOuts.at(3)->setOutMode(OutSawtooth));
    const std::vector<ZDigitOut *> &digitOuts = ux109.digitOuts();
    QVERIFY(digitOuts.at(0)->setStatus(true));
    QVERIFY(digitOuts.at(1)->setOutMode(OutPwm));
    QVERIFY(digitOuts.at(1)->setInterval(20000.0));
    QVERIFY(digitOuts.at(1)->setDutyRatio(30));
    QVERIFY(digitOuts.at(2)->setOutMode(OutPwm)); // limits B: period 4081.63 us
    QCOMPARE(hexFrames(ux109),
             QStringList({ "aa 01 03" }) + analogInFrames(0, 14, "01")
                 + QStringList({ "aa 04 1b 00 00 01", "aa 03 23 00 00", "aa 03 23 01 00",
                                 "aa 05 02 00 01 7f ff", "aa 06 02 01 04 00 07 d0",
                                 "aa 06 02 02 08 ff ff ff", "aa 06 02 03 10 0f 42 40",
                                 "aa 04 0a 00 01 01", "aa 07 0a 01 02 00 4e 20 1e",
                                 "aa 07 0a 02 02 00 0f f1 32" }));
}

// The fastest selected analog input sets the rate, in the frame as in runRate().
void TestRunConfig::rate()
{
    const struct
    {
        QList<double> intervals; // one per analog input of type 4; 0: not selected
        unsigned rate;
    } rows[] = { { { 0, 0, 0, 0 }, 1u },
                 { { 0, 0, 10.0, 0 }, 100u },
                 { { 100.0, 3.125, 0, 50.0 }, 320u },
                 { { 0, 500.0, 0, 0 }, 2u },
                 { { 1000000.0, 0, 0, 0 }, 0u } };
    for (const auto &row : rows) {
        ZRealBox box(nullptr, 4);
        for (int i = 0; i < row.intervals.size(); ++i) {
            ZAnalogIn *channel = box.analogIns().at(std::size_t(i));
            channel->setInterval(row.intervals.at(i) > 0 ? row.intervals.at(i) : 3.125);
            channel->setSelected(row.intervals.at(i) > 0);
        }
        QCOMPARE(runRate(box), row.rate);
        const ZByteArray rateFrame = runConfiguration(box).at(1 + 4);
        QCOMPARE(unsigned((rateFrame[3] << 16) | (rateFrame[4] << 8) | rateFrame[5]), row.rate);
    }
}

// A request and its answer per record, at the pace of the fastest selected input,
// against baud rate / 10 bytes per second.
void TestRunConfig::lineLoad()
{
    const auto describe = [](const ZLineLoad &load) {
        return QStringLiteral("%1 B/s, %2/s, %3 B, %4 B/s, %5/s%6")
            .arg(load.capacityBytesPerSecond)
            .arg(load.requestsPerSecond)
            .arg(load.bytesPerRecord)
            .arg(load.demandBytesPerSecond)
            .arg(load.reachableRecordsPerSecond, 0, 'f', 2)
            .arg(load.isOverCapacity() ? ", over capacity" : "");
    };
    const struct
    {
        int type;
        bool everyInputAtItsFastest; // otherwise at 50 ms and not selected
        double analogIn1Ms; // then selected at this interval; 0: not
        ZLineLoad expected;
    } rows[] = {
        // 3 + 4 + 1 + 14 * 4 + 5 * 2 + 2 * 5 bytes; 11520 / 84.
        { 10, true, 0.0, { 11520.0, 1000.0, 84u, 84000.0, 137.14 } },
        { 10, false, 10.0, { 11520.0, 100.0, 22u, 2200.0, 523.64 } },
        // 19200 baud; the digital input (8 ms) is faster than the analog inputs (10 ms).
        { 3, true, 0.0, { 1920.0, 125.0, 22u, 2750.0, 87.27 } },
        // Nothing selected: digital input 0 still paces the requests (its 50 ms).
        { 1, false, 0.0, { 11520.0, 20.0, 10u, 200.0, 1152.0 } },
    };
    for (const auto &row : rows) {
        ZRealBox box(nullptr, row.type);
        const auto configure = [&](const auto &channels) {
            for (ZInChannel *channel : channels) {
                channel->setSelected(row.everyInputAtItsFastest);
                channel->setInterval(row.everyInputAtItsFastest ? 0.0 : 50.0); // clamped
            }
        };
        configure(box.analogIns());
        configure(box.digitIns());
        configure(box.edgeCnts());
        if (row.analogIn1Ms > 0.0) {
            box.analogIns().at(0)->setSelected(true);
            box.analogIns().at(0)->setInterval(row.analogIn1Ms);
        }
        QCOMPARE(describe(::lineLoad(box)), describe(row.expected));
    }
    QCOMPARE(lineCapacityBytesPerSecond(0), 0.0);
}

QTEST_APPLESS_MAIN(TestRunConfig)
#include "tst_runconfig.moc"
