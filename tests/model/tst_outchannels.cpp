#include "model/zanalogout.h"
#include "model/zdigitout.h"
#include "tests/common/coderecorder.h"
#include "tests/common/fakeoutputwriter.h"

#include <QtTest>

#include <limits>

using Codes = QList<int>;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

} // namespace

class TestOutChannels : public QObject
{
    Q_OBJECT

private slots:
    void voltageSetters_data();
    void voltageSetters();
    void dacCode_data();
    void dacCode();
    void immediateWrites_data();
    void immediateWrites();
    void outModes();
    void dutyRatio();
    void frequency_data();
    void frequency();
};

void TestOutChannels::voltageSetters_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<QString>("setter");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<double>("voltage");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<Codes>("codes");

    const Codes none;
    const Codes changed { OutValueChanged };
    // Limits 0 and 2.5 V at construction.
    QTest::newRow("above maximum")
        << 0.0 << "voltage" << 3.0 << true << 2.5 << 0.0 << 2.5 << changed;
    QTest::newRow("below minimum")
        << 1.0 << "voltage" << -1.0 << true << 0.0 << 0.0 << 2.5 << changed;
    QTest::newRow("within tolerance")
        << 1.0 << "voltage" << 1.0 + 5e-10 << false << 1.0 << 0.0 << 2.5 << none;
    QTest::newRow("not a number") << 1.0 << "voltage" << NaN << false << 1.0 << 0.0 << 2.5 << none;
    QTest::newRow("plus infinity")
        << 1.0 << "voltage" << Inf << true << 2.5 << 0.0 << 2.5 << changed;

    QTest::newRow("max moves voltage")
        << 2.0 << "max" << 1.0 << true << 1.0 << 0.0 << 1.0 << changed;
    QTest::newRow("max above voltage") << 2.0 << "max" << 4.0 << true << 2.0 << 0.0 << 4.0 << none;
    QTest::newRow("max below minimum")
        << 2.0 << "max" << -1.0 << false << 2.0 << 0.0 << 2.5 << none;
    QTest::newRow("max not a number") << 2.0 << "max" << NaN << false << 2.0 << 0.0 << 2.5 << none;
    QTest::newRow("max infinity") << 2.0 << "max" << Inf << false << 2.0 << 0.0 << 2.5 << none;
    QTest::newRow("max within tolerance")
        << 2.0 << "max" << 2.5 + 1e-10 << false << 2.0 << 0.0 << 2.5 << none;

    QTest::newRow("min moves voltage")
        << 0.5 << "min" << 1.0 << true << 1.0 << 1.0 << 2.5 << changed;
    QTest::newRow("min below voltage")
        << 0.5 << "min" << 0.25 << true << 0.5 << 0.25 << 2.5 << none;
    QTest::newRow("min above maximum") << 0.5 << "min" << 3.0 << false << 0.5 << 0.0 << 2.5 << none;
    QTest::newRow("min not a number") << 0.5 << "min" << NaN << false << 0.5 << 0.0 << 2.5 << none;
    QTest::newRow("min minus infinity")
        << 0.5 << "min" << -Inf << false << 0.5 << 0.0 << 2.5 << none;
}

void TestOutChannels::voltageSetters()
{
    QFETCH(double, start);
    QFETCH(QString, setter);
    QFETCH(double, value);
    QFETCH(bool, stored);

    ZAnalogOut channel(nullptr, componentId(AnalogOutKind, 0));
    channel.setVoltage(start);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);

    bool result = false;
    if (setter == "voltage")
        result = channel.setVoltage(value);
    else if (setter == "min")
        result = channel.setMinVoltage(value);
    else
        result = channel.setMaxVoltage(value);
    QCOMPARE(result, stored);
    QTEST(channel.voltage(), "voltage");
    QTEST(channel.minVoltage(), "minimum");
    QTEST(channel.maxVoltage(), "maximum");
    QTEST(recorder.take(), "codes");
}

void TestOutChannels::dacCode_data()
{
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("voltage");
    QTest::addColumn<int>("code");
    QTest::newRow("zero") << 0.0 << 2.5 << 0.0 << 0;
    QTest::newRow("full scale") << 0.0 << 2.5 << 2.5 << 65535;
    QTest::newRow("half, truncated") << 0.0 << 2.5 << 1.25 << 32767;
    QTest::newRow("4 V box") << 0.0 << 4.0 << 1.0 << 16383;
    QTest::newRow("limits meet") << 0.0 << 0.0 << 0.0 << 0;
    // The voltage itself is scaled; a negative minimum cannot push the code out of range.
    QTest::newRow("negative voltage") << -2.5 << 2.5 << -1.0 << 0;
    QTest::newRow("positive with negative minimum") << -2.5 << 2.5 << 2.5 << 32767;
    QTest::newRow("raised minimum") << 1.0 << 2.5 << 2.5 << 65535;
}

void TestOutChannels::dacCode()
{
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, voltage);
    ZAnalogOut channel(nullptr, componentId(AnalogOutKind, 0));
    channel.setMinVoltage(minimum);
    channel.setMaxVoltage(maximum);
    channel.setMinVoltage(minimum); // once the maximum allows it
    channel.setVoltage(voltage);
    QCOMPARE(channel.voltage(), voltage);
    QTEST(channel.dacCode(), "code");
}

