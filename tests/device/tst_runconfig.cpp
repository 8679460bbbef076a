#include "devicetestutil.h"

#include "device/zlinecapacity.h"
#include "device/zrealbox.h"
#include "device/zrunconfig.h"

#include <QtTest>

namespace {

// The frames of a run in hex, then its rate as runRate() gives it.
QStringList framesAndRate(const ZRealBox &box)
{
    QStringList hex;
    for (const ZByteArray &frame : runConfiguration(box))
        hex << QString::fromLatin1(bytesOf(frame).toHex(' '));
    return hex << QString::number(runRate(box));
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

// What a run of the box asks of the serial line: a request and its answer per record, at
// the pace of the fastest selected input, against baud rate / 10 bytes per second.
QString loadOf(const ZRealBox &box)
{
    const ZLineLoad load = lineLoad(box);
    return QStringLiteral("%1 B/s, %2/s, %3 B, %4 B/s, %5/s")
        .arg(load.capacityBytesPerSecond)
        .arg(load.requestsPerSecond)
        .arg(load.bytesPerRecord)
        .arg(load.demandBytesPerSecond)
        .arg(load.reachableRecordsPerSecond, 0, 'f', 2);
}

void select(ZInChannel *channel, bool selected, double intervalMs)
{
    channel->setSelected(selected);
    channel->setInterval(intervalMs);
}

} // namespace

// The frames that configure a run, built from a real box's channels, and what the run
// asks of the serial line.
class TestRunConfig : public QObject
{
    Q_OBJECT

private slots:
    void framesRateAndLineLoad();
};

// The fastest selected analog input sets the rate, in the frame as in runRate(); without
// one the rate is 1. Any selected input may pace the requests, digital input 0 when none is.
void TestRunConfig::framesRateAndLineLoad()
{
    ZRealBox ux100(nullptr, 1);
    select(ux100.analogIns().at(0), true, 3.125);
    select(ux100.analogIns().at(1), true, 100.0);
    select(ux100.digitIns().at(0), true, 0.0); // clamped to its fastest, 2.38 ms
    QCOMPARE(::framesAndRate(ux100),
             QStringList({ "aa 01 03", "aa 03 13 00 88", "aa 03 13 01 88", "aa 04 1b 00 01 40",
                           "aa 04 0a 00 01 00", "320" }));
    QCOMPARE(loadOf(ux100), "11520 B/s, 420/s, 18 B, 7560 B/s, 640.00/s");

    // Type 9: input mode 2, eight analog inputs, one counter, one analog out, two digital.
    ZRealBox ux108(nullptr, 9);
    select(ux108.analogIns().at(0), false, 2.2222222222222223); // fastest, but not selected
    select(ux108.analogIns().at(7), true, 10.0);
    QVERIFY(ux108.analogIns().at(7)->setRange(4));
    ux108.edgeCnts().at(0)->setSelected(true);
    QVERIFY(ux108.analogOuts().at(0)->setVoltage(4.0)); // the type's maximum: code 65535
    QCOMPARE(::framesAndRate(ux108),
             QStringList({ "aa 01 03", "aa 02 0b 02" }) + analogInFrames(0, 7, "08")
                 + QStringList({ "aa 03 13 07 84", "aa 04 1b 00 00 64", "aa 03 23 00 01",
                                 "aa 05 02 00 01 ff ff", "aa 04 0a 00 01 00", "aa 04 0a 01 01 00",
                                 "100" }));
    QCOMPARE(loadOf(ux108), "11520 B/s, 100/s, 19 B, 1900 B/s, 606.32/s");

    // Type 10: no input-mode command, every output mode.
    ZRealBox ux109(nullptr, 10);
    const std::vector<ZAnalogOut *> &analogOuts = ux109.analogOuts();
    QVERIFY(analogOuts.at(0)->setVoltage(1.25)); // of 2.5 V: code 32767
    QVERIFY(analogOuts.at(1)->setOutMode(OutSine) && analogOuts.at(1)->setInterval(2000.75));
    QVERIFY(analogOuts.at(2)->setOutMode(OutTriangle));
    QVERIFY(analogOuts.at(2)->setInterval(16777215.0));
    QVERIFY(analogOuts.at(3)->setOutMode(OutSawtooth));
    const std::vector<ZDigitOut *> &digitOuts = ux109.digitOuts();
    QVERIFY(digitOuts.at(0)->setStatus(true));
    QVERIFY(digitOuts.at(1)->setOutMode(OutPwm) && digitOuts.at(1)->setInterval(20000.0));
    QVERIFY(digitOuts.at(1)->setDutyRatio(30));
    QVERIFY(digitOuts.at(2)->setOutMode(OutPwm)); // limits B: period 4081.63 us
    QCOMPARE(::framesAndRate(ux109),
             QStringList({ "aa 01 03" }) + analogInFrames(0, 14, "01")
                 + QStringList({ "aa 04 1b 00 00 01", "aa 03 23 00 00", "aa 03 23 01 00",
                                 "aa 05 02 00 01 7f ff", "aa 06 02 01 04 00 07 d0",
                                 "aa 06 02 02 08 ff ff ff", "aa 06 02 03 10 0f 42 40",
                                 "aa 04 0a 00 01 01", "aa 07 0a 01 02 00 4e 20 1e",
                                 "aa 07 0a 02 02 00 0f f1 32", "1" }));
    QCOMPARE(loadOf(ux109), "11520 B/s, 1/s, 18 B, 18 B/s, 640.00/s");
    QCOMPARE(lineCapacityBytesPerSecond(3), 1920.0); // 19200 baud
    QCOMPARE(lineCapacityBytesPerSecond(0), 0.0); // an unknown type
}

QTEST_APPLESS_MAIN(TestRunConfig)
#include "tst_runconfig.moc"
