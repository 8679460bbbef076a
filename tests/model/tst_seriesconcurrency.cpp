#include "model/zanalogin.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t SampleCount = 1000000;

// Deterministic codes over the whole signed 24-bit range.
int rawOf(std::size_t i)
{
    return int((i * 7919u) % 16777215u) - 8388607;
}

// Counts appends and any update that arrives outside attach .. detach.
class WatchingObserver : public ZObserver<ZComponent>
{
public:
    ~WatchingObserver() override { detach(subject()); }
    bool update(int code) override
    {
        strayUpdates += attached ? 0 : 1;
        appended += code == DataAppended ? 1 : 0;
        return true;
    }
    bool onAttached() override
    {
        attached = true;
        return true;
    }
    bool onDetached() override
    {
        attached = false;
        return true;
    }

    std::atomic<bool> attached { false };
    std::atomic<std::size_t> strayUpdates { 0 };
    std::atomic<std::size_t> appended { 0 };
};

} // namespace

class TestSeriesConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void readersSeeConsistentPrefix();
};

void TestSeriesConcurrency::readersSeeConsistentPrefix()
{
    ZAnalogIn channel(0); // ±1.25 V, gain 1, offset 0
    const std::vector<double> coefSets[] = { { 0.5, 2.0, 0.0, 0.25 }, { -1.0, 1.0, 3.0, 0.0 } };
    channel.setCoefs(coefSets[0]);
    std::vector<double> coefs = channel.coefs();
    const auto expectedY = [&coefs](double v) {
        double y = coefs[5];
        for (int k = 4; k >= 0; --k)
            y = y * v + coefs[k];
        return y;
    };

    // A queued receiver must find at least the samples its signal announced.
    std::size_t announced = 0, shortReads = 0;
    connect(&channel, &ZInChannel::dataAppended, this, [&](int count) {
        announced += std::size_t(count);
        shortReads += channel.sampleCount() < announced ? 1 : 0;
    });
    WatchingObserver permanent, flickering;
    permanent.attach(&channel);

    std::atomic<bool> done { false };
    std::thread writer([&] {
        for (std::size_t i = 0; i < SampleCount; ++i) {
            const double t = double(i) * 0.001;
            const int raw = rawOf(i);
            channel.append(&t, &raw, 1);
        }
        done = true;
    });

    std::size_t verified = 0; // every index below this was checked with the coefs in force
    std::size_t nextCoefChange = SampleCount / 8, mismatches = 0;
    int round = 0, coefChanges = 0;
    bool sawPartial = false;
    const auto check = [&mismatches](bool condition) {
        mismatches += condition ? 0 : 1;
    };
    while (!done || verified < channel.sampleCount()) {
        // What follows synchronises with the writer; wait for samples published after it,
        // so that only the channel's own publication orders what is read next.
        while (!done && channel.sampleCount() == verified)
            std::this_thread::yield();

        // Views taken later never see fewer samples than earlier ones.
        const ZSeriesView<double> times = channel.times();
        const ZSeriesView<double> volts = channel.volts();
        const ZSeriesView<double> ys = channel.functionValues();
        check(times.size() <= volts.size() && volts.size() <= ys.size());
        for (std::size_t i = verified; i < times.size(); ++i) {
            check(times[i] == double(i) * 0.001);
            check(volts[i] == (1.25 * rawOf(i)) / 8388607.0);
            check(ys[i] == expectedY(volts[i]));
        }
        verified = times.size();
        sawPartial = sawPartial || (verified > 0 && verified < SampleCount);

        if (verified >= nextCoefChange) {
            // New coefficients apply at once to every stored sample and to later ones.
            nextCoefChange += SampleCount / 8;
            channel.setCoefs(coefSets[++coefChanges % 2]);
            coefs = channel.coefs();
            const ZSeriesView<double> after = channel.functionValues();
            for (std::size_t i = 0; i < after.size(); i += 997)
                check(after[i] == expectedY(channel.volts()[i]));
        }
        if (++round % 2)
            flickering.attach(&channel);
        else
            channel.detach(&flickering);
        QCoreApplication::processEvents();
    }
    writer.join();
    QTRY_COMPARE_WITH_TIMEOUT(announced, SampleCount, 60000);

    QCOMPARE(mismatches, std::size_t(0));
    QCOMPARE(verified, SampleCount);
    QCOMPARE(shortReads, std::size_t(0));
    QCOMPARE(permanent.appended.load(), SampleCount);
    QCOMPARE(permanent.strayUpdates + flickering.strayUpdates, std::size_t(0));
    QVERIFY(sawPartial && coefChanges > 0); // the reader really ran alongside the writer
}

QTEST_GUILESS_MAIN(TestSeriesConcurrency)
#include "tst_seriesconcurrency.moc"
