#include "devicetestutil.h"

#include "device/zlinecapacity.h"
#include "device/zrealbox.h"
#include "device/zrunconfig.h"

#include <QtTest>

// The frames that configure a run, built from a real box's channels.
class TestRunConfig : public QObject
{
    Q_OBJECT

private slots:
    void type1Example();
    void everyOutputMode();
    void edgeCountersAndInputMode();
    void rate_data();
    void rate();
    void lineLoad_data();
    void lineLoad();
};

static QStringList hexFrames(const QVector<ZByteArray> &frames)
{
    QStringList hex;
    for (const ZByteArray &frame : frames)
        hex << QString::fromLatin1(bytesOf(frame).toHex(' '));
    return hex;
}

void TestRunConfig::type1Example()
{
    ZRealBox box(nullptr, 1);
    box.analogIns().at(0)->setRange(8);
    box.analogIns().at(0)->setSelected(true);
    box.analogIns().at(0)->setInterval(3.125);
    box.analogIns().at(1)->setRange(8);
    box.analogIns().at(1)->setSelected(false);
    box.digitOuts().at(0)->setOutMode(OutValue);
    box.digitOuts().at(0)->setStatus(false);

    QCOMPARE(hexFrames(runConfiguration(box)),
             QStringList({ "aa 01 03", "aa 03 13 00 88", "aa 03 13 01 08", "aa 04 1b 00 01 40",
                           "aa 04 0a 00 01 00" }));
}

void TestRunConfig::everyOutputMode()
{
    // Type 10: no input-mode command, four analog and three digital outputs.
    ZRealBox box(nullptr, 10);
    const std::vector<ZAnalogOut *> &analogOuts = box.analogOuts();
    QVERIFY(analogOuts.at(0)->setVoltage(1.25)); // of 2.5 V: code 32767
    QVERIFY(analogOuts.at(1)->setOutMode(OutSine));
    QVERIFY(analogOuts.at(1)->setInterval(2000.75));
    QVERIFY(analogOuts.at(2)->setOutMode(OutTriangle));
    QVERIFY(analogOuts.at(2)->setInterval(16777215.0));
    QVERIFY(analogOuts.at(3)->setOutMode(OutSawtooth));
    const std::vector<ZDigitOut *> &digitOuts = box.digitOuts();
    QVERIFY(digitOuts.at(0)->setStatus(true));
    QVERIFY(digitOuts.at(1)->setOutMode(OutPwm));
    QVERIFY(digitOuts.at(1)->setInterval(20000.0));
    QVERIFY(digitOuts.at(1)->setDutyRatio(30));
    QVERIFY(digitOuts.at(2)->setOutMode(OutPwm)); // limits B: period 4081.63 us

    QStringList expected { "aa 01 03" };
    for (int channel = 0; channel < 14; ++channel)
        expected << QStringLiteral("aa 03 13 %1 01").arg(channel, 2, 16, QLatin1Char('0'));
    expected << "aa 04 1b 00 00 01"
             << "aa 03 23 00 00"
             << "aa 03 23 01 00"
             << "aa 05 02 00 01 7f ff"
             << "aa 06 02 01 04 00 07 d0"
             << "aa 06 02 02 08 ff ff ff"
             << "aa 06 02 03 10 0f 42 40"
             << "aa 04 0a 00 01 01"
             << "aa 07 0a 01 02 00 4e 20 1e"
             << "aa 07 0a 02 02 00 0f f1 32";
    QCOMPARE(hexFrames(runConfiguration(box)), expected);
}

void TestRunConfig::edgeCountersAndInputMode()
{
    // Type 9: input mode 2, eight analog inputs, one counter, one analog out, two digital.
    ZRealBox box(nullptr, 9);
    box.analogIns().at(7)->setSelected(true);
    box.analogIns().at(7)->setInterval(2.2222222222222223);
    QVERIFY(box.analogIns().at(7)->setRange(4));
    box.edgeCnts().at(0)->setSelected(true);
    QVERIFY(box.analogOuts().at(0)->setVoltage(4.0)); // the type's maximum: code 65535

    const QStringList frames = hexFrames(runConfiguration(box));
    QCOMPARE(frames.size(), 1 + 1 + 8 + 1 + 1 + 1 + 2);
    QCOMPARE(frames.at(0), QStringLiteral("aa 01 03"));
    QCOMPARE(frames.at(1), QStringLiteral("aa 02 0b 02"));
    QCOMPARE(frames.at(9), QStringLiteral("aa 03 13 07 84"));
    QCOMPARE(frames.at(10), QStringLiteral("aa 04 1b 00 01 c2"));
    QCOMPARE(frames.at(11), QStringLiteral("aa 03 23 00 01"));
    QCOMPARE(frames.at(12), QStringLiteral("aa 05 02 00 01 ff ff"));
    QCOMPARE(frames.at(13), QStringLiteral("aa 04 0a 00 01 00"));
    QCOMPARE(frames.at(14), QStringLiteral("aa 04 0a 01 01 00"));
}

