#include "model/zanalogout.h"
#include "model/zdigitout.h"
#include "modeltest.h"
#include "tests/common/fakeoutputwriter.h"

class TestOutChannels : public QObject
{
    Q_OBJECT

private slots:
    void voltageLimits();
    void dacCode();
    void immediateWrites();
    void modesAndDutyRatio();
    void frequency();
};

void TestOutChannels::voltageLimits()
{
    // 'v' voltage, 'n' minimum, 'x' maximum; limits are 0 and 2.5 V at
    // construction.
    const std::tuple<const char *, double, char, double, bool, double, double, double, bool> rows[]
        = {
              { "above maximum", 0.0, 'v', 3.0, true, 2.5, 0.0, 2.5, true },
              { "below minimum", 1.0, 'v', -1.0, true, 0.0, 0.0, 2.5, true },
              { "within tolerance", 1.0, 'v', 1.0 + 5e-10, false, 1.0, 0.0, 2.5, false },
              { "not a number", 1.0, 'v', NaN, false, 1.0, 0.0, 2.5, false },
              { "plus infinity", 1.0, 'v', Inf, true, 2.5, 0.0, 2.5, true },
              { "max moves voltage", 2.0, 'x', 1.0, true, 1.0, 0.0, 1.0, true },
              { "max above voltage", 2.0, 'x', 4.0, true, 2.0, 0.0, 4.0, false },
              { "max below minimum", 2.0, 'x', -1.0, false, 2.0, 0.0, 2.5, false },
              { "max not a number", 2.0, 'x', NaN, false, 2.0, 0.0, 2.5, false },
              { "max infinity", 2.0, 'x', Inf, false, 2.0, 0.0, 2.5, false },
              { "max within tolerance", 2.0, 'x', 2.5 + 1e-10, false, 2.0, 0.0, 2.5, false },
              { "min moves voltage", 0.5, 'n', 1.0, true, 1.0, 1.0, 2.5, true },
              { "min below voltage", 0.5, 'n', 0.25, true, 0.5, 0.25, 2.5, false },
              { "min above maximum", 0.5, 'n', 3.0, false, 0.5, 0.0, 2.5, false },
              { "min not a number", 0.5, 'n', NaN, false, 0.5, 0.0, 2.5, false },
              { "min minus infinity", 0.5, 'n', -Inf, false, 0.5, 0.0, 2.5, false },
          };
    for (const auto &[name, start, setter, value, stored, voltage, minimum, maximum, announced] :
         rows) {
        ZAnalogOut channel(nullptr, componentId(AnalogOutKind, 0));
        channel.setVoltage(start);
        Watch watch(channel);
        bool result = false;
        if (setter == 'v')
            result = channel.setVoltage(value);
        else
            result = setter == 'n' ? channel.setMinVoltage(value) : channel.setMaxVoltage(value);
        QCOMPARE(line(name, result, channel.voltage(), channel.minVoltage(), channel.maxVoltage(),
                      watch.take()),
                 line(name, stored, voltage, minimum, maximum,
                      announced ? Codes { OutValueChanged } : Codes {}));
    }
}

void TestOutChannels::dacCode()
{
    // The voltage itself is scaled; a negative minimum cannot push the code out
    // of range.
    const std::tuple<const char *, double, double, double, int> rows[] = {
        { "zero", 0.0, 2.5, 0.0, 0 },
        { "full scale", 0.0, 2.5, 2.5, 65535 },
        { "half, truncated", 0.0, 2.5, 1.25, 32767 },
        { "4 V box", 0.0, 4.0, 1.0, 16383 },
        { "limits meet", 0.0, 0.0, 0.0, 0 },
        { "negative voltage", -2.5, 2.5, -1.0, 0 },
        { "positive with negative minimum", -2.5, 2.5, 2.5, 32767 },
        { "raised minimum", 1.0, 2.5, 2.5, 65535 },
    };
    for (const auto &[name, minimum, maximum, voltage, code] : rows) {
        ZAnalogOut channel(nullptr, componentId(AnalogOutKind, 0));
        channel.setMinVoltage(minimum);
        channel.setMaxVoltage(maximum);
        channel.setMinVoltage(minimum); // once the maximum allows it
        channel.setVoltage(voltage);
        QCOMPARE(line(name, channel.voltage(), channel.dacCode()), line(name, voltage, code));
    }
}

