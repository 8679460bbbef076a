#include "model/zextremespyramid.h"

#include <QtTest>

#include <random>
#include <vector>

class TestExtremesPyramid : public QObject
{
    Q_OBJECT

private slots:
    void matchesEveryValue_data();
    void matchesEveryValue();
    void rebuildAfterRewrite();
    void staysSmall();
};

void TestExtremesPyramid::matchesEveryValue_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("step"); // values summarised per extend() call
    QTest::newRow("empty") << 0 << 1;
    QTest::newRow("below one block") << 63 << 7;
    QTest::newRow("one block") << 64 << 64;
    QTest::newRow("one sample past a group") << 513 << 1;
    QTest::newRow("uneven steps") << 70001 << 997;
    QTest::newRow("several levels at once") << 300000 << 300000;
}

// Every range, cut anywhere, has the extremes that reading every value gives, also while
// the series is still growing and the tail is read from the series.
void TestExtremesPyramid::matchesEveryValue()
{
    QFETCH(int, size);
    QFETCH(int, step);
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
        QCOMPARE(pyramid.coveredCount(), std::size_t(count / 64 * 64));
        std::uniform_int_distribution<int> index(0, count);
        for (int trial = 0; trial < 50; ++trial) {
            int first = index(random);
            int last = index(random);
            if (first > last)
                std::swap(first, last);
            ZExtremes expected;
            for (int i = first; i < last; ++i)
                expected.add(values[std::size_t(i)]);
            const ZExtremes got = pyramid.extremes(std::size_t(first), std::size_t(last), valueAt);
            QCOMPARE(got.isEmpty(), first == last);
            if (first < last) {
                QCOMPARE(got.min, expected.min);
                QCOMPARE(got.max, expected.max);
            }
        }
        if (count == size)
            break;
    }
}

void TestExtremesPyramid::rebuildAfterRewrite()
{
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
}

void TestExtremesPyramid::staysSmall()
{
    constexpr std::size_t Count = 1 << 20;
    ZExtremesPyramid pyramid;
    for (std::size_t done = 0; done < Count; done += 4096)
        pyramid.extend(done + 4096, [](std::size_t i) { return double(i % 17); });
    QVERIFY2(pyramid.allocatedBytes() < Count / 2,
             QByteArray::number(qulonglong(pyramid.allocatedBytes())));
    const ZExtremes all = pyramid.extremes(0, Count, [](std::size_t i) { return double(i % 17); });
    QCOMPARE(all.min, 0.0);
    QCOMPARE(all.max, 16.0);
}

QTEST_APPLESS_MAIN(TestExtremesPyramid)
#include "tst_extremespyramid.moc"
