#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "model/zoutputwriter.h"
#include "tests/common/fakeoutputwriter.h"

#include "tests/common/coderecorder.h"

#include <QtTest>

using Codes = QList<int>;

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

template<class Channel> QList<int> idsOf(const std::vector<Channel *> &channels)
{
    QList<int> ids;
    for (const Channel *channel : channels)
        ids.append(channel->id());
    return ids;
}

QList<int> idRange(int kind, int count)
{
    QList<int> ids;
    for (int i = 0; i < count; ++i)
        ids.append(kind * 0x100 + i);
    return ids;
}

void appendOne(ZInChannel *channel, double time)
{
    const int raw = 1;
    channel->append(&time, &raw, 1);
}

// The digital output limits the table gives: A, B, or the class defaults of value-only outputs.
const QString LimitsA = limits(1000.0, 1000000.0, 16666666.666666668);
const QString LimitsB = limits(1.0, 4081.6326530612246, 4081.6326530612246);
const QString ValueOnly = limits(1000.0, 1000000.0, 16777215.0);

} // namespace

class TestBoxes : public QObject
{
    Q_OBJECT

private slots:
    // First: the playback identifiers count from the start of the process.
    void playbackIdentifiers();

    void channelsPerType_data();
    void channelsPerType();
    void outputsWriteThroughOwner();
    void samplingOrderAndClearing();
    void hasSamples();
    void addInputChannel();
    void destructionOrder();
};

void TestBoxes::playbackIdentifiers()
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
}

void TestBoxes::channelsPerType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("analogIns");
    QTest::addColumn<int>("digitIns");
    QTest::addColumn<int>("edgeCnts");
    QTest::addColumn<int>("analogOuts");
    QTest::addColumn<double>("minAnalog");
    QTest::addColumn<double>("minDigital");
    QTest::addColumn<int>("rangeMask");
    QTest::addColumn<int>("range");
    QTest::addColumn<double>("maxVoltage");
    QTest::addColumn<int>("digitOutModes");
    QTest::addColumn<QStringList>("digitOuts");

    const double ux100 = 3.125, ux100d = 2.380952380952381, ux107 = 2.2222222222222223;
    // clang-format off
    QTest::newRow("0 none")   << 0  << 0  << 0 << 0 << 0 << 0.0    << 0.0    << 15 << 8 << 2.5 << 3 << QStringList {};
    QTest::newRow("1 UX-100") << 1  << 2  << 1 << 0 << 0 << ux100  << ux100d << 15 << 8 << 2.5 << 1 << QStringList { ValueOnly };
    QTest::newRow("2 UX-101") << 2  << 2  << 1 << 0 << 0 << ux100  << ux100d << 8  << 8 << 2.5 << 1 << QStringList { ValueOnly };
    QTest::newRow("3 UX-102") << 3  << 3  << 1 << 0 << 0 << 10.0   << 8.0    << 15 << 8 << 2.5 << 1 << QStringList { ValueOnly };
    QTest::newRow("4 UX-103") << 4  << 4  << 1 << 0 << 0 << ux100  << ux100d << 15 << 8 << 2.5 << 3 << QStringList { LimitsA };
    QTest::newRow("5 UX-104") << 5  << 4  << 1 << 0 << 0 << ux100  << ux100d << 8  << 8 << 2.5 << 3 << QStringList { LimitsA };
    QTest::newRow("6 UX-105") << 6  << 4  << 1 << 0 << 0 << ux100  << ux100d << 15 << 8 << 2.5 << 3 << QStringList { LimitsA };
    QTest::newRow("7 UX-106") << 7  << 8  << 1 << 0 << 0 << ux100  << ux100d << 15 << 8 << 2.5 << 3 << QStringList { LimitsA };
    QTest::newRow("8 UX-107") << 8  << 4  << 1 << 1 << 1 << ux107  << ux107  << 15 << 8 << 4.0 << 3 << QStringList { LimitsA, LimitsA };
    QTest::newRow("9 UX-108") << 9  << 8  << 1 << 1 << 1 << ux107  << ux107  << 15 << 8 << 4.0 << 3 << QStringList { LimitsA, LimitsA };
    QTest::newRow("10 UX-109") << 10 << 14 << 5 << 2 << 4 << 1.0   << 1.0    << 1  << 1 << 2.5 << 3 << QStringList { LimitsB, LimitsA, LimitsB };
    QTest::newRow("11 unknown") << 11 << 0 << 0 << 0 << 0 << 0.0   << 0.0    << 15 << 8 << 2.5 << 3 << QStringList {};
    QTest::newRow("-1 unknown") << -1 << 0 << 0 << 0 << 0 << 0.0   << 0.0    << 15 << 8 << 2.5 << 3 << QStringList {};
    // clang-format on
}

