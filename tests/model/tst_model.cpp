#include "model/zanalogin.h"
#include "model/zanalogout.h"
#include "model/zdigitin.h"
#include "model/zdigitout.h"
#include "model/zedgecnt.h"
#include "model/zextremespyramid.h"
#include "model/zsmartarray.h"
#include "tests/common/coderecorder.h"
#include "tests/common/fakeoutputwriter.h"

#include <QtTest>

#include <atomic>
#include <csignal>
#include <limits>
#include <random>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Codes = QList<int>;
using Values = std::vector<double>;

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

// Records the codes of one component from its construction on.
struct Watch : CodeRecorder<ZComponent>
{
    explicit Watch(ZComponent &component) { attach(&component); }
};

// A row's outcome as one line: one comparison names the row and shows every value exactly.
template<class... Args> QString line(const Args &...values)
{
    QString text;
    ((QDebug(&text).noquote() << qSetRealNumberPrecision(17)) << ... << values);
    return text;
}

// Whether reading view[index] (last() for -1) aborts a quiet child process, as an assert does.
bool abortsInChild(const ZSeriesView<double> &view, int index)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGABRT, SIG_DFL);
        ::close(STDERR_FILENO);
        const rlimit noCore {};
        ::setrlimit(RLIMIT_CORE, &noCore);
        const volatile double read = index < 0 ? view.last() : view[std::size_t(index)];
        ::_exit(read > 0.0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status)
        && WTERMSIG(status) == SIGABRT;
}

// Logs each hook as "name:event@subject id"; counts what arrives outside attach .. detach.
class Recorder : public ZObserver<ZComponent>
{
public:
    explicit Recorder(const char *name, QStringList *journal = nullptr)
        : m_name(name)
        , m_journal(journal)
    { }
    ~Recorder() override { detach(subject()); }

    bool update(int code) override { return log(QString::number(code, 16)); }
    bool onAttached() override { return !attached.exchange(true) && log("attached"); }
    bool onDetached() override { return log("detached") && attached.exchange(false); }

    std::atomic<bool> attached { false };
    std::atomic<std::size_t> strays { 0 };

private:
    bool log(const QString &event)
    {
        strays += attached ? 0 : 1;
        const int id = subject() ? subject()->id() : -1;
        if (m_journal)
            m_journal->append(QStringLiteral("%1:%2@%3").arg(m_name, event).arg(id));
        return true;
    }

    const char *m_name;
    QStringList *m_journal;
};

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void observers();
    void storage();
    void formatNumber();
    void extremesPyramid();
    void limits();
    void runOfSamples();
    void rangesAndConversion();
    void coefficients();
    void outputs();
    void readersSeeConsistentPrefix();
};

void TestModel::observers()
{
    QStringList journal;
    ZDigitIn a(1), b(2);
    Recorder o("o", &journal), p("p", &journal);
    QVERIFY(o.attach(&a) && !o.attach(&a) && !o.attach(nullptr) && p.attach(&a));
    a.notify(0x100); // in the order of attachment
    a.setSampling(true);
    a.setSampling(true); // unchanged: no notification
    // Moving to another subject leaves the first one.
    QVERIFY(o.attach(&b));
    a.notify(0x200);
    QVERIFY(!o.detach(nullptr) && !o.detach(&a) && !b.detach(nullptr) && !b.detach(&p));
    QVERIFY(b.detach(&o) && !o.subject());
    b.notify(0x201);
    // Whichever side goes first (each temporary dies at its ';'), no pointer is left dangling.
    QVERIFY(o.attach(std::make_unique<ZDigitIn>(9).get()));
    QVERIFY(!o.subject() && Recorder("g", &journal).attach(&a));
    a.detachAll();
    a.notify(0x300);
    // The subject is still set in the detach hook.
    QCOMPARE(
        journal,
        (QStringList { "o:attached@1", "p:attached@1", "o:100@1", "p:100@1", "o:0@1", "p:0@1",
                       "o:detached@1", "o:attached@2", "p:200@1", "o:detached@2", "o:attached@9",
                       "o:detached@9", "g:attached@1", "g:detached@1", "p:detached@1" }));
}

