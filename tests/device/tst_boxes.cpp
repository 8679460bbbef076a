#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "tests/common/coderecorder.h"
#include "tests/common/fakeoutputwriter.h"

#include <QtTest>

namespace {

// Interval limits a channel ends with, as "minimum <= interval <= maximum".
QString limits(double minimum, double interval, double maximum)
{
    return QStringLiteral("%1 <= %2 <= %3")
        .arg(minimum, 0, 'g', 17)
        .arg(interval, 0, 'g', 17)
        .arg(maximum, 0, 'g', 17);
}

template<class Channel> QString limitsOf(const Channel *channel)
{
    return limits(channel->minInterval(), channel->interval(), channel->maxInterval());
}

// As many channels as given, each at its place: the place is the device channel number.
template<class Channel>
bool inChannelOrder(const std::vector<Channel *> &channels, ZComponentKind kind, int count)
{
    for (std::size_t i = 0; i < channels.size(); ++i)
        if (channels[i]->id() != componentId(kind, int(i)))
            return false;
    return int(channels.size()) == count;
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
    int type, analogIns, digitIns, edgeCnts, analogOuts;
    double minAnalog, minDigital;
    int rangeMask, range;
    double maxVoltage;
    int digitOutModes;
    QStringList digitOuts; // the interval limits of each
};

} // namespace

Q_DECLARE_METATYPE(TypeRow)

class TestBoxes : public QObject
{
    Q_OBJECT

private slots:
    // First: the playback identifiers count from the start of the process.
    void playbackBoxes();
    void channelsPerType_data();
    void channelsPerType();
    void samplingOrderAndOutputs();
    void hasSamples();
    void destructionOrder();
};

void TestBoxes::playbackBoxes()
{
    ZImgyBox first(3);
    ZImgyBox second(0);
    QCOMPARE(first.id(), 0x1000);
    QCOMPARE(second.id(), 0x1001);
    QCOMPARE(ZImgyBox(10).id(), 0x1002);
    QCOMPARE(ZRealBox(nullptr, 4).id(), 0x2000);
    QCOMPARE(ZRealBox(nullptr, 0).id(), 0x2000);
    // A playback box starts empty, whatever its type.
    QCOMPARE(first.boxType(), 3);
    QVERIFY(first.analogIns().empty() && first.digitIns().empty() && first.edgeCnts().empty());
    QVERIFY(first.savedTime().isEmpty());

    QVERIFY(!first.addAnalogIn(nullptr) && !first.addDigitIn(nullptr));
    QVERIFY(!first.addEdgeCnt(nullptr));
    QVERIFY(first.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0))));
    QVERIFY(first.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 1))));
    // Handing over a channel the box already owns is refused, and it stays owned once.
    QVERIFY(!first.addAnalogIn(std::unique_ptr<ZAnalogIn>(first.analogIns()[0])));
    QVERIFY(inChannelOrder(first.analogIns(), AnalogInKind, 2));
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
             TypeRow { 0,  0,  0, 0, 0, 0.0,   0.0,    15, 8, 2.5, 3, {} },
             TypeRow { 1,  2,  1, 0, 0, ux100, ux100d, 15, 8, 2.5, 1, { valueOnly } },
             TypeRow { 2,  2,  1, 0, 0, ux100, ux100d, 8,  8, 2.5, 1, { valueOnly } },
             TypeRow { 3,  3,  1, 0, 0, 10.0,  8.0,    15, 8, 2.5, 1, { valueOnly } },
             TypeRow { 4,  4,  1, 0, 0, ux100, ux100d, 15, 8, 2.5, 3, { a } },
             TypeRow { 8,  4,  1, 1, 1, ux107, ux107,  15, 8, 4.0, 3, { a, a } },
             TypeRow { 10, 14, 5, 2, 4, 1.0,   1.0,    1,  1, 2.5, 3, { b, a, b } },
             TypeRow { 11, 0,  0, 0, 0, 0.0,   0.0,    15, 8, 2.5, 3, {} } })
        QTest::addRow("type %d", row.type) << row;
    // clang-format on
}

