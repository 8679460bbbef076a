#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"

#include "tests/common/coderecorder.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <functional>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Codes = QList<int>;
using Values = std::vector<double>;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

template<class T> std::vector<T> toVector(const ZSeriesView<T> &view)
{
    return std::vector<T>(view.begin(), view.end());
}

void appendOne(ZInChannel &channel, double time, int raw)
{
    channel.append(&time, &raw, 1);
}

void readOnce(const double &value)
{
    const volatile double read = value;
    Q_UNUSED(read);
}

// Whether `probe` ends a child process with an abort, as a failed assertion does.
bool abortsInChild(const std::function<void()> &probe)
{
    const pid_t child = ::fork();
    if (child == 0) {
        // The expected message, a core file and the test framework's own handler of
        // fatal signals stay out of the way.
        std::signal(SIGABRT, SIG_DFL);
        ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        const rlimit noCore {};
        ::setrlimit(RLIMIT_CORE, &noCore);
        probe();
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status)
        && WTERMSIG(status) == SIGABRT;
}

} // namespace

Q_DECLARE_METATYPE(Values)

class TestInChannels : public QObject
{
    Q_OBJECT

private slots:
    void intervalSetters_data();
    void intervalSetters();
    void ratePresentation();
    void timesStrictlyIncrease_data();
    void timesStrictlyIncrease();
    void nonFiniteTimesDropWholeSamples();
    void oneAnnouncementPerAppend();
    void digitalAndCounterValues();
    void samplingStartClears();
    void viewsCheckTheirBounds();
    void flagsNotifyOnChangeOnly();
    void rawConversion_data();
    void rawConversion();
    void rangeAndMask_data();
    void rangeAndMask();
    void coefficients_data();
    void coefficients();
};

void TestInChannels::intervalSetters_data()
{
    QTest::addColumn<QString>("setter");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<double>("interval");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<Codes>("codes");

    const Codes none;
    const Codes changed { IntervalChanged };
    // The channel starts at 1000 ms within 1 .. 1 000 000 ms.
    QTest::newRow("below minimum") << "interval" << 0.5 << true << 1.0 << 1.0 << 1e6 << changed;
    // The tolerance compares with the stored value, not with the request: an editor that
    // keeps asking for too short an interval is told each time.
    QTest::newRow("below minimum twice")
        << "interval twice" << 0.5 << true << 1.0 << 1.0 << 1e6 << changed + changed;
    QTest::newRow("above maximum") << "interval" << 2e6 << true << 1e6 << 1.0 << 1e6 << changed;
    QTest::newRow("within") << "interval" << 12.5 << true << 12.5 << 1.0 << 1e6 << changed;
    QTest::newRow("within tolerance")
        << "interval" << 1000.0000005 << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("just beyond tolerance")
        << "interval" << 1000.000002 << true << 1000.000002 << 1.0 << 1e6 << changed;
    QTest::newRow("not a number") << "interval" << NaN << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("plus infinity") << "interval" << Inf << true << 1e6 << 1.0 << 1e6 << changed;
    QTest::newRow("minus infinity") << "interval" << -Inf << true << 1.0 << 1.0 << 1e6 << changed;

    QTest::newRow("min moves interval")
        << "min" << 2000.0 << true << 2000.0 << 2000.0 << 1e6 << changed;
    QTest::newRow("min below interval") << "min" << 5.0 << true << 1000.0 << 5.0 << 1e6 << none;
    QTest::newRow("min at maximum") << "min" << 1e6 << true << 1e6 << 1e6 << 1e6 << changed;
    QTest::newRow("min above maximum") << "min" << 2e6 << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("min within tolerance")
        << "min" << 1.0000005 << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("min not a number") << "min" << NaN << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("min minus infinity") << "min" << -Inf << false << 1000.0 << 1.0 << 1e6 << none;

    QTest::newRow("max moves interval")
        << "max" << 500.0 << true << 500.0 << 1.0 << 500.0 << changed;
    QTest::newRow("max above interval")
        << "max" << 5000.0 << true << 1000.0 << 1.0 << 5000.0 << none;
    QTest::newRow("max below minimum") << "max" << 0.5 << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("max within tolerance")
        << "max" << 1e6 + 5e-7 << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("max not a number") << "max" << NaN << false << 1000.0 << 1.0 << 1e6 << none;
    QTest::newRow("max plus infinity") << "max" << Inf << false << 1000.0 << 1.0 << 1e6 << none;
}

