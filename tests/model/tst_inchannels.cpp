#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"
#include "modeltest.h"

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void appendOne(ZInChannel &channel, double time, int raw)
{
    channel.append(&time, &raw, 1);
}

// Whether reading view[index] (or last() for index -1) aborts a child process, as a failed
// assertion does; its message, a core file and the test framework's handler stay away.
bool abortsInChild(const ZSeriesView<double> &view, int index)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGABRT, SIG_DFL);
        ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        const rlimit noCore {};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const volatile double read = index < 0 ? view.last() : view[std::size_t(index)];
        ::_exit(read > 0.0 ? 0 : 1);
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
    void intervalLimits();
    void timesStrictlyIncrease();
    void appendedValuesAndAnnouncements();
    void flagsAndSampling();
    void viewsCheckTheirBounds();
    void rangeAndMask();
    void rawConversion();
    void coefficients();
};

void TestInChannels::intervalLimits()
{
    // 'i' interval, 'T' interval twice, 'n' minimum, 'x' maximum; channels start at
    // 1000 ms within 1 .. 1e6 ms. A too short request asked again is announced again, so
    // that an editor showing it falls back to the value in force.
    const std::tuple<const char *, char, double, bool, double, double, double, int> rows[] = {
        { "below minimum", 'i', 0.5, true, 1.0, 1.0, 1e6, 1 },
        { "below minimum twice", 'T', 0.5, true, 1.0, 1.0, 1e6, 2 },
        { "above maximum", 'i', 2e6, true, 1e6, 1.0, 1e6, 1 },
        { "within", 'i', 12.5, true, 12.5, 1.0, 1e6, 1 },
        { "within tolerance", 'i', 1000.0000005, false, 1000.0, 1.0, 1e6, 0 },
        { "just beyond tolerance", 'i', 1000.000002, true, 1000.000002, 1.0, 1e6, 1 },
        { "not a number", 'i', NaN, false, 1000.0, 1.0, 1e6, 0 },
        { "plus infinity", 'i', Inf, true, 1e6, 1.0, 1e6, 1 },
        { "minus infinity", 'i', -Inf, true, 1.0, 1.0, 1e6, 1 },
        { "min moves interval", 'n', 2000.0, true, 2000.0, 2000.0, 1e6, 1 },
        { "min below interval", 'n', 5.0, true, 1000.0, 5.0, 1e6, 0 },
        { "min at maximum", 'n', 1e6, true, 1e6, 1e6, 1e6, 1 },
        { "min above maximum", 'n', 2e6, false, 1000.0, 1.0, 1e6, 0 },
        { "min within tolerance", 'n', 1.0000005, false, 1000.0, 1.0, 1e6, 0 },
        { "min not a number", 'n', NaN, false, 1000.0, 1.0, 1e6, 0 },
        { "min minus infinity", 'n', -Inf, false, 1000.0, 1.0, 1e6, 0 },
        { "max moves interval", 'x', 500.0, true, 500.0, 1.0, 500.0, 1 },
        { "max above interval", 'x', 5000.0, true, 1000.0, 1.0, 5000.0, 0 },
        { "max below minimum", 'x', 0.5, false, 1000.0, 1.0, 1e6, 0 },
        { "max within tolerance", 'x', 1e6 + 5e-7, false, 1000.0, 1.0, 1e6, 0 },
        { "max not a number", 'x', NaN, false, 1000.0, 1.0, 1e6, 0 },
        { "max plus infinity", 'x', Inf, false, 1000.0, 1.0, 1e6, 0 },
    };
    for (const auto &[name, setter, value, stored, interval, minimum, maximum, changes] : rows) {
        ZDigitIn channel(componentId(DigitInKind, 0));
        Watch watch(channel);
        bool result = false;
        for (int call = setter == 'T' ? 2 : 1; call > 0; --call) {
            if (setter == 'n' || setter == 'x')
                result
                    = setter == 'n' ? channel.setMinInterval(value) : channel.setMaxInterval(value);
            else
                result = channel.setInterval(value);
        }
        const Codes codes = watch.take();
        QCOMPARE(line(name, result, channel.interval(), channel.minInterval(),
                      channel.maxInterval(), codes.size(), codes.count(IntervalChanged)),
                 line(name, stored, interval, minimum, maximum, changes, changes));
    }

    // The configurer enters a rate and stores intervalRate(rate), clamped like any interval.
    ZAnalogIn analog(0);
    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    QCOMPARE(analog.rateName() + analog.rateUnit(), QString("Sample RateSPS"));
    QCOMPARE(counter.rateName() + counter.rateUnit(), QString("Refresh RateHz"));
    analog.setMinInterval(3.125);
    analog.setInterval(analog.intervalRate(1000.0));
    QCOMPARE(analog.intervalRate(analog.interval()), 320.0);
}

