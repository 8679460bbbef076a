#include "model/zextremespyramid.h"

#include <QtTest>

#include <random>
#include <tuple>
#include <vector>

class TestExtremesPyramid : public QObject
{
    Q_OBJECT

private slots:
    void matchesEveryValue();
    void rebuildAndSize();
};

// Every range, cut anywhere, has the extremes that reading every value gives, also while
// the series is still growing and the tail is read from the series.
void TestExtremesPyramid::matchesEveryValue()
{
    // Values, and values summarised per extend() call.
    const std::tuple<const char *, int, int> rows[]
        = { { "empty", 0, 1 },
            { "below one block", 63, 7 },
            { "one block", 64, 64 },
            { "one sample past a group", 513, 1 },
            { "uneven steps", 70001, 997 },
            { "several levels at once", 300000, 300000 } };
    for (const auto &[name, size, step] : rows) {
        std::mt19937 random { uint(size) };
        std::uniform_real_distribution<double> uniform(-1.0, 1.0);
        std::vector<double> values(static_cast<std::size_t>(size));
        for (double &v : values)
            v = uniform(random);
        if (size > 100)
            values[std::size_t(size / 2)] = 50.0; // a single spike
        const auto valueAt = [&values](std::size_t i) {
            return values[i];
        };

        ZExtremesPyramid pyramid;
        for (int count = std::min(step, size);; count = std::min(count + step, size)) {
            pyramid.extend(std::size_t(count), valueAt);
            QVERIFY2(pyramid.coveredCount() == std::size_t(count / 64 * 64), name);
            std::uniform_int_distribution<int> index(0, count);
            for (int trial = 0; trial < 50; ++trial) {
                int first = index(random);
                int last = index(random);
                if (first > last)
                    std::swap(first, last);
                ZExtremes expected;
                for (int i = first; i < last; ++i)
                    expected.add(values[std::size_t(i)]);
                const ZExtremes got
                    = pyramid.extremes(std::size_t(first), std::size_t(last), valueAt);
                QVERIFY2(got.isEmpty() == (first == last), name);
                QVERIFY2(first == last || (got.min == expected.min && got.max == expected.max),
                         name);
            }
            if (count == size)
                break;
        }
    }
}

void TestExtremesPyramid::rebuildAndSize()
{
    // A rewritten series is summarised again after clear().
    std::vector<double> values(5000, 1.0);
    const auto valueAt = [&values](std::size_t i) {
        return values[i];
    };
    ZExtremesPyramid pyramid;
    pyramid.extend(values.size(), valueAt);
    values[1234] = -7.0;
    pyramid.clear();
    QCOMPARE(pyramid.coveredCount(), std::size_t(0));
    pyramid.extend(values.size(), valueAt);
    QCOMPARE(pyramid.extremes(0, values.size(), valueAt).min, -7.0);
    QCOMPARE(pyramid.extremes(1235, values.size(), valueAt).min, 1.0);

    // Well under a byte per sample, grown in steps as a run grows.
    constexpr std::size_t Count = 1 << 20;
    const auto sawtooth = [](std::size_t i) {
        return double(i % 17);
    };
    ZExtremesPyramid large;
    for (std::size_t done = 0; done < Count; done += 4096)
        large.extend(done + 4096, sawtooth);
    QVERIFY2(large.allocatedBytes() < Count / 2,
             QByteArray::number(qulonglong(large.allocatedBytes())));
    const ZExtremes all = large.extremes(0, Count, sawtooth);
    QVERIFY(all.min == 0.0 && all.max == 16.0);
}

QTEST_APPLESS_MAIN(TestExtremesPyramid)
#include "tst_extremespyramid.moc"