void TestInChannels::intervalSetters()
{
    QFETCH(QString, setter);
    QFETCH(double, value);
    ZDigitIn channel(componentId(DigitInKind, 0));
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    bool result = false;
    if (setter.startsWith("interval"))
        result = channel.setInterval(value);
    if (setter == "interval twice")
        result = channel.setInterval(value);
    else if (setter == "min")
        result = channel.setMinInterval(value);
    else if (setter == "max")
        result = channel.setMaxInterval(value);

    QTEST(result, "stored");
    QTEST(channel.interval(), "interval");
    QTEST(channel.minInterval(), "minimum");
    QTEST(channel.maxInterval(), "maximum");
    QTEST(recorder.take(), "codes");
}

void TestInChannels::ratePresentation()
{
    ZAnalogIn analog(0);
    ZDigitIn digital(componentId(DigitInKind, 0));
    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    QCOMPARE(analog.rateName() + analog.rateUnit(), QString("Sample RateSPS"));
    QCOMPARE(digital.rateName() + digital.rateUnit(), QString("Sample RateSPS"));
    QCOMPARE(counter.rateName() + counter.rateUnit(), QString("Refresh RateHz"));

    // The configurer enters a rate and stores intervalRate(rate).
    analog.setMinInterval(3.125);
    analog.setInterval(analog.intervalRate(1000.0)); // faster than the box allows
    QCOMPARE(analog.interval(), 3.125);
    QCOMPARE(analog.intervalRate(analog.interval()), 320.0);
}

void TestInChannels::timesStrictlyIncrease_data()
{
    QTest::addColumn<Values>("given");
    QTest::addColumn<Values>("stored");
    QTest::newRow("backwards") << Values { 5.0, 2.0, 5.001 }
                               << Values { 5.0, 5.0 + 0.001, 5.0 + 0.001 + 0.001 };
    QTest::newRow("stalled") << Values { 1.0, 1.0, 1.0, 1.5 }
                             << Values { 1.0, 1.001, 1.001 + 0.001, 1.5 };
    QTest::newRow("increasing") << Values { 0.0, 0.25, 0.5 } << Values { 0.0, 0.25, 0.5 };
    QTest::newRow("negative first") << Values { -2.0, -3.0 } << Values { -2.0, -2.0 + 0.001 };
}

void TestInChannels::timesStrictlyIncrease()
{
    QFETCH(Values, given);
    // One sample per call, as the communication thread appends, and all in one call.
    ZAnalogIn single(0);
    for (double t : given)
        appendOne(single, t, 0);
    QTEST(toVector(single.times()), "stored");

    ZEdgeCnt batch(componentId(EdgeCntKind, 0));
    const std::vector<int> raws(given.size(), 1);
    batch.append(given.data(), raws.data(), int(given.size()));
    QTEST(toVector(batch.times()), "stored");
}

void TestInChannels::nonFiniteTimesDropWholeSamples()
{
    ZAnalogIn channel(0);
    channel.setCoefs({ 1.0, 2.0 });
    QSignalSpy spy(&channel, &ZInChannel::dataAppended);
    const double times[] = { 1.0, NaN, 2.0, Inf, -Inf };
    const double volts[] = { 0.5, 0.75, 1.0, 1.25, 1.5 };
    channel.appendVolts(times, volts, 5);

    // The series stay the same length and each value keeps its own time.
    QCOMPARE(toVector(channel.times()), (Values { 1.0, 2.0 }));
    QCOMPARE(toVector(channel.volts()), (Values { 0.5, 1.0 }));
    QCOMPARE(toVector(channel.functionValues()), (Values { 2.0, 3.0 }));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);

    // A call that stores nothing announces nothing.
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    channel.appendVolts(times + 1, volts + 1, 1);
    channel.appendVolts(times, volts, 0);
    channel.appendVolts(times, volts, -3);
    channel.appendVolts(nullptr, volts, 1);
    QCOMPARE(channel.sampleCount(), std::size_t(2));
    QVERIFY(recorder.take().isEmpty());
    QCOMPARE(spy.count(), 1);
}