void TestBoxes::channelsPerType()
{
    QFETCH(int, type);
    QFETCH(int, analogIns);
    QFETCH(int, digitIns);
    QFETCH(int, edgeCnts);
    QFETCH(int, analogOuts);
    QFETCH(double, minAnalog);
    QFETCH(double, minDigital);
    QFETCH(int, rangeMask);
    QFETCH(int, range);
    QFETCH(double, maxVoltage);
    QFETCH(int, digitOutModes);
    QFETCH(QStringList, digitOuts);

    const ZRealBox box(nullptr, type);
    QCOMPARE(box.boxType(), type);
    QCOMPARE(box.id(), int(RealBoxId));

    // The position in a list is the device channel number.
    QCOMPARE(idsOf(box.analogIns()), idRange(AnalogInKind, analogIns));
    QCOMPARE(idsOf(box.digitIns()), idRange(DigitInKind, digitIns));
    QCOMPARE(idsOf(box.edgeCnts()), idRange(EdgeCntKind, edgeCnts));
    QCOMPARE(idsOf(box.analogOuts()), idRange(AnalogOutKind, analogOuts));
    QCOMPARE(idsOf(box.digitOuts()), idRange(DigitOutKind, int(digitOuts.size())));

    for (const ZAnalogIn *channel : box.analogIns()) {
        QCOMPARE(limitsOf(channel), limits(minAnalog, 1000.0, 1000000.0));
        QCOMPARE(int(channel->rangeMask()), rangeMask);
        QCOMPARE(channel->range(), range);
    }
    for (const ZDigitIn *channel : box.digitIns())
        QCOMPARE(limitsOf(channel), limits(minDigital, 1000.0, 1000000.0));
    for (const ZEdgeCnt *channel : box.edgeCnts())
        QCOMPARE(limitsOf(channel), limits(minDigital, 1000.0, 1000000.0));
    for (const ZAnalogOut *channel : box.analogOuts()) {
        QCOMPARE(channel->maxVoltage(), maxVoltage);
        QCOMPARE(channel->minVoltage(), 0.0);
        QCOMPARE(int(channel->outModeMask()), 29);
        QCOMPARE(limitsOf(channel), limits(1000.0, 1000000.0, 16777215.0));
    }
    for (std::size_t i = 0; i < box.digitOuts().size(); ++i) {
        const ZDigitOut *channel = box.digitOuts()[i];
        QCOMPARE(int(channel->outModeMask()), digitOutModes);
        QCOMPARE(channel->outMode(), int(OutValue));
        QCOMPARE(limitsOf(channel), digitOuts.at(int(i)));
    }
}

void TestBoxes::outputsWriteThroughOwner()
{
    FakeOutputWriter owner;
    ZRealBox box(&owner, 10);
    box.analogOuts()[3]->setVoltage(2.5); // not sampling: stored only
    box.startSampling();
    QVERIFY(box.analogOuts()[3]->isSampling() && box.digitOuts()[2]->isSampling());
    box.analogOuts()[3]->setVoltage(1.25);
    box.digitOuts()[2]->setStatus(true);
    box.stopSampling();
    box.digitOuts()[2]->setStatus(false);
    QCOMPARE(owner.writes, (QStringList { "analog:3:32767", "digital:2:1" }));
}