void TestModel::storage()
{
    ZSmartArray<int> source(4);
    for (int i = 10; i <= 15; ++i)
        source.append(i); // the last two are dropped
    QVERIFY(source.length() == 4 && source[3] == 13 && source.isComplete());

    // Assignment keeps a large enough buffer and grows a small one.
    ZSmartArray<int> big(20), small(2);
    const int *oldBuffer = big.data();
    big = source;
    small = source;
    ZSmartArray<int> copy(source);
    QVERIFY(big.data() == oldBuffer && small.capacity() == 4);
    for (const ZSmartArray<int> *a : { &big, &small, &copy })
        QVERIFY(a->length() == 4 && a->maxSize() == 4 && (*a)[2] == 12);

    big.setMaxSize(300);
    QVERIFY(big.capacity() == 300 && big[3] == 13); // content moved along
    big.setMaxSize(2);
    big.setMaxSize(0); // ignored
    QVERIFY(big.length() == 2 && big.maxSize() == 2 && big.capacity() == 300);
    big.setMaxSize(200); // within the capacity: no new buffer
    big.clear();
    QVERIFY(big.capacity() == 300 && big.length() == 0);

    // A series of samples keeps every element in place, across chunks.
    ZSeries<double> series;
    constexpr std::size_t Chunk = ZSeries<double>::ChunkSize, Count = 3 * Chunk + 5;
    const double *first = series.push(0.0) ? &series.at(0) : nullptr;
    for (std::size_t i = 1; i < Count; ++i)
        QVERIFY(series.push(double(i) * 0.5));
    QVERIFY(&series.at(0) == first); // elements never move
    QVERIFY(series.at(Chunk) == Chunk * 0.5 && series.at(Count - 1) == (Count - 1) * 0.5);
    QVERIFY(series.allocatedBytes() >= 4 * Chunk * sizeof(double));

    // A reader sees only the published prefix.
    const ZSeriesView<double> view(series, 4);
    QCOMPARE(toVector(view), (Values { 0, 0.5, 1, 1.5 }));
    QVERIFY(view.last() == 1.5 && *std::lower_bound(view.begin(), view.end(), 0.7) == 1.0);
}

void TestModel::formatNumber()
{
    const std::tuple<double, int, const char *> rows[] = {
        { 1234567.0, 8, "1234567.00000000" }, // exponent characters count as decimals
        { 0.0000123, 8, "0.000012" },
        { 0.0000123, 3, "0.000" },
        { 1000 / 2.380952380952381, 6, "420" },
        { 1e6 / 16666666.666666668, 6, "0.06" },
        { 1e6, 8, "1000000" },
        { 1e8, 8, "1e+08" },
    };
    for (const auto &[value, decimals, text] : rows)
        QCOMPARE(::formatNumber(value, decimals), QString(text));
}

// Any range, cut anywhere while the series grows, has the extremes of reading every value.
void TestModel::extremesPyramid()
{
    // Values, and values summarised per extend() call.
    const std::tuple<const char *, int, int> rows[]
        = { { "several levels at once", 262144, 262144 },
            { "empty", 0, 1 },
            { "below one block", 63, 7 },
            { "one block", 64, 64 },
            { "one sample past a group", 513, 1 },
            { "uneven steps", 70001, 997 } };
    ZExtremesPyramid pyramid;
    for (const auto &[name, size, step] : rows) {
        std::mt19937 random { uint(size) };
        std::uniform_real_distribution<double> uniform(-1.0, 1.0);
        std::vector<double> values(static_cast<std::size_t>(size));
        std::generate(values.begin(), values.end(), [&] { return uniform(random); });
        if (size > 100)
            values[std::size_t(size / 2)] = 50.0; // a single spike
        pyramid.clear();
        for (int count = std::min(step, size);; count = std::min(count + step, size)) {
            pyramid.extend(count, [&](std::size_t i) { return values[i]; });
            QVERIFY2(pyramid.coveredCount() == std::size_t(count / 64 * 64), name);
            std::uniform_int_distribution<int> index(0, count);
            for (int trial = 0; trial < 50; ++trial) {
                const auto [first, last] = std::minmax({ index(random), index(random) });
                ZExtremes expected;
                for (int i = first; i < last; ++i)
                    expected.add(values[std::size_t(i)]);
                // An empty range gives the empty extremes.
                const ZExtremes got
                    = pyramid.extremes(first, last, [&](std::size_t i) { return values[i]; });
                QVERIFY2(got.min == expected.min && got.max == expected.max, name);
            }
            if (count == size)
                break;
        }
        // Half a byte per sample at most, and a few kilobytes however short the series.
        QVERIFY2(pyramid.allocatedBytes() < std::size_t(size) / 2 + 4096, name);
    }
}