void TestInChannels::oneAnnouncementPerAppend()
{
    ZDigitIn channel(componentId(DigitInKind, 0));
    QStringList journal;
    CodeRecorder<ZComponent> recorder("o", &journal);
    recorder.attach(&channel);
    // The code comes before the signal, and the signal carries the number of samples.
    connect(&channel, &ZInChannel::dataAppended, this,
            [&](int count) { journal.append(QStringLiteral("signal:%1").arg(count)); });
    const double times[] = { 0.1, 0.2, 0.3 };
    const int raws[] = { 1, 0, 1 };
    channel.append(times, raws, 3);
    appendOne(channel, 0.4, 0);
    QCOMPARE(journal, (QStringList { "o:202", "signal:3", "o:202", "signal:1" }));
}

void TestInChannels::digitalAndCounterValues()
{
    const double times[] = { 0.0, 0.001, 0.002, 0.003 };
    const int raws[] = { 0, 5, -1, std::numeric_limits<int>::min() };
    ZDigitIn digital(componentId(DigitInKind, 0));
    digital.append(times, raws, 4);
    QCOMPARE(toVector(digital.statuses()), (std::vector<bool> { false, true, true, true }));
    // Counts are unsigned 32-bit values carried in an int.
    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    counter.append(times, raws, 4);
    QCOMPARE(toVector(counter.counts()),
             (std::vector<quint32> { 0u, 5u, 4294967295u, 2147483648u }));
    QCOMPARE(counter.times().size(), counter.counts().size());
}

void TestInChannels::samplingStartClears()
{
    ZAnalogIn channel(0);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    appendOne(channel, 5.0, 100);
    channel.setGraphShown(true);
    recorder.take();

    channel.setSampling(true);
    QCOMPARE(recorder.take(), (Codes { DataCleared, GraphShownChanged, SamplingChanged }));
    QVERIFY(channel.times().isEmpty() && channel.volts().isEmpty());
    QVERIFY(channel.functionValues().isEmpty());
    QVERIFY(!channel.isGraphShown());
    // The time rule starts again: an earlier time than before the clear is kept.
    appendOne(channel, 0.5, 100);
    QCOMPARE(channel.times()[0], 0.5);

    // Stopping keeps the series; setting the same state twice does nothing.
    channel.setSampling(false);
    channel.setSampling(false);
    QCOMPARE(recorder.take(), (Codes { DataAppended, SamplingChanged }));
    QCOMPARE(channel.sampleCount(), std::size_t(1));

    // Without samples only the flag is announced and the graph flag stays.
    ZDigitIn empty(componentId(DigitInKind, 0));
    empty.setGraphShown(true);
    CodeRecorder<ZComponent> emptyRecorder;
    emptyRecorder.attach(&empty);
    empty.setSampling(true);
    QCOMPARE(emptyRecorder.take(), Codes { SamplingChanged });
    QVERIFY(empty.isGraphShown());
}

void TestInChannels::viewsCheckTheirBounds()
{
#ifdef NDEBUG
    QSKIP("assertions are compiled out");
#endif
    ZDigitIn channel(componentId(DigitInKind, 0));
    const auto empty = channel.times();
    for (int i = 1; i <= 3; ++i)
        appendOne(channel, 0.1 * i, 1);
    const auto times = channel.times();
    QCOMPARE(times.last(), 0.3); // in bounds: no assertion
    QVERIFY(abortsInChild([&] { readOnce(times[times.size()]); }));
    QVERIFY(abortsInChild([&] { readOnce(empty[0]); }));
    QVERIFY(abortsInChild([&] { readOnce(empty.last()); }));
}

