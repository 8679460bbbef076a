#include "model/zglobal.h"
#include "model/zobservable.h"
#include "model/zseries.h"
#include "model/zsmartarray.h"

#include <QtTest>

namespace {

class Subject : public ZObservable<Subject>
{
public:
    explicit Subject(int id = 7)
        : ZObservable<Subject>(id)
    { }
    ~Subject() override { detachAll(); }
};

// Records every hook with the subject it saw, into a journal shared by several observers.
class Recorder : public ZObserver<Subject>
{
public:
    Recorder(QString name, QStringList *journal)
        : m_name(std::move(name))
        , m_journal(journal)
    { }
    ~Recorder() override { detach(subject()); }

    bool update(int code) override { return log(QStringLiteral("update:%1").arg(code, 0, 16)); }
    bool onAttached() override { return log(QStringLiteral("attached:%1").arg(subjectId())); }
    bool onDetached() override { return log(QStringLiteral("detached:%1").arg(subjectId())); }

private:
    bool log(const QString &event)
    {
        m_journal->append(m_name + QLatin1Char(':') + event);
        return true;
    }
    int subjectId() const { return subject() ? subject()->id() : -1; }

    QString m_name;
    QStringList *m_journal;
};

} // namespace

class TestFramework : public QObject
{
    Q_OBJECT

private slots:
    void attachAndDetach();
    void notifyOrderAndDestruction();
    void smartArray();
    void formatNumber();
    void seriesAcrossChunks();
};

void TestFramework::attachAndDetach()
{
    QStringList journal;
    Subject a(1), b(2);
    Recorder o("o", &journal), stranger("x", &journal);
    QVERIFY(o.attach(&a) && !o.attach(&a) && !o.attach(nullptr));
    a.notify(0x100);
    // Moving to another subject leaves the first one.
    QVERIFY(o.attach(&b));
    a.notify(0x200);
    b.notify(0x201);
    QVERIFY(!o.detach(nullptr) && !o.detach(&a));
    QVERIFY(!b.detach(nullptr) && !b.detach(&stranger));
    QVERIFY(b.detach(&o));
    QCOMPARE(o.subject(), nullptr);
    b.notify(0x202);
    // In the list once; the subject is still set in the detach hook.
    QCOMPARE(journal,
             (QStringList { "o:attached:1", "o:update:100", "o:detached:1", "o:attached:2",
                            "o:update:201", "o:detached:2" }));
}

void TestFramework::notifyOrderAndDestruction()
{
    QStringList journal;
    Subject s;
    Recorder o1("o1", &journal), o2("o2", &journal);
    o2.attach(&s);
    o1.attach(&s);
    journal.clear();
    s.notify(0x303);
    s.setSampling(true);
    s.setSampling(true); // unchanged: no notification
    QVERIFY(s.isSampling());
    s.detachAll();
    QCOMPARE(journal,
             (QStringList { "o2:update:303", "o1:update:303", "o2:update:0", "o1:update:0",
                            "o1:detached:7", "o2:detached:7" }));
    QVERIFY(!o1.subject() && !o2.subject());

    // Whichever side goes first, the other is left without a dangling pointer.
    journal.clear();
    {
        Recorder gone("g", &journal);
        gone.attach(&s);
    }
    s.notify(1); // nobody left to call
    {
        Subject gone(9);
        o1.attach(&gone);
    }
    QCOMPARE(o1.subject(), nullptr);
    QCOMPARE(journal,
             (QStringList { "g:attached:7", "g:detached:7", "o1:attached:9", "o1:detached:9" }));
}

void TestFramework::smartArray()
{
    ZSmartArray<int> source(4);
    for (int i = 10; i <= 15; ++i)
        source.append(i); // the last two are dropped
    QVERIFY(source.length() == 4 && source[3] == 13 && source.isComplete());

    // Assignment keeps a large enough buffer and grows a small one.
    ZSmartArray<int> big(20);
    const int *oldBuffer = big.data();
    big = source;
    QCOMPARE(big.data(), oldBuffer);
    ZSmartArray<int> small(2);
    small = source;
    ZSmartArray<int> copy(source);
    for (const ZSmartArray<int> *a : { &big, &small, &copy })
        QVERIFY(a->length() == 4 && a->maxSize() == 4 && (*a)[2] == 12);
    QCOMPARE(small.capacity(), 4u);

    big.setMaxSize(300);
    QVERIFY(big.capacity() == 300 && big[3] == 13); // content moved along
    big.setMaxSize(2);
    QVERIFY(big.length() == 2 && big.capacity() == 300);
    big.setMaxSize(0);
    QCOMPARE(big.maxSize(), 2u);
    big.setMaxSize(200); // within the capacity: no new buffer
    QCOMPARE(big.capacity(), 300u);
    big.clear();
    QCOMPARE(big.length(), 0u);
}

void TestFramework::formatNumber()
{
    const std::tuple<double, int, const char *> rows[] = {
        { 1234567.0, 8, "1234567.00000000" }, // exponent characters count as decimals
        { 0.0000123, 8, "0.000012" },
        { 42.0, 3, "42" },
        { 0.0, 8, "0" },
        { 1000 / 2.380952380952381, 6, "420" },
        { 1e6 / 16666666.666666668, 6, "0.06" },
        { 0.123456, 3, "0.123" },
        { 3.14159265, 8, "3.14159" },
        { -1.25, 8, "-1.25" },
        { 1e6, 8, "1000000" },
        { 1e8, 8, "1e+08" },
        { 0.0000123, 3, "0.000" },
    };
    for (const auto &[value, decimals, text] : rows)
        QCOMPARE(::formatNumber(value, decimals), QString(text));
}

void TestFramework::seriesAcrossChunks()
{
    ZSeries<double> series;
    const std::size_t n = 3 * ZSeries<double>::ChunkSize + 5;
    for (std::size_t i = 0; i < n; ++i)
        QVERIFY(series.push(double(i) * 0.5));
    const double *firstElement = &series.at(0);
    series.push(-1.0);
    QCOMPARE(&series.at(0), firstElement); // elements never move
    QCOMPARE(series.at(ZSeries<double>::ChunkSize), double(ZSeries<double>::ChunkSize) * 0.5);
    QCOMPARE(series.at(n - 1), double(n - 1) * 0.5);
    QVERIFY(series.allocatedBytes() >= 4 * ZSeries<double>::ChunkSize * sizeof(double));

    // A reader sees only the published prefix.
    const ZSeriesView<double> view(series, 4);
    QCOMPARE(std::vector<double>(view.begin(), view.end()),
             (std::vector<double> { 0, 0.5, 1, 1.5 }));
    QCOMPARE(view.last(), 1.5);
    QCOMPARE(*std::lower_bound(view.begin(), view.end(), 0.7), 1.0);
    series.clear();
    QCOMPARE(series.storedSize(), std::size_t(0));
}

QTEST_APPLESS_MAIN(TestFramework)
#include "tst_framework.moc"