void TestModel::limits()
{
    // An input's interval (1 .. 1e6 ms, at 1000): 'i' sets it ('I' twice), 'n' the minimum,
    // 'x' the maximum, 'r' a rate; an analog output's period (1000 .. 2^24-1 us, the device's
    // field): 'p' a frequency; its voltage (0 .. 2.5 V, at 1 V): 'v' ('V' after a low limit of
    // -2.5 V), 'l' and 'h', with the converter code it gives. A clamped request asked again
    // is announced again, so that an editor showing it falls back to the value in force.
    const std::tuple<const char *, char, double, bool, double, double, double, int, int> rows[] = {
        { "below minimum twice", 'I', 0.5, true, 1.0, 1.0, 1e6, 2, 0 },
        { "within tolerance", 'i', 1000.0000005, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "just beyond tolerance", 'i', 1000.000002, true, 1000.000002, 1.0, 1e6, 1, 0 },
        { "not a number", 'i', NaN, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "plus infinity", 'i', Inf, true, 1e6, 1.0, 1e6, 1, 0 },
        { "min moves interval", 'n', 2000.0, true, 2000.0, 2000.0, 1e6, 1, 0 },
        { "min below interval", 'n', 5.0, true, 1000.0, 5.0, 1e6, 0, 0 },
        { "min at maximum", 'n', 1e6, true, 1e6, 1e6, 1e6, 1, 0 },
        { "min above maximum", 'n', 2e6, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "min minus infinity", 'n', -Inf, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "max moves interval", 'x', 500.0, true, 500.0, 1.0, 500.0, 1, 0 },
        { "max above interval", 'x', 5000.0, true, 1000.0, 1.0, 5000.0, 0, 0 },
        { "max below minimum", 'x', 0.5, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "max within tolerance", 'x', 1e6 + 5e-7, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "max plus infinity", 'x', Inf, false, 1000.0, 1.0, 1e6, 0, 0 },
        { "rate 0.5 SPS", 'r', 0.5, true, 2000.0, 1.0, 1e6, 1, 0 },
        { "too high a frequency", 'p', 5000.0, true, 1000.0, 1000.0, 16777215.0, 1, 0 },
        { "too low a frequency", 'p', 0.01, true, 16777215.0, 1000.0, 16777215.0, 1, 0 },
        { "volts above maximum", 'v', 3.0, true, 2.5, 0.0, 2.5, 1, 65535 },
        { "volts below minimum", 'v', -1.0, true, 0.0, 0.0, 2.5, 1, 0 },
        { "volts within tolerance", 'v', 1.0 + 5e-10, false, 1.0, 0.0, 2.5, 0, 26214 },
        { "volts not a number", 'v', NaN, false, 1.0, 0.0, 2.5, 0, 26214 },
        { "negative volts", 'V', -1.0, true, -1.0, -2.5, 2.5, 1, 0 },
        { "high moves volts", 'h', 0.5, true, 0.5, 0.0, 0.5, 1, 65535 },
        { "4 V box", 'h', 4.0, true, 1.0, 0.0, 4.0, 0, 16383 },
        { "limits meet", 'h', 0.0, true, 0.0, 0.0, 0.0, 1, 0 },
        { "high below low", 'h', -1.0, false, 1.0, 0.0, 2.5, 0, 26214 },
        { "high not a number", 'h', NaN, false, 1.0, 0.0, 2.5, 0, 26214 },
        { "high within tolerance", 'h', 2.5 + 1e-10, false, 1.0, 0.0, 2.5, 0, 26214 },
        { "low moves volts", 'l', 2.0, true, 2.0, 2.0, 2.5, 1, 65535 },
        { "low below volts", 'l', 0.25, true, 1.0, 0.25, 2.5, 0, 29126 },
        { "negative low", 'l', -2.5, true, 1.0, -2.5, 2.5, 0, 13107 },
        { "low above high", 'l', 3.0, false, 1.0, 0.0, 2.5, 0, 26214 },
        { "low minus infinity", 'l', -Inf, false, 1.0, 0.0, 2.5, 0, 26214 },
    };
    for (const auto &[name, setter, value, stored, current, low, high, changes, code] : rows) {
        ZDigitIn in(componentId(DigitInKind, 0));
        ZAnalogOut out(nullptr, componentId(AnalogOutKind, 0));
        out.setVoltage(1.0);
        const bool isVolts = QByteArray("vVlh").contains(setter);
        ZComponent &target = isVolts || setter == 'p' ? static_cast<ZComponent &>(out) : in;
        Watch watch(target);
        const bool result = setter == 'i' ? in.setInterval(value)
            : setter == 'I'               ? in.setInterval(value) && in.setInterval(value)
            : setter == 'n'               ? in.setMinInterval(value)
            : setter == 'x'               ? in.setMaxInterval(value)
            : setter == 'r'               ? in.setInterval(in.intervalRate(value))
            : setter == 'p'               ? out.setInterval(out.intervalRate(value))
            : setter == 'v'               ? out.setVoltage(value)
            : setter == 'V'               ? out.setMinVoltage(-2.5) && out.setVoltage(value)
            : setter == 'l'               ? out.setMinVoltage(value)
                                          : out.setMaxVoltage(value);
        const Codes codes = watch.take();
        QCOMPARE(line(name, result, isVolts ? out.voltage() : target.interval(),
                      isVolts ? out.minVoltage() : target.minInterval(),
                      isVolts ? out.maxVoltage() : target.maxInterval(), codes.size(),
                      codes.count(isVolts ? OutValueChanged : IntervalChanged),
                      isVolts ? out.dacCode() : 0),
                 line(name, stored, current, low, high, changes, changes, code));
    }
}

