#include "model/zanalogin.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int SampleCount = 1000000;

// Deterministic codes over the whole signed 24-bit range.
int rawOf(std::size_t i)
{
    return int((i * 7919u) % 16777215u) - 8388607;
}

double voltsOf(std::size_t i)
{
    // Range ±1.25 V, gain 1, offset 0: the conversion the channel applies.
    return ((10.0 / 8) * 1.0 * rawOf(i)) / 8388607.0 + 1e-6 * 0.0;
}

double timeOf(std::size_t i)
{
    return double(i) * 0.001;
}

// Counts updates and checks that none arrives outside attach .. detach.
class WatchingObserver : public ZObserver<ZComponent>
{
public:
    ~WatchingObserver() override { detach(subject()); }
    bool update(int code) override
    {
        if (!m_attached.load(std::memory_order_relaxed))
            m_strayUpdates.fetch_add(1, std::memory_order_relaxed);
        if (code == DataAppended)
            m_appended.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    bool onAttached() override
    {
        m_attached.store(true, std::memory_order_relaxed);
        return true;
    }
    bool onDetached() override
    {
        m_attached.store(false, std::memory_order_relaxed);
        return true;
    }
    int strayUpdates() const { return m_strayUpdates.load(); }
    int appended() const { return m_appended.load(); }

private:
    std::atomic<bool> m_attached { false };
    std::atomic<int> m_strayUpdates { 0 };
    std::atomic<int> m_appended { 0 };
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
    ZAnalogIn channel(0);
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
    std::size_t announced = 0;
    int shortReads = 0;
    connect(&channel, &ZInChannel::dataAppended, this, [&](int count) {
        announced += std::size_t(count);
        if (channel.sampleCount() < announced)
            ++shortReads;
    });

    WatchingObserver permanent, flickering;
    permanent.attach(&channel);

    std::atomic<bool> done { false };
    std::thread writer([&] {
        for (std::size_t i = 0; i < SampleCount; ++i) {
            const double t = timeOf(i);
            const int raw = rawOf(i);
            channel.append(&t, &raw, 1);
        }
        done.store(true);
    });

    std::size_t verified = 0; // every index below this was checked against the coefs in force
    int round = 0;
    bool sawPartial = false;
    std::size_t nextCoefChange = SampleCount / 8;
    int coefChanges = 0;
    int mismatches = 0;
    const auto check = [&](bool condition) {
        if (!condition)
            ++mismatches;
    };
    while (!done.load() || verified < channel.sampleCount()) {
        // Attaching, changing coefficients and handling queued signals below all synchronise
        // with the writer; wait for samples published after that, so that only the channel's
        // own publication orders what is read next.
        while (!done.load() && channel.sampleCount() == verified)
            std::this_thread::yield();

        // Views taken later never see fewer samples than earlier ones.
        const ZSeriesView<double> times = channel.times();
        const ZSeriesView<double> volts = channel.volts();
        const ZSeriesView<double> ys = channel.functionValues();
        check(times.size() <= volts.size() && volts.size() <= ys.size());
        for (std::size_t i = verified; i < times.size(); ++i) {
            check(times[i] == timeOf(i));
            check(volts[i] == voltsOf(i));
            check(ys[i] == expectedY(volts[i]));
        }
        verified = times.size();
        sawPartial = sawPartial || (verified > 0 && verified < SampleCount);

        if (verified >= nextCoefChange) {
            // New coefficients apply at once to every stored sample and to later ones.
            nextCoefChange += SampleCount / 8;
            coefs = coefSets[++coefChanges % 2];
            channel.setCoefs(coefs);
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
    QVERIFY(QTest::qWaitFor([&] { return announced == SampleCount; }, 60000));

    QCOMPARE(mismatches, 0);
    QCOMPARE(verified, std::size_t(SampleCount));
    QCOMPARE(announced, std::size_t(SampleCount));
    QCOMPARE(shortReads, 0);
    QCOMPARE(permanent.appended(), SampleCount);
    QCOMPARE(permanent.strayUpdates(), 0);
    QCOMPARE(flickering.strayUpdates(), 0);
    QVERIFY(sawPartial); // the reader really ran alongside the writer
    QVERIFY(coefChanges > 0);
}

QTEST_GUILESS_MAIN(TestSeriesConcurrency)
#include "tst_seriesconcurrency.moc"