void TestInChannels::flagsNotifyOnChangeOnly()
{
    ZAnalogIn channel(0);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    QVERIFY(channel.setSelected(true));
    QVERIFY(!channel.setSelected(true));
    QVERIFY(channel.setGraphShown(true));
    QVERIFY(!channel.setGraphShown(true));
    QVERIFY(channel.setShowType(1));
    QVERIFY(!channel.setShowType(1));
    QVERIFY(!channel.setShowType(2)); // neither voltage nor function Y
    QVERIFY(!channel.setShowType(-1));
    QCOMPARE(channel.showType(), 1);
    QVERIFY(channel.isSelected() && channel.isGraphShown());
    QCOMPARE(recorder.take(), (Codes { SelectedChanged, GraphShownChanged, ShowTypeChanged }));
}

void TestInChannels::rawConversion_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("range");
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("volts");
    QTest::newRow("full scale 10 V") << 8388607 << 1 << 1.0 << 0.0 << 10.0;
    QTest::newRow("full scale 1.25 V") << 8388607 << 8 << 1.0 << 0.0 << 1.25;
    QTest::newRow("offset 500 uV") << 8388607 << 1 << 1.0 << 500.0 << 10.0005;
    QTest::newRow("negative 5 V") << -8388607 << 2 << 1.0 << 0.0 << -5.0;
    QTest::newRow("half of 2.5 V") << 4194304 << 4 << 1.0 << 0.0 << 2.5 * 4194304 / 8388607;
    QTest::newRow("gain and offset") << 1000 << 1 << 1.5 << -1.5 << 15000.0 / 8388607 - 1.5e-6;
    QTest::newRow("zero code") << 0 << 8 << 0.9 << 12.0 << 12e-6;
}

void TestInChannels::rawConversion()
{
    QFETCH(int, raw);
    QFETCH(int, range);
    QFETCH(double, gain);
    QFETCH(double, offset);
    QFETCH(double, volts);

    ZAnalogIn channel(0);
    // The range applies to the samples after it, never to the stored ones.
    appendOne(channel, 0.0, 8388607);
    channel.setRange(range);
    QVERIFY(channel.setCalibration(gain, offset));
    QVERIFY(!channel.setCalibration(NaN, 0.0));
    QVERIFY(!channel.setCalibration(1.0, Inf));
    QCOMPARE(channel.toVolts(raw), volts);

    // The series hold the same conversion, and the function Y of it.
    channel.setCoefs({ 1.0, 2.0 });
    appendOne(channel, 1.0, raw);
    QCOMPARE(toVector(channel.volts()), (Values { 1.25, volts }));
    QCOMPARE(channel.functionValues()[1], 1.0 + 2.0 * volts);
}

void TestInChannels::rangeAndMask_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("range");
    QTest::addColumn<Codes>("codes");

    // The channel starts with all four ranges and ±1.25 V.
    QTest::newRow("mask moves range")
        << "mask" << 1 << true << 1 << 1 << Codes { RangeMaskChanged, RangeChanged };
    QTest::newRow("narrowest range wins")
        << "mask" << 6 << true << 6 << 4 << Codes { RangeMaskChanged, RangeChanged };
    QTest::newRow("mask keeps range")
        << "mask" << 12 << true << 12 << 8 << Codes { RangeMaskChanged };
    QTest::newRow("mask unchanged") << "mask" << 15 << false << 15 << 8 << Codes {};
    QTest::newRow("mask without ranges") << "mask" << 0 << false << 15 << 8 << Codes {};
    QTest::newRow("mask of unknown bits") << "mask" << 0x30 << false << 15 << 8 << Codes {};
    QTest::newRow("unknown bits dropped")
        << "mask" << 0x31 << true << 1 << 1 << Codes { RangeMaskChanged, RangeChanged };

    QTest::newRow("range supported") << "range" << 2 << true << 15 << 2 << Codes { RangeChanged };
    QTest::newRow("range unchanged") << "range" << 8 << false << 15 << 8 << Codes {};
    QTest::newRow("two ranges at once") << "range" << 3 << false << 15 << 8 << Codes {};
    QTest::newRow("negative code") << "range" << -1 << false << 15 << 8 << Codes {};
    QTest::newRow("no range") << "range" << 0 << false << 15 << 8 << Codes {};
    QTest::newRow("beyond the table") << "range" << 16 << false << 15 << 8 << Codes {};
    QTest::newRow("outside the mask") << "range in mask 8" << 2 << false << 8 << 8 << Codes {};
}