void TestModel::runOfSamples()
{
    ZAnalogIn channel(0);
    channel.setCoefs({ 1.0, 2.0 });
    QStringList journal;
    CodeRecorder<ZComponent> recorder("o", &journal);
    recorder.attach(&channel);
    connect(&channel, &ZInChannel::dataAppended, this,
            [&](int count) { journal.append(QStringLiteral("signal:%1").arg(count)); });
    // Flags announce changes only; a show type is the voltage (0) or the function Y (1).
    QVERIFY(channel.setSelected(true) && !channel.setSelected(true));
    QVERIFY(channel.setGraphShown(true) && !channel.setGraphShown(true));
    QVERIFY(!channel.setShowType(2) && !channel.setShowType(-1) && channel.setShowType(1));

    // A time that is not finite drops its whole sample; each value keeps its own time.
    const double times[] = { 1.0, NaN, 2.0, Inf, -Inf };
    const double volts[] = { 0.5, 0.75, 1.0, 1.25, 1.5 };
    channel.appendVolts(times, volts, 5);
    QCOMPARE(line(toVector(channel.times()), toVector(channel.volts()),
                  toVector(channel.functionValues())),
             line(Values { 1.0, 2.0 }, Values { 0.5, 1.0 }, Values { 2.0, 3.0 }));
    // Calls that store nothing announce nothing; the others announce once, code first, and
    // the signal carries the number of samples stored.
    channel.appendVolts(times + 1, volts + 1, 1);
    channel.appendVolts(times, volts, -3);
    channel.appendVolts(nullptr, volts, 1);
    appendOne(channel, 3.0, 0);
    QCOMPARE(channel.sampleCount(), std::size_t(3));
    // Starting a run clears the series and hides the graph, and the time rule starts again;
    // stopping keeps the series, and the same state twice does nothing.
    channel.setSampling(true);
    QVERIFY(channel.volts().isEmpty() && channel.functionValues().isEmpty());
    appendOne(channel, 0.5, 100);
    channel.setSampling(false);
    channel.setSampling(false);
    QCOMPARE(toVector(channel.times()), Values { 0.5 });
    QVERIFY(!channel.setShowType(1) && channel.isSelected() && !channel.isGraphShown());
    QCOMPARE(journal,
             (QStringList { "o:200", "o:201", "o:302", "o:202", "signal:2", "o:202", "signal:1",
                            "o:203", "o:201", "o:0", "o:202", "signal:1", "o:0" }));

    // Without samples only the flag is announced and the graph stays.
    ZDigitIn digital(componentId(DigitInKind, 0));
    digital.setGraphShown(true);
    Watch watch(digital);
    digital.setSampling(true);
    QVERIFY(watch.take() == Codes { SamplingChanged } && digital.isGraphShown());
    // Levels are non-zero raws; counts are unsigned 32-bit values carried in an int. Times
    // strictly increase, 1 ms apart where the clock stalls or goes back, whether the samples
    // come one per call (as the communication thread appends) or all in one call.
    const auto none = digital.times();
    const int raws[] = { 0, 5, -1, std::numeric_limits<int>::min() };
    const double clock[] = { -2.0, -2.0, -3.0, 1.5 };
    for (int i = 0; i < 4; ++i)
        digital.append(clock + i, raws + i, 1);
    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    counter.append(clock, raws, 4);
    QCOMPARE(line(channel.rateName(), channel.rateUnit(), counter.rateName(), counter.rateUnit(),
                  ZDigitOut(nullptr, 0).rateName(), ZDigitOut(nullptr, 0).rateUnit()),
             line("Sample Rate", "SPS", "Refresh Rate", "Hz", "Frequency", "Hz"));
    const Values increasing { -2.0, -2.0 + 0.001, -2.0 + 0.001 + 0.001, 1.5 };
    QVERIFY(toVector(digital.times()) == increasing && toVector(counter.times()) == increasing);
    QCOMPARE(toVector(digital.statuses()), (std::vector<bool> { false, true, true, true }));
    QCOMPARE(toVector(counter.counts()),
             (std::vector<quint32> { 0u, 5u, 4294967295u, 2147483648u }));
#ifndef NDEBUG
    // Views never read past the count they were taken with.
    QVERIFY(abortsInChild(digital.times(), 4) && abortsInChild(none, 0) && abortsInChild(none, -1));
#endif
}