void TestBoxes::channelsPerType()
{
    QFETCH(TypeRow, row);
    const ZRealBox box(nullptr, row.type);
    QCOMPARE(box.boxType(), row.type);
    QCOMPARE(box.id(), int(RealBoxId));
    QVERIFY(inChannelOrder(box.analogIns(), AnalogInKind, row.analogIns));
    QVERIFY(inChannelOrder(box.digitIns(), DigitInKind, row.digitIns));
    QVERIFY(inChannelOrder(box.edgeCnts(), EdgeCntKind, row.edgeCnts));
    QVERIFY(inChannelOrder(box.analogOuts(), AnalogOutKind, row.analogOuts));
    QVERIFY(inChannelOrder(box.digitOuts(), DigitOutKind, int(row.digitOuts.size())));
    for (const ZAnalogIn *channel : box.analogIns()) {
        QCOMPARE(limitsOf(channel), limits(row.minAnalog, 1000.0, 1000000.0));
        QCOMPARE(int(channel->rangeMask()), row.rangeMask);
        QCOMPARE(channel->range(), row.range);
    }
    for (const ZDigitIn *channel : box.digitIns())
        QCOMPARE(limitsOf(channel), limits(row.minDigital, 1000.0, 1000000.0));
    for (const ZEdgeCnt *channel : box.edgeCnts())
        QCOMPARE(limitsOf(channel), limits(row.minDigital, 1000.0, 1000000.0));
    for (const ZAnalogOut *channel : box.analogOuts())
        QCOMPARE(channel->maxVoltage(), row.maxVoltage);
    for (std::size_t i = 0; i < box.digitOuts().size(); ++i) {
        const ZDigitOut *channel = box.digitOuts()[i];
        QCOMPARE(int(channel->outModeMask()), row.digitOutModes);
        QCOMPARE(limitsOf(channel), row.digitOuts.at(int(i)));
    }
}

// Outputs first, then inputs in kind order, the box last; inputs clear their series on
// start and keep them on stop. Only while sampling do outputs write through the owner.
void TestBoxes::samplingOrderAndOutputs()
{
    FakeOutputWriter owner;
    Journal journal;
    ZRealBox box(&owner, 8);
    appendOne(box.analogIns()[1], 0.5);
    appendOne(box.edgeCnts()[0], 0.5);
    journal.box.attach(&box);
    journal.watch(box.analogIns()[0], "ai0");
    journal.watch(box.analogIns()[1], "ai1");
    journal.watch(box.digitIns()[0], "di0");
    journal.watch(box.edgeCnts()[0], "cnt0");
    journal.watch(box.analogOuts()[0], "ao0");
    journal.watch(box.digitOuts()[1], "do1");
    box.analogOuts()[0]->setVoltage(3.0);
    journal.take();

    QVERIFY(box.startSampling());
    QCOMPARE(journal.take(),
             (QStringList { "ao0:0", "do1:0", "ai0:0", "ai1:203", "ai1:0", "di0:0", "cnt0:203",
                            "cnt0:0", "box:0" }));
    QVERIFY(!box.hasSamples() && box.isSampling());
    box.startSampling();
    QVERIFY(journal.take().isEmpty());

    box.analogOuts()[0]->setVoltage(2.0); // of 4 V
    box.digitOuts()[1]->setStatus(true);
    appendOne(box.digitIns()[0], 1.0);
    journal.take();
    QVERIFY(box.stopSampling());
    QCOMPARE(journal.take(),
             (QStringList { "ao0:0", "do1:0", "ai0:0", "ai1:0", "di0:0", "cnt0:0", "box:0" }));
    box.digitOuts()[1]->setStatus(false);
    QCOMPARE(owner.writes, (QStringList { "analog:0:32767", "digital:1:1" }));
    QVERIFY(box.hasSamples() && !box.digitIns()[0]->isSampling());
}

// A sample in the last channel of any input kind counts.
void TestBoxes::hasSamples()
{
    ZRealBox box(nullptr, 10);
    for (ZInChannel *last : std::initializer_list<ZInChannel *> {
             box.analogIns().back(), box.digitIns().back(), box.edgeCnts().back() }) {
        QVERIFY(box.startSampling() && !box.hasSamples());
        appendOne(last, 0.25);
        QVERIFY2(box.stopSampling() && box.hasSamples(), qPrintable(QString::number(last->id())));
    }
}

void TestBoxes::destructionOrder()
{
    Journal journal;
    {
        ZRealBox box(nullptr, 8);
        journal.box.attach(&box);
        journal.watch(box.edgeCnts()[0], "cnt0");
        journal.watch(box.analogIns()[0], "ai0");
        journal.watch(box.analogIns()[3], "ai3");
        journal.watch(box.digitIns()[0], "di0");
        journal.watch(box.digitOuts()[0], "do0");
        journal.watch(box.digitOuts()[1], "do1");
        journal.watch(box.analogOuts()[0], "ao0");
    }
    QCOMPARE(journal.take(),
             (QStringList { "ao0:detached", "do0:detached", "do1:detached", "box:detached",
                            "ai0:detached", "ai3:detached", "di0:detached", "cnt0:detached" }));
    for (const auto &recorder : journal.recorders)
        QCOMPARE(recorder->subject(), nullptr);
    {
        ZImgyBox box(1);
        box.addDigitIn(std::make_unique<ZDigitIn>(componentId(DigitInKind, 0)));
        journal.box.attach(&box);
        journal.watch(box.digitIns()[0], "di0");
    }
    QCOMPARE(journal.take(), (QStringList { "box:detached", "di0:detached" }));
}

QTEST_GUILESS_MAIN(TestBoxes)
#include "tst_boxes.moc"
