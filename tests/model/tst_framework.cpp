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

    bool update(int code) override
    {
        m_journal->append(QStringLiteral("%1:update:%2").arg(m_name).arg(code, 0, 16));
        return true;
    }
    bool onAttached() override
    {
        m_journal->append(QStringLiteral("%1:attached:%2").arg(m_name).arg(subjectId()));
        return true;
    }
    bool onDetached() override
    {
        m_journal->append(QStringLiteral("%1:detached:%2").arg(m_name).arg(subjectId()));
        return true;
    }

private:
    int subjectId() const { return subject() ? subject()->id() : -1; }

    QString m_name;
    QStringList *m_journal;
};

} // namespace

class TestFramework : public QObject
{
    Q_OBJECT

private slots:
    void attachTwice();
    void attachToAnotherSubject();
    void detachRules();
    void detachAllInReverseOrder();
    void notifyInAttachOrder();
    void samplingNotifiesOnce();
    void observerDestructionDetaches();

    void smartArrayAppendAndDrop();
    void smartArrayCopyAndAssign();
    void smartArraySetMaxSize();

    void formatNumber_data();
    void formatNumber();

    void seriesAcrossChunks();
    void seriesViewIteration();
};

void TestFramework::attachTwice()
{
    QStringList journal;
    Subject s;
    Recorder o("o", &journal);
    QVERIFY(o.attach(&s));
    QVERIFY(!o.attach(&s));
    QVERIFY(!o.attach(nullptr));
    QCOMPARE(journal, QStringList { "o:attached:7" });
    s.notify(0x100);
    QCOMPARE(journal.count("o:update:100"), 1); // in the list once
}

void TestFramework::attachToAnotherSubject()
{
    QStringList journal;
    Subject a(1), b(2);
    Recorder o("o", &journal);
    o.attach(&a);
    QVERIFY(o.attach(&b));
    QCOMPARE(journal, (QStringList { "o:attached:1", "o:detached:1", "o:attached:2" }));
    QCOMPARE(o.subject(), &b);
    journal.clear();
    a.notify(0x200);
    b.notify(0x201);
    QCOMPARE(journal, QStringList { "o:update:201" });
}

void TestFramework::detachRules()
{
    QStringList journal;
    Subject a(1), b(2);
    Recorder o("o", &journal), stranger("x", &journal);
    o.attach(&a);
    journal.clear();
    QVERIFY(!o.detach(nullptr));
    QVERIFY(!o.detach(&b));
    QVERIFY(!a.detach(nullptr));
    QVERIFY(!a.detach(&stranger));
    QVERIFY(journal.isEmpty());
    QVERIFY(a.detach(&o));
    QCOMPARE(journal, QStringList { "o:detached:1" }); // subject still set in the hook
    QCOMPARE(o.subject(), nullptr);
    QVERIFY(!o.detach(&a));
}

void TestFramework::detachAllInReverseOrder()
{
    QStringList journal;
    Subject s;
    Recorder o1("o1", &journal), o2("o2", &journal), o3("o3", &journal);
    o1.attach(&s);
    o2.attach(&s);
    o3.attach(&s);
    journal.clear();
    s.detachAll();
    QCOMPARE(journal, (QStringList { "o3:detached:7", "o2:detached:7", "o1:detached:7" }));
    QVERIFY(!o1.subject() && !o2.subject() && !o3.subject());
}

void TestFramework::notifyInAttachOrder()
{
    QStringList journal;
    Subject s;
    Recorder o1("o1", &journal), o2("o2", &journal);
    o2.attach(&s);
    o1.attach(&s);
    journal.clear();
    s.notify(0x303);
    QCOMPARE(journal, (QStringList { "o2:update:303", "o1:update:303" }));
}

void TestFramework::samplingNotifiesOnce()
{
    QStringList journal;
    Subject s;
    Recorder o("o", &journal);
    o.attach(&s);
    journal.clear();
    s.setSampling(true);
    s.setSampling(true);
    QVERIFY(s.isSampling());
    s.setSampling(false);
    QCOMPARE(journal, (QStringList { "o:update:0", "o:update:0" }));
}

void TestFramework::observerDestructionDetaches()
{
    QStringList journal;
    Subject s;
    {
        Recorder o("o", &journal);
        o.attach(&s);
    }
    QCOMPARE(journal.last(), QString("o:detached:7"));
    journal.clear();
    s.notify(1); // nobody left to call
    QVERIFY(journal.isEmpty());

    Recorder survivor("r", &journal);
    {
        Subject gone(9);
        survivor.attach(&gone);
    }
    QCOMPARE(survivor.subject(), nullptr);
    QCOMPARE(journal.last(), QString("r:detached:9"));
}

void TestFramework::smartArrayAppendAndDrop()
{
    ZSmartArray<int> a(4);
    for (int i = 1; i <= 6; ++i)
        a.append(i);
    QCOMPARE(a.length(), 4u);
    QCOMPARE(a[0], 1);
    QCOMPARE(a[3], 4);
    QVERIFY(a.isComplete());
    a.clear();
    QCOMPARE(a.length(), 0u);
    QCOMPARE(a.maxSize(), 4u);
}

