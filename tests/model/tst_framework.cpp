#include "model/zdigitin.h"
#include "model/zextremespyramid.h"
#include "model/zglobal.h"
#include "model/zobservable.h"
#include "model/zseries.h"
#include "model/zsmartarray.h"

#include <QtTest>

#include <random>

namespace {

// Logs every hook as "name:event@subject id" into a journal that several observers share.
class Recorder : public ZObserver<ZComponent>
{
public:
    Recorder(const char *name, QStringList *journal)
        : m_name(name)
        , m_journal(journal)
    { }
    ~Recorder() override { detach(subject()); }

    bool update(int code) override { return log(QString::number(code, 16)); }
    bool onAttached() override { return log("attached"); }
    bool onDetached() override { return log("detached"); }

private:
    bool log(const QString &event)
    {
        const int id = subject() ? subject()->id() : -1;
        m_journal->append(QStringLiteral("%1:%2@%3").arg(m_name, event).arg(id));
        return true;
    }

    const char *m_name;
    QStringList *m_journal;
};

} // namespace

class TestFramework : public QObject
{
    Q_OBJECT

private slots:
    void observers();
    void storage();
    void formatNumber();
    void extremesPyramid();
};

void TestFramework::observers()
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
    // Whichever side goes first, the other is left without a dangling pointer.
    {
        ZDigitIn gone(9);
        o.attach(&gone);
    }
    QVERIFY(!o.subject());
    {
        Recorder gone("g", &journal);
        gone.attach(&a);
    }
    a.detachAll();
    a.notify(0x300);
    // The subject is still set in the detach hook.
    QCOMPARE(
        journal,
        (QStringList { "o:attached@1", "p:attached@1", "o:100@1", "p:100@1", "o:0@1", "p:0@1",
                       "o:detached@1", "o:attached@2", "p:200@1", "o:detached@2", "o:attached@9",
                       "o:detached@9", "g:attached@1", "g:detached@1", "p:detached@1" }));
}

void TestFramework::storage()
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
    QVERIFY(big.length() == 2 && big.capacity() == 300);
    big.setMaxSize(0);
    QCOMPARE(big.maxSize(), 2u);
    big.setMaxSize(200); // within the capacity: no new buffer
    big.clear();
    QVERIFY(big.capacity() == 300 && big.length() == 0);

    // A series of samples keeps every element in place, across chunks.
    ZSeries<double> series;
    constexpr std::size_t Chunk = ZSeries<double>::ChunkSize, Count = 3 * Chunk + 5;
    for (std::size_t i = 0; i < Count; ++i)
        QVERIFY(series.push(double(i) * 0.5));
    const double *first = &series.at(0);
    series.push(-1.0);
    QVERIFY(&series.at(0) == first); // elements never move
    QVERIFY(series.at(Chunk) == Chunk * 0.5 && series.at(Count - 1) == (Count - 1) * 0.5);
    QVERIFY(series.allocatedBytes() >= 4 * Chunk * sizeof(double));

    // A reader sees only the published prefix.
    const ZSeriesView<double> view(series, 4);
    QCOMPARE(std::vector<double>(view.begin(), view.end()),
             (std::vector<double> { 0, 0.5, 1, 1.5 }));
    QVERIFY(view.last() == 1.5 && *std::lower_bound(view.begin(), view.end(), 0.7) == 1.0);
}

void TestFramework::formatNumber()
{
    const std::tuple<double, int, const char *> rows[] = {
        { 1234567.0, 8, "1234567.00000000" }, // exponent characters count as decimals
        { 0.0000123, 8, "0.000012" },
        { 0.0000123, 3, "0.000" },
        { 42.0, 3, "42" },
        { 1000 / 2.380952380952381, 6, "420" },
        { 1e6 / 16666666.666666668, 6, "0.06" },
        { 3.14159265, 8, "3.14159" },
        { 1e6, 8, "1000000" },
        { 1e8, 8, "1e+08" },
    };
    for (const auto &[value, decimals, text] : rows)
        QCOMPARE(::formatNumber(value, decimals), QString(text));
}

// Every range, cut anywhere, has the extremes that reading every value gives, also while
// the series still grows and the tail is read from the series; one pyramid, cleared
// between rows, serves them all.
void TestFramework::extremesPyramid()
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

QTEST_APPLESS_MAIN(TestFramework)
#include "tst_framework.moc"