void TestOutChannels::immediateWrites_data()
{
    QTest::addColumn<bool>("sampling");
    QTest::addColumn<int>("analogMode");
    QTest::addColumn<int>("digitalMode");
    QTest::addColumn<bool>("withWriter");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("sampling, value mode")
        << true << int(OutValue) << int(OutValue) << true
        << QStringList { "analog:2:32767", "digital:1:1", "digital:1:0" };
    QTest::newRow("not sampling") << false << int(OutValue) << int(OutValue) << true
                                  << QStringList {};
    QTest::newRow("sampling, waveforms")
        << true << int(OutSine) << int(OutPwm) << true << QStringList {};
    QTest::newRow("sampling, no writer")
        << true << int(OutValue) << int(OutValue) << false << QStringList {};
}

void TestOutChannels::immediateWrites()
{
    QFETCH(bool, sampling);
    QFETCH(int, analogMode);
    QFETCH(int, digitalMode);
    QFETCH(bool, withWriter);

    FakeOutputWriter writer;
    ZOutputWriter *const target = withWriter ? &writer : nullptr;
    ZAnalogOut analog(target, componentId(AnalogOutKind, 2));
    ZDigitOut digital(target, componentId(DigitOutKind, 1));
    analog.setOutMode(analogMode);
    digital.setOutMode(digitalMode);
    analog.setSampling(sampling);
    digital.setSampling(sampling);
    CodeRecorder<ZComponent> analogRecorder, digitalRecorder;
    analogRecorder.attach(&analog);
    digitalRecorder.attach(&digital);

    QVERIFY(analog.setVoltage(1.25));
    QVERIFY(digital.setStatus(true));
    QVERIFY(!digital.setStatus(true)); // unchanged: nothing written
    QVERIFY(digital.setStatus(false));

    QTEST(writer.writes, "writes");
    // The value is stored and announced whether or not it reached the device.
    QCOMPARE(analog.voltage(), 1.25);
    QCOMPARE(analogRecorder.take(), Codes { OutValueChanged });
    QCOMPARE(digitalRecorder.take(), (Codes { OutValueChanged, OutValueChanged }));
}

void TestOutChannels::outModes()
{
    ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 0));
    ZDigitOut digital(nullptr, componentId(DigitOutKind, 0));
    CodeRecorder<ZComponent> analogRecorder, digitalRecorder;
    analogRecorder.attach(&analog);
    digitalRecorder.attach(&digital);
    QVERIFY(!analog.setOutMode(OutPwm)); // not an analog mode
    QVERIFY(!analog.setOutMode(OutValue)); // unchanged
    QVERIFY(!digital.setOutMode(OutValue | OutPwm)); // two modes at once
    QVERIFY(!digital.setOutMode(32));
    QVERIFY(!digital.setOutMode(-2));
    QVERIFY(analog.setOutMode(OutTriangle));
    QCOMPARE(analogRecorder.take(), Codes { OutModeChanged });
    QVERIFY(digitalRecorder.take().isEmpty());

    // A mask that excludes the mode moves it; the mask itself is not announced, and an
    // empty mask leaves the mode.
    QVERIFY(digital.setOutMode(OutPwm));
    digital.setOutModeMask(OutValue);
    QCOMPARE(digitalRecorder.take(), (Codes { OutModeChanged, OutModeChanged }));
    digital.setOutModeMask(OutPwm);
    digital.setOutModeMask(0);
    QCOMPARE(digital.outMode(), int(OutPwm));
    analog.setOutModeMask(OutSine | OutSawtooth);
    QCOMPARE(analog.outMode(), int(OutSine));
    analog.setOutModeMask(OutSawtooth | OutValue);
    QCOMPARE(analog.outMode(), int(OutValue));
    analogRecorder.take();
    analog.setOutModeMask(OutSawtooth | OutValue | OutTriangle); // mode still within
    QVERIFY(analogRecorder.take().isEmpty());
}

void TestOutChannels::dutyRatio()
{
    ZDigitOut channel(nullptr, componentId(DigitOutKind, 0));
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    QVERIFY(channel.setDutyRatio(0));
    QCOMPARE(channel.dutyRatio(), quint16(1));
    QVERIFY(channel.setDutyRatio(150));
    QCOMPARE(channel.dutyRatio(), quint16(99));
    QVERIFY(!channel.setDutyRatio(99));
    QVERIFY(!channel.setDutyRatio(65535));
    QCOMPARE(recorder.take(), (Codes { DutyRatioChanged, DutyRatioChanged }));
}

void TestOutChannels::frequency_data()
{
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("period");
    QTest::newRow("1000 Hz") << 1000.0 << 1000.0;
    QTest::newRow("too fast") << 5000.0 << 1000.0;
    QTest::newRow("2.5 Hz") << 2.5 << 400000.0;
    // The device takes the period in 24 bits of microseconds.
    QTest::newRow("too slow") << 0.01 << 16777215.0;
    QTest::newRow("0.06 Hz") << 0.06 << 1e6 / 0.06;
}

void TestOutChannels::frequency()
{
    QFETCH(double, hertz);
    ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 0));
    ZDigitOut digital(nullptr, componentId(DigitOutKind, 0));
    for (ZOutChannel *channel : std::initializer_list<ZOutChannel *> { &analog, &digital }) {
        QCOMPARE(channel->rateName() + channel->rateUnit(), QString("FrequencyHz"));
        QVERIFY(channel->setInterval(channel->intervalRate(hertz)));
        QTEST(channel->interval(), "period");
    }
}

QTEST_GUILESS_MAIN(TestOutChannels)
#include "tst_outchannels.moc"
