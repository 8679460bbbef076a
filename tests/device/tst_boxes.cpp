#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "tests/common/coderecorder.h"
#include "tests/common/fakeoutputwriter.h"

#include <QtTest>

namespace {

// Interval limits as "minimum <= interval <= maximum".
QString limits(double minimum, double interval, double maximum)
{
    return QStringLiteral("%1 <= %2 <= %3")
        .arg(minimum, 0, 'g', 17)
        .arg(interval, 0, 'g', 17)
        .arg(maximum, 0, 'g', 17);
}

// The limits of each channel, or "misplaced" where its id does not name its place.
template<class Channel>
QStringList limitsOf(const std::vector<Channel *> &channels, ZComponentKind kind)
{
    QStringList each;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const Channel *c = channels[i];
        each << (c->id() != componentId(kind, int(i))
                     ? QStringLiteral("misplaced")
                     : limits(c->minInterval(), c->interval(), c->maxInterval()));
    }
    return each;
}

void appendOne(ZInChannel *channel, double time)
{
    const int raw = 1;
    channel->append(&time, &raw, 1);
}

// Recorders writing "name:code" and "name:detached" into one journal, to show the order.
struct Journal
{
    QStringList lines;
    std::vector<std::unique_ptr<CodeRecorder<ZComponent>>> recorders;
    CodeRecorder<ZBox> box { "box", &lines };

    void watch(ZComponent *channel, const QString &name)
    {
        recorders.push_back(std::make_unique<CodeRecorder<ZComponent>>(name, &lines));
        recorders.back()->attach(channel);
    }
    QStringList take() { return std::exchange(lines, QStringList()); }
};

struct TypeRow
{
    int type, analogIns, digitIns, edgeCnts, analogOuts, rangeMask, range, digitOutModes;
    double minAnalog, minDigital, maxVoltage;
    QStringList digitOuts; // the interval limits of each
};

} // namespace

Q_DECLARE_METATYPE(TypeRow)

class TestBoxes : public QObject
{
    Q_OBJECT

private slots:
    // First: the playback identifiers count from the start of the process.
    void playbackBox();
    void channelsPerType_data();
    void channelsPerType();
    void samplingOutputsAndDestruction();
};

void TestBoxes::playbackBox()
{
    auto box = std::make_unique<ZImgyBox>(3);
    QCOMPARE(box->id(), 0x1000);
    QCOMPARE(ZImgyBox(0).id(), 0x1001);
    // It starts empty, whatever its type, and takes channels one by one.
    QVERIFY(box->analogIns().empty() && box->digitIns().empty() && box->edgeCnts().empty());
    QVERIFY(!box->addAnalogIn(nullptr) && !box->addDigitIn(nullptr) && !box->addEdgeCnt(nullptr));
    QVERIFY(box->addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0))));
    QVERIFY(box->addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 1))));
    // Handing over a channel the box already owns is refused, and it stays owned once.
    QVERIFY(!box->addAnalogIn(std::unique_ptr<ZAnalogIn>(box->analogIns()[0])));
    QCOMPARE(limitsOf(box->analogIns(), AnalogInKind).size(), 2);
    // Its observers are let go before its channels.
    Journal journal;
    journal.box.attach(box.get());
    journal.watch(box->analogIns()[1], "ai1");
    box.reset();
    QCOMPARE(journal.take(), (QStringList { "box:detached", "ai1:detached" }));
}

void TestBoxes::channelsPerType_data()
{
    const QString a = limits(1000.0, 1000000.0, 16666666.666666668);
    const QString b = limits(1.0, 4081.6326530612246, 4081.6326530612246);
    const QString valueOnly = limits(1000.0, 1000000.0, 16777215.0);
    const double ux100 = 3.125, ux100d = 2.380952380952381, ux107 = 2.2222222222222223;
    QTest::addColumn<TypeRow>("row");
    // clang-format off
    for (const TypeRow &row : {
             TypeRow { 0,  0,  0, 0, 0, 15, 8, 3, 0.0,   0.0,    2.5, {} },
             TypeRow { 1,  2,  1, 0, 0, 15, 8, 1, ux100, ux100d, 2.5, { valueOnly } },
             TypeRow { 2,  2,  1, 0, 0, 8,  8, 1, ux100, ux100d, 2.5, { valueOnly } },
             TypeRow { 3,  3,  1, 0, 0, 15, 8, 1, 10.0,  8.0,    2.5, { valueOnly } },
             TypeRow { 4,  4,  1, 0, 0, 15, 8, 3, ux100, ux100d, 2.5, { a } },
             TypeRow { 8,  4,  1, 1, 1, 15, 8, 3, ux107, ux107,  4.0, { a, a } },
             TypeRow { 10, 14, 5, 2, 4, 1,  1, 3, 1.0,   1.0,    2.5, { b, a, b } },
             TypeRow { 11, 0,  0, 0, 0, 15, 8, 3, 0.0,   0.0,    2.5, {} } })
        QTest::addRow("type %d", row.type) << row;
    // clang-format on
}