void TestInChannels::timesStrictlyIncrease()
{
    const std::tuple<const char *, Values, Values> rows[] = {
        { "backwards", { 5.0, 2.0, 5.001 }, { 5.0, 5.0 + 0.001, 5.0 + 0.001 + 0.001 } },
        { "stalled", { 1.0, 1.0, 1.0, 1.5 }, { 1.0, 1.001, 1.001 + 0.001, 1.5 } },
        { "increasing", { 0.0, 0.25, 0.5 }, { 0.0, 0.25, 0.5 } },
        { "negative first", { -2.0, -3.0 }, { -2.0, -2.0 + 0.001 } },
    };
    for (const auto &[name, given, stored] : rows) {
        // One sample per call, as the communication thread appends, and all in one call.
        ZAnalogIn single(0);
        for (const double t : given)
            appendOne(single, t, 0);
        ZEdgeCnt batch(componentId(EdgeCntKind, 0));
        const std::vector<int> raws(given.size(), 1);
        batch.append(given.data(), raws.data(), int(given.size()));
        QVERIFY2(toVector(single.times()) == stored && toVector(batch.times()) == stored, name);
    }
}

void TestInChannels::appendedValuesAndAnnouncements()
{
    ZAnalogIn channel(0);
    channel.setCoefs({ 1.0, 2.0 });
    QStringList journal;
    CodeRecorder<ZComponent> recorder("o", &journal);
    recorder.attach(&channel);
    connect(&channel, &ZInChannel::dataAppended, this,
            [&](int count) { journal.append(QStringLiteral("signal:%1").arg(count)); });

    // A time that is not finite drops its whole sample; each value keeps its own time.
    const double times[] = { 1.0, NaN, 2.0, Inf, -Inf };
    const double volts[] = { 0.5, 0.75, 1.0, 1.25, 1.5 };
    channel.appendVolts(times, volts, 5);
    QCOMPARE(toVector(channel.times()), (Values { 1.0, 2.0 }));
    QCOMPARE(toVector(channel.volts()), (Values { 0.5, 1.0 }));
    QCOMPARE(toVector(channel.functionValues()), (Values { 2.0, 3.0 }));
    // Calls that store nothing announce nothing; the others announce once, code first,
    // and the signal carries the number of samples stored.
    channel.appendVolts(times + 1, volts + 1, 1);
    channel.appendVolts(times, volts, 0);
    channel.appendVolts(times, volts, -3);
    channel.appendVolts(nullptr, volts, 1);
    appendOne(channel, 3.0, 0);
    QCOMPARE(channel.sampleCount(), std::size_t(3));
    QCOMPARE(journal, (QStringList { "o:202", "signal:2", "o:202", "signal:1" }));

    // Levels are non-zero raws; counts are unsigned 32-bit values carried in an int.
    const double steps[] = { 0.0, 0.001, 0.002, 0.003 };
    const int raws[] = { 0, 5, -1, std::numeric_limits<int>::min() };
    ZDigitIn digital(componentId(DigitInKind, 0));
    digital.append(steps, raws, 4);
    QCOMPARE(toVector(digital.statuses()), (std::vector<bool> { false, true, true, true }));
    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    counter.append(steps, raws, 4);
    QCOMPARE(toVector(counter.counts()),
             (std::vector<quint32> { 0u, 5u, 4294967295u, 2147483648u }));
    QCOMPARE(counter.times().size(), std::size_t(4));
}