void TestModel::rangesAndConversion()
{
    // 'm' mask, 'r' range, 'R' range after a mask of 8; channels start with all four
    // ranges and ±1.25 V.
    const std::tuple<const char *, char, int, bool, int, int, Codes> rows[] = {
        { "narrowest range wins", 'm', 6, true, 6, 4, { RangeMaskChanged, RangeChanged } },
        { "mask keeps range", 'm', 12, true, 12, 8, { RangeMaskChanged } },
        { "mask unchanged", 'm', 15, false, 15, 8, {} },
        { "mask without ranges", 'm', 0, false, 15, 8, {} },
        { "unknown bits dropped", 'm', 0x31, true, 1, 1, { RangeMaskChanged, RangeChanged } },
        { "range supported", 'r', 2, true, 15, 2, { RangeChanged } },
        { "range unchanged", 'r', 8, false, 15, 8, {} },
        { "two ranges at once", 'r', 3, false, 15, 8, {} },
        { "outside the mask", 'R', 2, false, 8, 8, {} },
    };
    for (const auto &[name, call, value, stored, mask, range, codes] : rows) {
        ZAnalogIn channel(0);
        if (call == 'R')
            channel.setRangeMask(8);
        Watch watch(channel);
        const bool result
            = call == 'm' ? channel.setRangeMask(quint8(value)) : channel.setRange(value);
        QCOMPARE(line(name, result, channel.rangeMask(), channel.range(), watch.take()),
                 line(name, stored, mask, range, codes));
    }

    const std::tuple<const char *, int, int, double, double, double> conversions[] = {
        { "full scale 1.25 V", 8388607, 8, 1.0, 0.0, 1.25 },
        { "negative 5 V", -8388607, 2, 1.0, 0.0, -5.0 },
        { "half of 2.5 V", 4194304, 4, 1.0, 0.0, 2.5 * 4194304 / 8388607 },
        { "gain and offset", 1000, 1, 1.5, -1.5, 15000.0 / 8388607 - 1.5e-6 },
    };
    for (const auto &[name, raw, range, gain, offset, volts] : conversions) {
        ZAnalogIn channel(0);
        // The range applies to the samples after it, never to the stored ones.
        appendOne(channel, 0.0, 8388607);
        channel.setRange(range);
        QVERIFY(channel.setCalibration(gain, offset));
        QVERIFY(!channel.setCalibration(NaN, 0.0) && !channel.setCalibration(1.0, Inf));
        channel.setCoefs({ 1.0, 2.0 });
        appendOne(channel, 1.0, raw);
        QCOMPARE(line(name, channel.toVolts(raw), toVector(channel.volts()),
                      channel.functionValues()[1]),
                 line(name, volts, Values { 1.25, volts }, 1.0 + 2.0 * volts));
    }
}