void TestBoxes::samplingOrderAndClearing()
{
    QStringList journal;
    ZRealBox box(nullptr, 8);
    appendOne(box.analogIns()[1], 0.5);
    appendOne(box.edgeCnts()[0], 0.5);

    CodeRecorder<ZBox> boxRecorder("box", &journal);
    boxRecorder.attach(&box);
    std::vector<std::unique_ptr<CodeRecorder<ZComponent>>> recorders;
    const auto watch = [&](ZComponent *channel, const QString &name) {
        recorders.push_back(std::make_unique<CodeRecorder<ZComponent>>(name, &journal));
        recorders.back()->attach(channel);
    };
    watch(box.analogIns()[0], "ai0");
    watch(box.analogIns()[1], "ai1");
    watch(box.digitIns()[0], "di0");
    watch(box.edgeCnts()[0], "cnt0");
    watch(box.analogOuts()[0], "ao0");
    watch(box.digitOuts()[1], "do1");

    // Outputs first, then inputs in kind order, the box last; inputs clear their series.
    QVERIFY(box.startSampling());
    QCOMPARE(journal,
             (QStringList { "ao0:0", "do1:0", "ai0:0", "ai1:203", "ai1:0", "di0:0", "cnt0:203",
                            "cnt0:0", "box:0" }));
    QVERIFY(!box.hasSamples());
    QVERIFY(box.isSampling());

    journal.clear();
    box.startSampling();
    QVERIFY(journal.isEmpty());

    appendOne(box.digitIns()[0], 1.0);
    journal.clear();
    QVERIFY(box.stopSampling());
    QCOMPARE(journal,
             (QStringList { "ao0:0", "do1:0", "ai0:0", "ai1:0", "di0:0", "cnt0:0", "box:0" }));
    QVERIFY(box.hasSamples()); // stopping keeps the series
    QVERIFY(!box.digitIns()[0]->isSampling());
}

// A sample in the last channel of any input kind counts, on either kind of box.
void TestBoxes::hasSamples()
{
    for (int kind : { AnalogInKind, DigitInKind, EdgeCntKind }) {
        ZRealBox real(nullptr, 10);
        ZImgyBox playback(10);
        playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0)));
        playback.addDigitIn(std::make_unique<ZDigitIn>(componentId(DigitInKind, 0)));
        playback.addEdgeCnt(std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, 0)));
        for (ZBox *box : std::initializer_list<ZBox *> { &real, &playback }) {
            QVERIFY(!box->hasSamples());
            const auto last = [](const auto &channels) -> ZInChannel * {
                return channels.back();
            };
            appendOne(kind == AnalogInKind      ? last(box->analogIns())
                          : kind == DigitInKind ? last(box->digitIns())
                                                : last(box->edgeCnts()),
                      0.25);
            QVERIFY2(box->hasSamples(), qPrintable(QString::number(kind)));
        }
    }
}

void TestBoxes::addInputChannel()
{
    ZImgyBox box(9);
    QVERIFY(!box.addAnalogIn(nullptr));
    QVERIFY(!box.addDigitIn(nullptr));
    QVERIFY(!box.addEdgeCnt(nullptr));
    QVERIFY(box.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0))));
    QVERIFY(box.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 1))));
    // Handing over a channel the box already owns is refused, and it stays owned once.
    ZAnalogIn *owned = box.analogIns()[0];
    QVERIFY(!box.addAnalogIn(std::unique_ptr<ZAnalogIn>(owned)));
    QCOMPARE(idsOf(box.analogIns()), (QList<int> { 0, 1 }));
    QVERIFY(box.addEdgeCnt(std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, 0))));
    QCOMPARE(box.edgeCnts().size(), std::size_t(1));
}

void TestBoxes::destructionOrder()
{
    QStringList journal;
    std::vector<std::unique_ptr<CodeRecorder<ZComponent>>> recorders;
    CodeRecorder<ZBox> boxRecorder("box", &journal);
    const auto watch = [&](ZComponent *channel, const QString &name) {
        recorders.push_back(std::make_unique<CodeRecorder<ZComponent>>(name, &journal));
        recorders.back()->attach(channel);
    };
    {
        ZRealBox box(nullptr, 8);
        boxRecorder.attach(&box);
        watch(box.edgeCnts()[0], "cnt0");
        watch(box.analogIns()[0], "ai0");
        watch(box.analogIns()[3], "ai3");
        watch(box.digitIns()[0], "di0");
        watch(box.digitOuts()[0], "do0");
        watch(box.digitOuts()[1], "do1");
        watch(box.analogOuts()[0], "ao0");
    }
    QCOMPARE(journal,
             (QStringList { "ao0:detached", "do0:detached", "do1:detached", "box:detached",
                            "ai0:detached", "ai3:detached", "di0:detached", "cnt0:detached" }));
    for (const auto &recorder : recorders)
        QCOMPARE(recorder->subject(), nullptr);

    journal.clear();
    {
        ZImgyBox box(1);
        box.addDigitIn(std::make_unique<ZDigitIn>(componentId(DigitInKind, 0)));
        boxRecorder.attach(&box);
        watch(box.digitIns()[0], "di0");
    }
    QCOMPARE(journal, (QStringList { "box:detached", "di0:detached" }));
}

QTEST_GUILESS_MAIN(TestBoxes)
#include "tst_boxes.moc"