void TestInChannels::flagsAndSampling()
{
    ZAnalogIn channel(0);
    Watch recorder(channel);
    // Flags announce changes only; a show type is the voltage (0) or the function Y (1).
    QVERIFY(channel.setSelected(true) && !channel.setSelected(true));
    QVERIFY(channel.setGraphShown(true) && !channel.setGraphShown(true));
    QVERIFY(channel.setShowType(1) && !channel.setShowType(1));
    QVERIFY(!channel.setShowType(2) && !channel.setShowType(-1));
    QVERIFY(channel.isSelected() && channel.isGraphShown() && channel.showType() == 1);
    QCOMPARE(recorder.take(), (Codes { SelectedChanged, GraphShownChanged, ShowTypeChanged }));

    // Starting a run clears the series and hides the graph; the time rule starts again.
    appendOne(channel, 5.0, 100);
    recorder.take();
    channel.setSampling(true);
    QCOMPARE(recorder.take(), (Codes { DataCleared, GraphShownChanged, SamplingChanged }));
    QVERIFY(channel.times().isEmpty() && channel.volts().isEmpty());
    QVERIFY(channel.functionValues().isEmpty() && !channel.isGraphShown());
    appendOne(channel, 0.5, 100);
    QCOMPARE(channel.times()[0], 0.5);
    // Stopping keeps the series; the same state twice does nothing.
    channel.setSampling(false);
    channel.setSampling(false);
    QCOMPARE(recorder.take(), (Codes { DataAppended, SamplingChanged }));
    QCOMPARE(channel.sampleCount(), std::size_t(1));

    // Without samples only the flag is announced and the graph stays.
    ZDigitIn empty(componentId(DigitInKind, 0));
    empty.setGraphShown(true);
    Watch emptyWatch(empty);
    empty.setSampling(true);
    QCOMPARE(emptyWatch.take(), Codes { SamplingChanged });
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
    QVERIFY(abortsInChild(times, 3) && abortsInChild(empty, 0) && abortsInChild(empty, -1));
}

void TestInChannels::rangeAndMask()
{
    // 'm' mask, 'r' range, 'R' range after a mask of 8; channels start with all four
    // ranges and ±1.25 V.
    const std::tuple<const char *, char, int, bool, int, int, Codes> rows[] = {
        { "mask moves range", 'm', 1, true, 1, 1, { RangeMaskChanged, RangeChanged } },
        { "narrowest range wins", 'm', 6, true, 6, 4, { RangeMaskChanged, RangeChanged } },
        { "mask keeps range", 'm', 12, true, 12, 8, { RangeMaskChanged } },
        { "mask unchanged", 'm', 15, false, 15, 8, {} },
        { "mask without ranges", 'm', 0, false, 15, 8, {} },
        { "mask of unknown bits", 'm', 0x30, false, 15, 8, {} },
        { "unknown bits dropped", 'm', 0x31, true, 1, 1, { RangeMaskChanged, RangeChanged } },
        { "range supported", 'r', 2, true, 15, 2, { RangeChanged } },
        { "range unchanged", 'r', 8, false, 15, 8, {} },
        { "two ranges at once", 'r', 3, false, 15, 8, {} },
        { "negative code", 'r', -1, false, 15, 8, {} },
        { "no range", 'r', 0, false, 15, 8, {} },
        { "beyond the table", 'r', 16, false, 15, 8, {} },
        { "outside the mask", 'R', 2, false, 8, 8, {} },
    };
    for (const auto &[name, call, value, stored, mask, range, codes] : rows) {
        ZAnalogIn channel(0);
        if (call == 'R')
            channel.setRangeMask(8);
        Watch watch(channel);
        const bool result
            = call == 'm' ? channel.setRangeMask(quint8(value)) : channel.setRange(value);
        QCOMPARE(line(name, result, int(channel.rangeMask()), channel.range(), watch.take()),
                 line(name, stored, mask, range, codes));
    }
}