void TestModel::coefficients()
{
    // New coefficients apply at once to the stored samples, announced as recomputed values
    // when there are any, and to later ones.
    const Values initial { 0, 1, 0, 0, 0, 0 };
    const std::tuple<const char *, Values, bool, Values> rows[] = {
        { "within tolerance", { 1e-10, 1.0 - 1e-10, 0, 0, 0, 1e-10 }, false, initial },
        { "every power", { -1, 0.5, 0.25, 2, -0.5, 0.125 }, true, {} },
        { "shorter list", { 5.0 }, true, { 5, 1, 0, 0, 0, 0 } },
        { "longer list", { 1, 2, 3, 4, 5, 6, 7, 8 }, true, { 1, 2, 3, 4, 5, 6 } },
        { "not finite", { 2, Inf }, false, initial },
        { "not a number past six", { 0, 1, 0, 0, 0, 3, NaN }, true, { 0, 1, 0, 0, 0, 3 } },
    };
    const Values volts { -2.0, 0.5, 2.0, 3.0 }, times { 0.0, 0.5, 1.0, 2.0 };
    const Codes announced[] = { {}, { CoefsChanged }, { CoefsChanged, FunctionValuesChanged } };
    for (const auto &[name, given, stored, expectedCoefs] : rows) {
        const Values coefs = expectedCoefs.empty() ? given : expectedCoefs;
        for (const int samples : { 0, 3 }) {
            ZAnalogIn channel(0);
            channel.appendVolts(times.data(), volts.data(), samples);
            Watch watch(channel);
            const bool result = channel.setCoefs(given);
            const Codes codes = watch.take();
            channel.appendVolts(times.data() + 3, volts.data() + 3, 1);
            Values expected;
            for (const double v : toVector(channel.volts()))
                expected.push_back(coefs[0] + coefs[1] * v + coefs[2] * v * v + coefs[3] * v * v * v
                                   + coefs[4] * v * v * v * v + coefs[5] * v * v * v * v * v);
            QCOMPARE(line(name, samples, result, codes, channel.coefs(),
                          toVector(channel.functionValues()), channel.evaluate(3.0)),
                     line(name, samples, stored, announced[stored ? 1 + (samples > 0) : 0], coefs,
                          expected, expected.back()));
        }
    }
}

void TestModel::outputs()
{
    // Only a constant value changed while sampling reaches the device at once; it is stored
    // and announced whether or not it did. Sampling switched on twice is announced once.
    FakeOutputWriter writer;
    ZAnalogOut analog(&writer, componentId(AnalogOutKind, 2)), unwired(nullptr, 0);
    ZDigitOut digital(&writer, componentId(DigitOutKind, 1));
    Watch analogWatch(analog), digitalWatch(digital);
    QVERIFY(analog.setVoltage(0.5) && digital.setStatus(true));
    for (ZOutChannel *channel :
         std::initializer_list<ZOutChannel *> { &analog, &digital, &unwired, &analog })
        channel->setSampling(true);
    QVERIFY(analog.setVoltage(1.25) && digital.setStatus(false) && !digital.setStatus(false));
    QVERIFY(unwired.setVoltage(1.25) && unwired.voltage() == 1.25);
    // Waveforms are generated by the device; a mode is a single bit within the mask.
    QVERIFY(!analog.setOutMode(OutPwm) && !analog.setOutMode(OutValue));
    QVERIFY(!digital.setOutMode(OutValue | OutPwm) && !digital.setOutMode(32));
    QVERIFY(!digital.setOutMode(-2) && analog.setOutMode(OutTriangle));
    QVERIFY(digital.setOutMode(OutPwm) && analog.setVoltage(2.5) && digital.setStatus(true));
    QCOMPARE(writer.writes, (QStringList { "analog:2:32767", "digital:1:0" }));
    QCOMPARE(analogWatch.take(),
             (Codes { OutValueChanged, SamplingChanged, OutValueChanged, OutModeChanged,
                      OutValueChanged }));

    // A mask that excludes the mode moves it, unannounced itself; an empty mask leaves it.
    digital.setOutModeMask(OutValue);
    QCOMPARE(digitalWatch.take(),
             (Codes { OutValueChanged, SamplingChanged, OutValueChanged, OutModeChanged,
                      OutValueChanged, OutModeChanged }));
    digital.setOutModeMask(OutPwm);
    digital.setOutModeMask(0);
    QCOMPARE(digital.outMode(), int(OutPwm));
    // Outside the mask, the analog mode falls back to value, sine, triangle, then sawtooth.
    for (const auto &[mask, mode] : { std::pair { OutValue | OutSine, OutValue },
                                      { OutSine | OutSawtooth, OutSine },
                                      { OutTriangle | OutSawtooth, OutTriangle },
                                      { OutSawtooth, OutSawtooth },
                                      { OutSawtooth | OutValue | OutTriangle, OutSawtooth } }) {
        analog.setOutModeMask(quint8(mask));
        QCOMPARE(analog.outMode(), int(mode));
    }

    // The duty ratio is clamped into 1 .. 99 %.
    digitalWatch.take();
    QVERIFY(digital.setDutyRatio(0) && digital.dutyRatio() == 1);
    QVERIFY(digital.setDutyRatio(150) && digital.dutyRatio() == 99);
    QVERIFY(!digital.setDutyRatio(99) && !digital.setDutyRatio(65535));
    QCOMPARE(digitalWatch.take(), (Codes { DutyRatioChanged, DutyRatioChanged }));
}