void TestOutChannels::immediateWrites()
{
    // Only a constant value changed while sampling reaches the device at once.
    const std::tuple<const char *, bool, int, int, bool, QStringList> rows[] = {
        { "sampling, value mode",
          true,
          OutValue,
          OutValue,
          true,
          { "analog:2:32767", "digital:1:1", "digital:1:0" } },
        { "not sampling", false, OutValue, OutValue, true, {} },
        { "sampling, waveforms", true, OutSine, OutPwm, true, {} },
        { "sampling, no writer", true, OutValue, OutValue, false, {} },
    };
    for (const auto &[name, sampling, analogMode, digitalMode, withWriter, writes] : rows) {
        FakeOutputWriter writer;
        ZOutputWriter *const target = withWriter ? &writer : nullptr;
        ZAnalogOut analog(target, componentId(AnalogOutKind, 2));
        ZDigitOut digital(target, componentId(DigitOutKind, 1));
        analog.setOutMode(analogMode);
        digital.setOutMode(digitalMode);
        analog.setSampling(sampling);
        digital.setSampling(sampling);
        Watch analogWatch(analog), digitalWatch(digital);
        QVERIFY(analog.setVoltage(1.25) && digital.setStatus(true));
        QVERIFY(!digital.setStatus(true) && digital.setStatus(false));
        // The value is stored and announced whether or not it reached the device.
        QCOMPARE(line(name, writer.writes, analogWatch.take(), digitalWatch.take()),
                 line(name, writes, Codes { OutValueChanged },
                      Codes { OutValueChanged, OutValueChanged }));
    }
}

void TestOutChannels::modesAndDutyRatio()
{
    ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 0));
    ZDigitOut digital(nullptr, componentId(DigitOutKind, 0));
    Watch analogWatch(analog), digitalWatch(digital);
    // A mode is a single bit within the mask.
    QVERIFY(!analog.setOutMode(OutPwm) && !analog.setOutMode(OutValue));
    QVERIFY(!digital.setOutMode(OutValue | OutPwm) && !digital.setOutMode(32));
    QVERIFY(!digital.setOutMode(-2) && analog.setOutMode(OutTriangle));
    QCOMPARE(analogWatch.take(), Codes { OutModeChanged });

    // A mask that excludes the mode moves it, unannounced itself; an empty mask
    // leaves it.
    QVERIFY(digital.setOutMode(OutPwm));
    digital.setOutModeMask(OutValue);
    QCOMPARE(digitalWatch.take(), (Codes { OutModeChanged, OutModeChanged }));
    digital.setOutModeMask(OutPwm);
    digital.setOutModeMask(0);
    QCOMPARE(digital.outMode(), int(OutPwm));
    // The analog mode falls back to the first of value, sine, triangle and sawtooth.
    for (const auto &[mask, mode] : { std::pair { OutValue | OutSine, OutValue },
                                      { OutSine | OutSawtooth, OutSine },
                                      { OutTriangle | OutSawtooth, OutTriangle },
                                      { OutSawtooth | OutValue, OutValue },
                                      { OutSawtooth, OutSawtooth } }) {
        analog.setOutModeMask(quint8(mask));
        QCOMPARE(analog.outMode(), int(mode));
    }
    analogWatch.take();
    analog.setOutModeMask(OutSawtooth | OutValue | OutTriangle);
    QVERIFY(analogWatch.take().isEmpty());

    // The duty ratio is clamped into 1 .. 99 %.
    digitalWatch.take();
    QVERIFY(digital.setDutyRatio(0) && digital.dutyRatio() == 1);
    QVERIFY(digital.setDutyRatio(150) && digital.dutyRatio() == 99);
    QVERIFY(!digital.setDutyRatio(99) && !digital.setDutyRatio(65535));
    QCOMPARE(digitalWatch.take(), (Codes { DutyRatioChanged, DutyRatioChanged }));
}

void TestOutChannels::frequency()
{
    // The device takes the period in 24 bits of microseconds.
    const std::pair<double, double> rows[] = { { 1000.0, 1000.0 },
                                               { 5000.0, 1000.0 },
                                               { 2.5, 400000.0 },
                                               { 0.01, 16777215.0 },
                                               { 0.06, 1e6 / 0.06 } };
    ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 0));
    ZDigitOut digital(nullptr, componentId(DigitOutKind, 0));
    for (ZOutChannel *channel : std::initializer_list<ZOutChannel *> { &analog, &digital }) {
        QCOMPARE(channel->rateName() + channel->rateUnit(), QString("FrequencyHz"));
        for (const auto &[hertz, period] : rows) {
            channel->setInterval(channel->intervalRate(hertz));
            QCOMPARE(line(hertz, channel->interval()), line(hertz, period));
        }
    }
}

QTEST_GUILESS_MAIN(TestOutChannels)
#include "tst_outchannels.moc"
