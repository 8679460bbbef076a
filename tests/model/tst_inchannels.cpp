#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"

#include "tests/common/coderecorder.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Codes = QList<int>;

Q_DECLARE_METATYPE(std::vector<double>)

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

// Whether `probe` ends a child process with an abort, as a failed assertion does.
bool abortsInChild(const std::function<void()> &probe)
{
    const pid_t child = ::fork();
    if (child == 0) {
        // The expected assertion message and a core file stay out of the way, and so
        // does the test framework's own handler of fatal signals.
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

class TestInChannels : public QObject
{
    Q_OBJECT

private slots:
    void intervalSetters_data();
    void intervalSetters();
    void clampedRequestNotifiesEachTime();
    void ratePresentation();

    void timesStrictlyIncrease_data();
    void timesStrictlyIncrease();
    void nonFiniteTimesDropWholeSamples();
    void oneAnnouncementPerAppend();
    void digitalAndCounterValues();

    void samplingStartClears();
    void viewsCheckTheirBounds_data();
    void viewsCheckTheirBounds();
    void flagsNotifyOnChangeOnly();

    void rawConversion_data();
    void rawConversion();
    void rangeAppliesToLaterSamples();
    void calibrationRefusesNonFinite();
    void rangeAndMask_data();
    void rangeAndMask();

    void polynomial_data();
    void polynomial();
    void setCoefs_data();
    void setCoefs();
    void appendVoltsAndRecompute();
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
    QFETCH(bool, stored);

    ZDigitIn channel(componentId(DigitInKind, 0));
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);

    bool result = false;
    if (setter == "interval")
        result = channel.setInterval(value);
    else if (setter == "min")
        result = channel.setMinInterval(value);
    else
        result = channel.setMaxInterval(value);

    QCOMPARE(result, stored);
    QTEST(channel.interval(), "interval");
    QTEST(channel.minInterval(), "minimum");
    QTEST(channel.maxInterval(), "maximum");
    QTEST(recorder.take(), "codes");
}

void TestInChannels::clampedRequestNotifiesEachTime()
{
    // The tolerance compares with the stored value, not with the request, so an editor
    // that keeps asking for too short an interval is told each time.
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    QVERIFY(channel.setInterval(0.5));
    QVERIFY(channel.setInterval(0.5));
    QCOMPARE(channel.interval(), 1.0);
    QCOMPARE(recorder.take(), (Codes { IntervalChanged, IntervalChanged }));
}

void TestInChannels::ratePresentation()
{
    ZAnalogIn analog(0);
    ZDigitIn digital(componentId(DigitInKind, 0));
    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    QCOMPARE(analog.rateName(), QString("Sample Rate"));
    QCOMPARE(analog.rateUnit(), QString("SPS"));
    QCOMPARE(digital.rateName(), QString("Sample Rate"));
    QCOMPARE(digital.rateUnit(), QString("SPS"));
    QCOMPARE(counter.rateName(), QString("Refresh Rate"));
    QCOMPARE(counter.rateUnit(), QString("Hz"));

    // The configurer enters a rate and stores intervalRate(rate).
    QCOMPARE(analog.intervalRate(analog.interval()), 1.0);
    analog.setMinInterval(3.125);
    analog.setInterval(analog.intervalRate(1000.0)); // faster than the box allows
    QCOMPARE(analog.interval(), 3.125);
    QCOMPARE(analog.intervalRate(analog.interval()), 320.0);
}

void TestInChannels::timesStrictlyIncrease_data()
{
    QTest::addColumn<std::vector<double>>("given");
    QTest::addColumn<std::vector<double>>("stored");
    QTest::newRow("backwards") << std::vector<double> { 5.0, 2.0, 5.001 }
                               << std::vector<double> { 5.0, 5.0 + 0.001, 5.0 + 0.001 + 0.001 };
    QTest::newRow("stalled") << std::vector<double> { 1.0, 1.0, 1.0, 1.5 }
                             << std::vector<double> { 1.0, 1.001, 1.001 + 0.001, 1.5 };
    QTest::newRow("increasing") << std::vector<double> { 0.0, 0.25, 0.5 }
                                << std::vector<double> { 0.0, 0.25, 0.5 };
    QTest::newRow("negative first")
        << std::vector<double> { -2.0, -3.0 } << std::vector<double> { -2.0, -2.0 + 0.001 };
}

void TestInChannels::timesStrictlyIncrease()
{
    QFETCH(std::vector<double>, given);
    QFETCH(std::vector<double>, stored);

    // One sample per call, as the communication thread appends, and all in one call.
    ZAnalogIn single(0);
    for (double t : given)
        appendOne(single, t, 0);
    QCOMPARE(toVector(single.times()), stored);

    ZEdgeCnt batch(componentId(EdgeCntKind, 0));
    const std::vector<int> raws(given.size(), 1);
    batch.append(given.data(), raws.data(), int(given.size()));
    QCOMPARE(toVector(batch.times()), stored);
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
    QCOMPARE(channel.sampleCount(), std::size_t(2));
    QCOMPARE(toVector(channel.times()), (std::vector<double> { 1.0, 2.0 }));
    QCOMPARE(toVector(channel.volts()), (std::vector<double> { 0.5, 1.0 }));
    QCOMPARE(toVector(channel.functionValues()), (std::vector<double> { 2.0, 3.0 }));
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
    QCOMPARE(channel.sampleCount(), std::size_t(0));
    QVERIFY(channel.times().isEmpty() && channel.volts().isEmpty());
    QVERIFY(channel.functionValues().isEmpty());
    QVERIFY(!channel.isGraphShown());

    // The time rule starts again: an earlier time than before the clear is kept.
    appendOne(channel, 0.5, 100);
    QCOMPARE(channel.times()[0], 0.5);

    // Stopping keeps the series; starting the same state twice does nothing.
    recorder.take();
    channel.setSampling(false);
    channel.setSampling(false);
    QCOMPARE(recorder.take(), Codes { SamplingChanged });
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

void TestInChannels::viewsCheckTheirBounds_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("last"); // last() instead of indexing at the size
    QTest::newRow("index at the size") << 3 << false;
    QTest::newRow("index of an empty view") << 0 << false;
    QTest::newRow("last of an empty view") << 0 << true;
}

void TestInChannels::viewsCheckTheirBounds()
{
#ifdef NDEBUG
    QSKIP("assertions are compiled out");
#endif
    QFETCH(int, samples);
    QFETCH(bool, last);
    ZDigitIn channel(componentId(DigitInKind, 0));
    for (int i = 0; i < samples; ++i)
        appendOne(channel, 0.1 * (i + 1), 1);
    const auto times = channel.times();
    if (samples > 0)
        QCOMPARE(times.last(), 0.1 * samples); // in bounds: no assertion
    QVERIFY(abortsInChild([&] {
        const volatile double read = last ? times.last() : times[times.size()];
        Q_UNUSED(read);
    }));
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
    channel.setRange(range);
    QCOMPARE(channel.range(), range);
    QVERIFY(channel.setCalibration(gain, offset));
    QCOMPARE(channel.toVolts(raw), volts);

    // The series hold the same conversion, and the function Y of it.
    channel.setCoefs({ 1.0, 2.0 });
    appendOne(channel, 0.0, raw);
    QCOMPARE(channel.volts()[0], volts);
    QCOMPARE(channel.functionValues()[0], 1.0 + 2.0 * volts);
}

void TestInChannels::rangeAppliesToLaterSamples()
{
    ZAnalogIn channel(0);
    appendOne(channel, 0.0, 8388607);
    QVERIFY(channel.setRange(Range10V));
    appendOne(channel, 0.1, 8388607);
    QCOMPARE(toVector(channel.volts()), (std::vector<double> { 1.25, 10.0 }));
}

void TestInChannels::calibrationRefusesNonFinite()
{
    ZAnalogIn channel(0);
    channel.setCalibration(2.0, 100.0);
    QVERIFY(!channel.setCalibration(NaN, 0.0));
    QVERIFY(!channel.setCalibration(1.0, Inf));
    QCOMPARE(channel.toVolts(8388607), 2.5 + 1e-4);
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
}

void TestInChannels::rangeAndMask()
{
    QFETCH(QString, call);
    QFETCH(int, value);
    QFETCH(bool, stored);

    ZAnalogIn channel(0);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    const bool result
        = call == "mask" ? channel.setRangeMask(quint8(value)) : channel.setRange(value);
    QCOMPARE(result, stored);
    QTEST(int(channel.rangeMask()), "mask");
    QTEST(channel.range(), "range");
    QTEST(recorder.take(), "codes");

    // A range outside the mask is refused.
    ZAnalogIn limited(1);
    limited.setRangeMask(8);
    QVERIFY(!limited.setRange(Range5V));
    QCOMPARE(limited.range(), 8);
}

void TestInChannels::polynomial_data()
{
    QTest::addColumn<std::vector<double>>("coefs");
    QTest::addColumn<double>("volts");
    QTest::addColumn<double>("value");
    QTest::newRow("identity") << std::vector<double> { 0, 1, 0, 0, 0, 0 } << 0.625 << 0.625;
    QTest::newRow("linear") << std::vector<double> { 1, 2, 0, 0, 0, 0 } << 3.0 << 7.0;
    QTest::newRow("fifth power") << std::vector<double> { 0, 0, 0, 0, 0, 1 } << 2.0 << 32.0;
    QTest::newRow("all ones") << std::vector<double> { 1, 1, 1, 1, 1, 1 } << 2.0 << 63.0;
    QTest::newRow("mixed signs") << std::vector<double> { -1, 0.5, 0.25, 0, 0, 0.125 } << -2.0
                                 << -1.0 - 1.0 + 1.0 - 4.0;
    QTest::newRow("cubic") << std::vector<double> { 0, 0, 0, 3, 0, 0 } << -0.5 << -0.375;
}

void TestInChannels::polynomial()
{
    QFETCH(std::vector<double>, coefs);
    QFETCH(double, volts);
    QFETCH(double, value);
    ZAnalogIn channel(0);
    channel.setCoefs(coefs);
    QCOMPARE(channel.coefs(), coefs);
    QCOMPARE(channel.evaluate(volts), value);
}

void TestInChannels::setCoefs_data()
{
    QTest::addColumn<bool>("withSamples");
    QTest::addColumn<std::vector<double>>("given");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<std::vector<double>>("coefs");
    QTest::addColumn<Codes>("codes");

    const std::vector<double> initial { 0, 1, 0, 0, 0, 0 };
    QTest::newRow("within tolerance")
        << false << std::vector<double> { 1e-10, 1.0 - 1e-10, 0, 0, 0, 1e-10 } << false << initial
        << Codes {};
    QTest::newRow("change without samples")
        << false << std::vector<double> { 0, 1, 0, 0, 0, 2 } << true
        << std::vector<double> { 0, 1, 0, 0, 0, 2 } << Codes { CoefsChanged };
    QTest::newRow("change with samples") << true << std::vector<double> { 0, 2, 0, 0, 0, 0 } << true
                                         << std::vector<double> { 0, 2, 0, 0, 0, 0 }
                                         << Codes { CoefsChanged, FunctionValuesChanged };
    QTest::newRow("shorter list") << false << std::vector<double> { 5.0 } << true
                                  << std::vector<double> { 5, 1, 0, 0, 0, 0 }
                                  << Codes { CoefsChanged };
    QTest::newRow("longer list") << false << std::vector<double> { 1, 2, 3, 4, 5, 6, 7, 8 } << true
                                 << std::vector<double> { 1, 2, 3, 4, 5, 6 }
                                 << Codes { CoefsChanged };
    QTest::newRow("empty list") << true << std::vector<double> {} << false << initial << Codes {};
    QTest::newRow("not a number") << true << std::vector<double> { 2, NaN } << false << initial
                                  << Codes {};
    QTest::newRow("infinity") << true << std::vector<double> { 0, 1, Inf } << false << initial
                              << Codes {};
    QTest::newRow("not a number past six")
        << false << std::vector<double> { 0, 1, 0, 0, 0, 3, NaN } << true
        << std::vector<double> { 0, 1, 0, 0, 0, 3 } << Codes { CoefsChanged };
}

void TestInChannels::setCoefs()
{
    QFETCH(bool, withSamples);
    QFETCH(std::vector<double>, given);
    QFETCH(bool, stored);
    QFETCH(std::vector<double>, coefs);

    ZAnalogIn channel(0);
    if (withSamples)
        appendOne(channel, 0.0, 8388607);
    CodeRecorder<ZComponent> recorder;
    recorder.attach(&channel);
    QCOMPARE(channel.setCoefs(given), stored);
    QCOMPARE(channel.coefs(), coefs);
    QTEST(recorder.take(), "codes");
    if (withSamples)
        QCOMPARE(channel.functionValues()[0], channel.evaluate(1.25));
}

void TestInChannels::appendVoltsAndRecompute()
{
    ZAnalogIn channel(0);
    const double times[] = { 0.0, 0.5, 1.0 };
    const double volts[] = { -1.0, 0.0, 2.0 };
    channel.appendVolts(times, volts, 3);
    QCOMPARE(toVector(channel.functionValues()), (std::vector<double> { -1.0, 0.0, 2.0 }));

    channel.setCoefs({ 1, 0, 1 }); // 1 + V²
    QCOMPARE(toVector(channel.volts()), (std::vector<double> { -1.0, 0.0, 2.0 }));
    QCOMPARE(toVector(channel.functionValues()), (std::vector<double> { 2.0, 1.0, 5.0 }));

    // Later samples use the new coefficients too.
    const double t = 2.0, v = 3.0;
    channel.appendVolts(&t, &v, 1);
    QCOMPARE(channel.functionValues().last(), 10.0);
}

QTEST_GUILESS_MAIN(TestInChannels)
#include "tst_inchannels.moc"