// A reader on the GUI thread sees a consistent prefix of what the communication thread
// appends, and every function value computed with the coefficients in force.
void TestModel::readersSeeConsistentPrefix()
{
    constexpr std::size_t Count = 1000000;
    // Deterministic codes over the whole signed 24-bit range.
    const auto rawOf = [](std::size_t i) {
        return int((i * 7919u) % 16777215u) - 8388607;
    };
    const Values coefSets[] = { { 0.5, 2.0, 0.0, 0.25 }, { -1.0, 1.0, 3.0, 0.0 } };
    ZAnalogIn channel(0); // ±1.25 V, gain 1, offset 0
    channel.setCoefs(coefSets[0]);
    // A queued receiver must find at least the samples its signal announced.
    std::size_t announced = 0, shortReads = 0;
    connect(&channel, &ZInChannel::dataAppended, this, [&](int count) {
        announced += std::size_t(count);
        shortReads += channel.sampleCount() < announced ? 1 : 0;
    });
    Watch permanent(channel);
    Recorder flickering("f");

    std::atomic<bool> done { false };
    std::thread writer([&] {
        for (std::size_t i = 0; i < Count; ++i)
            appendOne(channel, double(i) * 0.001, rawOf(i));
        done = true;
    });
    // Every index below verified was checked.
    std::size_t verified = 0, mismatches = 0, coefChanges = 0;
    bool sawPartial = false;
    while (!done || verified < channel.sampleCount()) {
        // What follows synchronises with the writer; wait for samples published after it,
        // so that only the channel's own publication orders what is read next.
        while (!done && channel.sampleCount() == verified)
            std::this_thread::yield();
        // Views taken later never see fewer samples than earlier ones.
        const ZSeriesView<double> times = channel.times(), volts = channel.volts();
        const ZSeriesView<double> ys = channel.functionValues();
        mismatches += times.size() <= volts.size() && volts.size() <= ys.size() ? 0 : 1;
        for (std::size_t i = verified; i < times.size(); ++i) {
            mismatches += times[i] == double(i) * 0.001 ? 0 : 1;
            mismatches += volts[i] == (1.25 * rawOf(i)) / 8388607.0 ? 0 : 1;
            mismatches += ys[i] == channel.evaluate(volts[i]) ? 0 : 1;
        }
        verified = times.size();
        sawPartial = sawPartial || (verified > 0 && verified < Count);
        if (verified >= (coefChanges + 1) * Count / 8) {
            // New coefficients apply at once to every stored sample and to later ones.
            channel.setCoefs(coefSets[++coefChanges % 2]);
            const ZSeriesView<double> after = channel.functionValues();
            for (std::size_t i = 0; i < after.size(); i += 997)
                mismatches += after[i] == channel.evaluate(channel.volts()[i]) ? 0 : 1;
        }
        if (!flickering.attach(&channel))
            channel.detach(&flickering);
        QCoreApplication::processEvents();
    }
    writer.join();
    QTRY_COMPARE_WITH_TIMEOUT(announced, Count, 60000);
    QCOMPARE(line(mismatches, verified, shortReads, permanent.codes().count(DataAppended),
                  flickering.strays.load()),
             line(0, Count, 0, Count, 0));
    QVERIFY(sawPartial && coefChanges > 0); // the reader really ran alongside the writer
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