void TestBoxes::channelsPerType()
{
    QFETCH(TypeRow, row);
    const ZRealBox box(nullptr, row.type);
    QCOMPARE(box.id(), int(RealBoxId)); // whatever the type
    const QString analog = limits(row.minAnalog, 1000.0, 1000000.0);
    const QString digital = limits(row.minDigital, 1000.0, 1000000.0);
    QCOMPARE(limitsOf(box.analogIns(), AnalogInKind), QVector(row.analogIns, analog).toList());
    QCOMPARE(limitsOf(box.digitIns(), DigitInKind), QVector(row.digitIns, digital).toList());
    QCOMPARE(limitsOf(box.edgeCnts(), EdgeCntKind), QVector(row.edgeCnts, digital).toList());
    QCOMPARE(limitsOf(box.digitOuts(), DigitOutKind), row.digitOuts);
    QCOMPARE(limitsOf(box.analogOuts(), AnalogOutKind).size(), row.analogOuts);
    for (const ZAnalogIn *channel : box.analogIns())
        QVERIFY(channel->rangeMask() == row.rangeMask && channel->range() == row.range);
    for (const ZAnalogOut *channel : box.analogOuts())
        QCOMPARE(channel->maxVoltage(), row.maxVoltage);
    for (const ZDigitOut *channel : box.digitOuts())
        QCOMPARE(int(channel->outModeMask()), row.digitOutModes);
}

// Outputs first, then inputs in kind order, the box last; inputs clear their series on
// start and keep them on stop, and a sample in any kind counts. Only while sampling do
// outputs write through the owner. Destroyed, the box lets go of its outputs, its
// observers, then its inputs.
void TestBoxes::samplingOutputsAndDestruction()
{
    FakeOutputWriter owner;
    Journal journal;
    auto box = std::make_unique<ZRealBox>(&owner, 8);
    appendOne(box->analogIns()[1], 0.5);
    appendOne(box->edgeCnts()[0], 0.5);
    journal.box.attach(box.get());
    journal.watch(box->analogIns()[1], "ai1");
    journal.watch(box->digitIns()[0], "di0");
    journal.watch(box->edgeCnts()[0], "cnt0");
    journal.watch(box->analogOuts()[0], "ao0");
    journal.watch(box->digitOuts()[1], "do1");
    box->analogOuts()[0]->setVoltage(3.0);
    journal.take();

    QVERIFY(box->startSampling());
    QCOMPARE(journal.take(),
             (QStringList { "ao0:0", "do1:0", "ai1:203", "ai1:0", "di0:0", "cnt0:203", "cnt0:0",
                            "box:0" }));
    QVERIFY(!box->hasSamples() && box->isSampling());
    box->startSampling();
    QVERIFY(journal.take().isEmpty());
    box->analogOuts()[0]->setVoltage(2.0); // of 4 V
    box->digitOuts()[1]->setStatus(true);
    journal.take();
    QVERIFY(box->stopSampling());
    QCOMPARE(journal.take(),
             (QStringList { "ao0:0", "do1:0", "ai1:0", "di0:0", "cnt0:0", "box:0" }));
    box->digitOuts()[1]->setStatus(false);
    QCOMPARE(owner.writes, (QStringList { "analog:0:32767", "digital:1:1" }));
    QVERIFY(!box->hasSamples() && !box->digitIns()[0]->isSampling());
    for (ZInChannel *last : std::initializer_list<ZInChannel *> {
             box->analogIns().back(), box->digitIns().back(), box->edgeCnts().back() }) {
        QVERIFY(box->startSampling() && !box->hasSamples());
        appendOne(last, 0.25);
        QVERIFY2(box->stopSampling() && box->hasSamples(), qPrintable(QString::number(last->id())));
    }

    journal.take();
    box.reset();
    QCOMPARE(journal.take(),
             (QStringList { "ao0:detached", "do1:detached", "box:detached", "ai1:detached",
                            "di0:detached", "cnt0:detached" }));
    for (const auto &recorder : journal.recorders)
        QCOMPARE(recorder->subject(), nullptr);
}

QTEST_GUILESS_MAIN(TestBoxes)
#include "tst_boxes.moc"