void TestInChannels::rangeAndMask()
{
    QFETCH(QString, call);
    QFETCH(int, value);
    ZAnalogIn channel(0);
    if (call == "range in mask 8")
        channel.setRangeMask(8);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    const bool result
        = call == "mask" ? channel.setRangeMask(quint8(value)) : channel.setRange(value);
    QTEST(result, "stored");
    QTEST(int(channel.rangeMask()), "mask");
    QTEST(channel.range(), "range");
    QTEST(recorder.take(), "codes");
}

void TestInChannels::coefficients_data()
{
    QTest::addColumn<bool>("withSamples");
    QTest::addColumn<Values>("given");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<Values>("coefs");
    QTest::addColumn<Codes>("codes");

    const Values initial { 0, 1, 0, 0, 0, 0 };
    QTest::newRow("within tolerance")
        << false << Values { 1e-10, 1.0 - 1e-10, 0, 0, 0, 1e-10 } << false << initial << Codes {};
    QTest::newRow("change without samples")
        << false << Values { 0, 1, 0, 0, 0, 2 } << true << Values { 0, 1, 0, 0, 0, 2 }
        << Codes { CoefsChanged };
    QTest::newRow("change with samples")
        << true << Values { -1, 0.5, 0.25, 0, 0, 0.125 } << true
        << Values { -1, 0.5, 0.25, 0, 0, 0.125 } << Codes { CoefsChanged, FunctionValuesChanged };
    QTest::newRow("every power") << true << Values { 1, 1, 1, 1, 1, 1 } << true
                                 << Values { 1, 1, 1, 1, 1, 1 }
                                 << Codes { CoefsChanged, FunctionValuesChanged };
    QTest::newRow("shorter list") << false << Values { 5.0 } << true << Values { 5, 1, 0, 0, 0, 0 }
                                  << Codes { CoefsChanged };
    QTest::newRow("longer list") << false << Values { 1, 2, 3, 4, 5, 6, 7, 8 } << true
                                 << Values { 1, 2, 3, 4, 5, 6 } << Codes { CoefsChanged };
    QTest::newRow("empty list") << true << Values {} << false << initial << Codes {};
    QTest::newRow("not a number") << true << Values { 2, NaN } << false << initial << Codes {};
    QTest::newRow("infinity") << true << Values { 0, 1, Inf } << false << initial << Codes {};
    QTest::newRow("not a number past six") << false << Values { 0, 1, 0, 0, 0, 3, NaN } << true
                                           << Values { 0, 1, 0, 0, 0, 3 } << Codes { CoefsChanged };
}

// The function Y is the polynomial of the voltage; new coefficients apply at once to the
// stored samples and to later ones.
void TestInChannels::coefficients()
{
    QFETCH(bool, withSamples);
    QFETCH(Values, given);
    QFETCH(Values, coefs);
    const Values volts { -2.0, 0.5, 2.0 };
    const Values times { 0.0, 0.5, 1.0 };
    ZAnalogIn channel(0);
    if (withSamples)
        channel.appendVolts(times.data(), volts.data(), 3);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    QTEST(channel.setCoefs(given), "stored");
    QCOMPARE(channel.coefs(), coefs);
    QTEST(recorder.take(), "codes");

    const double later = 3.0, laterTime = 2.0;
    channel.appendVolts(&laterTime, &later, 1);
    const auto polynomial = [&coefs](double v) {
        return coefs[0] + coefs[1] * v + coefs[2] * v * v + coefs[3] * v * v * v
            + coefs[4] * v * v * v * v + coefs[5] * v * v * v * v * v;
    };
    const auto values = channel.functionValues();
    for (std::size_t i = 0; i < values.size(); ++i) {
        QCOMPARE(values[i], polynomial(channel.volts()[i]));
        QCOMPARE(channel.evaluate(channel.volts()[i]), values[i]);
    }
}

QTEST_GUILESS_MAIN(TestInChannels)
#include "tst_inchannels.moc"