void TestInChannels::rawConversion()
{
    const std::tuple<const char *, int, int, double, double, double> rows[] = {
        { "full scale 10 V", 8388607, 1, 1.0, 0.0, 10.0 },
        { "full scale 1.25 V", 8388607, 8, 1.0, 0.0, 1.25 },
        { "offset 500 uV", 8388607, 1, 1.0, 500.0, 10.0005 },
        { "negative 5 V", -8388607, 2, 1.0, 0.0, -5.0 },
        { "half of 2.5 V", 4194304, 4, 1.0, 0.0, 2.5 * 4194304 / 8388607 },
        { "gain and offset", 1000, 1, 1.5, -1.5, 15000.0 / 8388607 - 1.5e-6 },
        { "zero code", 0, 8, 0.9, 12.0, 12e-6 },
    };
    for (const auto &[name, raw, range, gain, offset, volts] : rows) {
        ZAnalogIn channel(0);
        // The range applies to the samples after it, never to the stored ones.
        appendOne(channel, 0.0, 8388607);
        channel.setRange(range);
        QVERIFY(channel.setCalibration(gain, offset));
        QVERIFY(!channel.setCalibration(NaN, 0.0) && !channel.setCalibration(1.0, Inf));
        channel.setCoefs({ 1.0, 2.0 });
        appendOne(channel, 1.0, raw);
        // The series hold the conversion, and the function Y of it.
        QCOMPARE(line(name, channel.toVolts(raw), channel.volts()[0], channel.volts()[1],
                      channel.functionValues()[1]),
                 line(name, volts, 1.25, volts, 1.0 + 2.0 * volts));
    }
}

void TestInChannels::coefficients()
{
    // New coefficients apply at once to the stored samples, announced as recomputed values
    // when there are any, and to later ones.
    const Values initial { 0, 1, 0, 0, 0, 0 };
    const std::tuple<const char *, bool, Values, bool, Values> rows[] = {
        { "within tolerance", false, { 1e-10, 1.0 - 1e-10, 0, 0, 0, 1e-10 }, false, initial },
        { "change without samples", false, { 0, 1, 0, 0, 0, 2 }, true, { 0, 1, 0, 0, 0, 2 } },
        { "change with samples", true, { -1, 0.5, 0.25, 0, 0, 0.125 }, true, {} },
        { "every power", true, { 1, 1, 1, 1, 1, 1 }, true, { 1, 1, 1, 1, 1, 1 } },
        { "shorter list", false, { 5.0 }, true, { 5, 1, 0, 0, 0, 0 } },
        { "longer list", false, { 1, 2, 3, 4, 5, 6, 7, 8 }, true, { 1, 2, 3, 4, 5, 6 } },
        { "empty list", true, {}, false, initial },
        { "not a number", true, { 2, NaN }, false, initial },
        { "infinity", true, { 0, 1, Inf }, false, initial },
        { "not a number past six", false, { 0, 1, 0, 0, 0, 3, NaN }, true, { 0, 1, 0, 0, 0, 3 } },
    };
    for (const auto &[name, withSamples, given, stored, expectedCoefs] : rows) {
        const Values coefs = expectedCoefs.empty() ? given : expectedCoefs;
        const Values volts { -2.0, 0.5, 2.0 }, times { 0.0, 0.5, 1.0 };
        ZAnalogIn channel(0);
        if (withSamples)
            channel.appendVolts(times.data(), volts.data(), 3);
        Watch watch(channel);
        const bool result = channel.setCoefs(given);
        Codes expected;
        if (stored)
            expected << CoefsChanged;
        if (stored && withSamples)
            expected << FunctionValuesChanged;
        QCOMPARE(line(name, result, watch.take()), line(name, stored, expected));
        QCOMPARE(channel.coefs(), coefs);

        const double later = 3.0, laterTime = 2.0;
        channel.appendVolts(&laterTime, &later, 1);
        const auto values = channel.functionValues();
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double v = channel.volts()[i];
            const double y = coefs[0] + coefs[1] * v + coefs[2] * v * v + coefs[3] * v * v * v
                + coefs[4] * v * v * v * v + coefs[5] * v * v * v * v * v;
            QCOMPARE(values[i], y);
            QCOMPARE(channel.evaluate(v), y);
        }
    }
}

QTEST_GUILESS_MAIN(TestInChannels)
#include "tst_inchannels.moc"