void TestFramework::smartArrayCopyAndAssign()
{
    ZSmartArray<int> source(10);
    for (int i = 0; i < 3; ++i)
        source.append(i + 10);

    ZSmartArray<int> big(20);
    const int *oldBuffer = big.data();
    big = source;
    QCOMPARE(big.data(), oldBuffer); // the old buffer is kept
    QCOMPARE(big.length(), 3u);
    QCOMPARE(big.maxSize(), 10u);
    QCOMPARE(big[2], 12);

    ZSmartArray<int> small(2);
    small = source;
    QCOMPARE(small.capacity(), 10u);
    QCOMPARE(small.maxSize(), 10u);
    QCOMPARE(small[1], 11);

    const ZSmartArray<int> copy(source);
    QCOMPARE(copy.length(), 3u);
    QCOMPARE(copy.maxSize(), 10u);
    QCOMPARE(copy[0], 10);
}

void TestFramework::smartArraySetMaxSize()
{
    ZSmartArray<unsigned char> a(257);
    for (unsigned char b : { 1, 2, 3, 4 })
        a.append(b);
    a.setMaxSize(300);
    QCOMPARE(a.capacity(), 300u);
    QCOMPARE(a.maxSize(), 300u);
    QCOMPARE(a.length(), 4u);
    QCOMPARE(int(a[3]), 4);
    a.setMaxSize(2);
    QCOMPARE(a.length(), 2u);
    QCOMPARE(a.maxSize(), 2u);
    QCOMPARE(a.capacity(), 300u);
    a.setMaxSize(0);
    QCOMPARE(a.maxSize(), 2u);
    a.setMaxSize(100); // within the capacity: no new buffer
    QCOMPARE(a.capacity(), 300u);
    QCOMPARE(a.maxSize(), 100u);
}

void TestFramework::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("exponent counts as decimals") << 1234567.0 << 8 << "1234567.00000000";
    QTest::newRow("small value") << 0.0000123 << 8 << "0.000012";
    QTest::newRow("integer") << 42.0 << 3 << "42";
    QTest::newRow("zero") << 0.0 << 8 << "0";
    QTest::newRow("time") << 1.5 << 3 << "1.5";
    QTest::newRow("rate 320") << 320.0 << 6 << "320";
    QTest::newRow("rate 420") << 1000 / 2.380952380952381 << 6 << "420";
    QTest::newRow("rate 0.06") << 1e6 / 16666666.666666668 << 6 << "0.06";
    QTest::newRow("limited decimals") << 0.123456 << 3 << "0.123";
    QTest::newRow("rounds to 6 digits") << 3.14159265 << 8 << "3.14159";
    QTest::newRow("negative voltage") << -1.25 << 8 << "-1.25";
    QTest::newRow("exponent without point") << 1e6 << 8 << "1000000";
    QTest::newRow("exponent at 8 digits") << 1e8 << 8 << "1e+08";
    QTest::newRow("duration") << 60.0 << 3 << "60";
    QTest::newRow("millisecond") << 0.001 << 3 << "0.001";
    QTest::newRow("tiny at 3 decimals") << 0.0000123 << 3 << "0.000";
}

void TestFramework::formatNumber()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(::formatNumber(value, decimals), text);
}

void TestFramework::seriesAcrossChunks()
{
    ZSeries<double> series;
    const std::size_t n = 3 * ZSeries<double>::ChunkSize + 5;
    for (std::size_t i = 0; i < n; ++i)
        QVERIFY(series.push(double(i) * 0.5));
    QCOMPARE(series.storedSize(), n);
    const double *firstElement = &series.at(0);
    series.push(-1.0);
    QCOMPARE(&series.at(0), firstElement); // elements never move
    QCOMPARE(series.at(ZSeries<double>::ChunkSize), double(ZSeries<double>::ChunkSize) * 0.5);
    QCOMPARE(series.at(n - 1), double(n - 1) * 0.5);
    QVERIFY(series.allocatedBytes() >= 4 * ZSeries<double>::ChunkSize * sizeof(double));
    series.clear();
    QCOMPARE(series.storedSize(), std::size_t(0));
}

void TestFramework::seriesViewIteration()
{
    ZSeries<int> series;
    for (int i = 0; i < 10; ++i)
        series.push(i * i);
    const ZSeriesView<int> view(series, 4); // a reader sees only the published prefix
    QCOMPARE(view.size(), std::size_t(4));
    QCOMPARE(view.last(), 9);
    const std::vector<int> copy(view.begin(), view.end());
    QCOMPARE(copy, (std::vector<int> { 0, 1, 4, 9 }));
    QCOMPARE(*std::lower_bound(view.begin(), view.end(), 3), 4);
}

QTEST_APPLESS_MAIN(TestFramework)
#include "tst_framework.moc"