void TestRunConfig::rate_data()
{
    QTest::addColumn<QList<double>>("intervals"); // one per analog input of type 4; 0: off
    QTest::addColumn<unsigned>("rate");

    QTest::newRow("none selected") << QList<double> { 0, 0, 0, 0 } << 1u;
    QTest::newRow("one selected") << QList<double> { 0, 0, 10.0, 0 } << 100u;
    QTest::newRow("fastest wins") << QList<double> { 100.0, 3.125, 0, 50.0 } << 320u;
    QTest::newRow("unselected faster one ignored") << QList<double> { 0, 500.0, 0, 0 } << 2u;
    QTest::newRow("slowest possible") << QList<double> { 1000000.0, 0, 0, 0 } << 0u;
}

void TestRunConfig::rate()
{
    QFETCH(QList<double>, intervals);
    QFETCH(unsigned, rate);

    ZRealBox box(nullptr, 4);
    for (int i = 0; i < intervals.size(); ++i) {
        ZAnalogIn *channel = box.analogIns().at(std::size_t(i));
        channel->setInterval(intervals.at(i) > 0 ? intervals.at(i) : 3.125);
        channel->setSelected(intervals.at(i) > 0);
    }
    QCOMPARE(runRate(box), rate);
    const QVector<ZByteArray> frames = runConfiguration(box);
    const ZByteArray &rateFrame = frames.at(1 + 4);
    QCOMPARE(unsigned((rateFrame[3] << 16) | (rateFrame[4] << 8) | rateFrame[5]), rate);
}

// What a run asks of the serial line: a request and its answer per record, at the pace
// of the fastest selected input, against baud rate / 10 bytes per second.
void TestRunConfig::lineLoad_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("everyInputAtItsFastest");
    QTest::addColumn<double>("analogIn1Ms"); // otherwise: only analog input 1, 0 for none
    QTest::addColumn<unsigned>("bytesPerRecord");
    QTest::addColumn<double>("requestsPerSecond");
    QTest::addColumn<double>("capacity");
    QTest::addColumn<double>("reachable");

    // 3 + 4 + 1 + 14 * 4 + 5 * 2 + 2 * 5 bytes; 11520 / 84.
    QTest::newRow("UX-109, every input at 1000 SPS")
        << 10 << true << 0.0 << 84u << 1000.0 << 11520.0 << 137.14;
    QTest::newRow("UX-109, one analog input at 100 SPS")
        << 10 << false << 10.0 << 22u << 100.0 << 11520.0 << 523.64;
    // 19200 baud; the digital input (8 ms) is faster than the analog inputs (10 ms).
    QTest::newRow("UX-102, every input at its fastest")
        << 3 << true << 0.0 << 22u << 125.0 << 1920.0 << 87.27;
    // Nothing selected: digital input 0 still paces the requests (its interval, 50 ms).
    QTest::newRow("UX-100, nothing selected")
        << 1 << false << 0.0 << 10u << 20.0 << 11520.0 << 1152.0;
}

void TestRunConfig::lineLoad()
{
    QFETCH(int, type);
    QFETCH(bool, everyInputAtItsFastest);
    QFETCH(double, analogIn1Ms);
    QFETCH(unsigned, bytesPerRecord);
    QFETCH(double, requestsPerSecond);
    QFETCH(double, capacity);
    QFETCH(double, reachable);

    ZRealBox box(nullptr, type);
    const auto configure = [&](const auto &channels) {
        for (ZInChannel *channel : channels) {
            channel->setSelected(everyInputAtItsFastest);
            channel->setInterval(everyInputAtItsFastest ? 0.0 : 50.0); // clamped to the limits
        }
    };
    configure(box.analogIns());
    configure(box.digitIns());
    configure(box.edgeCnts());
    if (analogIn1Ms > 0.0) {
        box.analogIns().at(0)->setSelected(true);
        box.analogIns().at(0)->setInterval(analogIn1Ms);
    }

    const ZLineLoad load = ::lineLoad(box);
    QCOMPARE(load.bytesPerRecord, bytesPerRecord);
    QCOMPARE(load.requestsPerSecond, requestsPerSecond);
    QCOMPARE(load.capacityBytesPerSecond, capacity);
    QCOMPARE(load.demandBytesPerSecond, requestsPerSecond * bytesPerRecord);
    QVERIFY2(std::fabs(load.reachableRecordsPerSecond - reachable) < 0.01,
             qPrintable(QString::number(load.reachableRecordsPerSecond)));
    QCOMPARE(load.isOverCapacity(), requestsPerSecond > reachable);
    QCOMPARE(lineCapacityBytesPerSecond(0), 0.0);
}

QTEST_APPLESS_MAIN(TestRunConfig)
#include "tst_runconfig.moc"
