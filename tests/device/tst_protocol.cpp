#include "devicetestutil.h"

#include "device/zanswerassembler.h"
#include "device/zprotocol.h"
#include "device/zsamplerecord.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace ZProtocol;

// Frame builders, the rate rule, calibration and sample-record decoding, and the answer
// assembler: everything that decides which bytes go over the wire.
class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames_data();
    void commandFrames();
    void rateRule_data();
    void rateRule();
    void calibration_data();
    void calibration();
    void sampleRecords_data();
    void sampleRecords();
    void assembler_data();
    void assembler();
    void assemblerStopsAtFrame();
    void assemblerGrowsForLongFrames();
    void echoComparison_data();
    void echoComparison();
};

void TestProtocol::commandFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    // The plain frames show in the run configuration; here the edges of each builder.
    QTest::newRow("analog in selected")
        << bytesOf(analogInFrame(0, 8, true)) << QByteArray::fromHex("aa03130088");
    QTest::newRow("analog in 13, +-10 V")
        << bytesOf(analogInFrame(13, 1, true)) << QByteArray::fromHex("aa03130d81");
    QTest::newRow("analog in from an identifier")
        << bytesOf(analogInFrame(0x105, 2, false)) << QByteArray::fromHex("aa03130502");
    QTest::newRow("rate 24 bits") << bytesOf(rateFrame(0x123456))
                                  << QByteArray::fromHex("aa041b123456");
    QTest::newRow("rate clamped") << bytesOf(rateFrame(0x1000000))
                                  << QByteArray::fromHex("aa041bffffff");
    QTest::newRow("analog out value, 16 bits")
        << bytesOf(analogOutValueFrame(3, 0x1FFFF)) << QByteArray::fromHex("aa05020301ffff");
    QTest::newRow("analog out sine, period truncated")
        << bytesOf(analogOutWaveFrame(0, OutModeSine, 1234567.9))
        << QByteArray::fromHex("aa0602000412d687");
    QTest::newRow("analog out sawtooth, largest period")
        << bytesOf(analogOutWaveFrame(3, OutModeSawtooth, 16777215.0))
        << QByteArray::fromHex("aa06020310ffffff");
    QTest::newRow("analog out, period beyond 24 bits clamped")
        << bytesOf(analogOutWaveFrame(3, OutModeSine, 1e9))
        << QByteArray::fromHex("aa06020304ffffff");
    QTest::newRow("analog out, NaN period")
        << bytesOf(analogOutWaveFrame(0, OutModeSine, std::nan("")))
        << QByteArray::fromHex("aa06020004000000");
    QTest::newRow("digital out pwm, limits B")
        << bytesOf(digitOutPwmFrame(0, 4081.6326530612246, 99))
        << QByteArray::fromHex("aa070a0002000ff163");
    QTest::newRow("calibration") << bytesOf(calibrationRequestFrame(3, 2))
                                 << QByteArray::fromHex("aa03f00302");
}

void TestProtocol::commandFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestProtocol::rateRule_data()
{
    QTest::addColumn<double>("intervalMs");
    QTest::addColumn<unsigned>("rate");

    QTest::newRow("3.125 ms") << 3.125 << 320u;
    QTest::newRow("2.2222222222222223 ms") << 2.2222222222222223 << 450u;
    QTest::newRow("2.380952380952381 ms") << 2.380952380952381 << 420u;
    QTest::newRow("1 ms") << 1.0 << 1000u;
    QTest::newRow("1000 ms") << 1000.0 << 1u;
    QTest::newRow("1333 ms rounds up") << 1333.0 << 1u;
    QTest::newRow("2000.5 ms") << 2000.5 << 0u;
    QTest::newRow("3 ms rounds half up") << 3.0 << 333u;
    QTest::newRow("NaN") << std::nan("") << 0u;
    QTest::newRow("negative") << -5.0 << 0u;
    QTest::newRow("zero") << 0.0 << 0xFFFFFFu;
    QTest::newRow("tiny") << 1e-9 << 0xFFFFFFu;
}

void TestProtocol::rateRule()
{
    QFETCH(double, intervalMs);
    QFETCH(unsigned, rate);
    QCOMPARE(rateOf(intervalMs), rate);
}

void TestProtocol::calibration_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("offset");

    QTest::newRow("gain 1.5, offset -1.5") << QByteArray::fromHex("aa00000af00302018000"
                                                                  "00fffe80")
                                           << true << 3 << 1.5 << -1.5;
    QTest::newRow("gain 1, offset 0")
        << QByteArray::fromHex("aa00000af0000101000000000000") << true << 0 << 1.0 << 0.0;
    QTest::newRow("largest fractions")
        << QByteArray::fromHex("aa00000af00d0200ffffff7fffff") << true << 13
        << 16777215 / 16777216.0 << 32767 + 255 / 256.0;
    QTest::newRow("negative integer parts")
        << QByteArray::fromHex("aa00000af00101ff000000800000") << true << 1 << -1.0 << -32768.0;
    QTest::newRow("gain just below 1, offset 99.25") << QByteArray::fromHex("aa00000af00201"
                                                                            "00fff000"
                                                                            "006340")
                                                     << true << 2 << 0xFFF000 / 16777216.0 << 99.25;
    QTest::newRow("wrong opcode") << QByteArray::fromHex("aa00000af10302018000"
                                                         "00fffe80")
                                  << false << 0 << 0.0 << 0.0;
    QTest::newRow("one byte short") << QByteArray::fromHex("aa000009f003020180000"
                                                           "0fffe")
                                    << false << 0 << 0.0 << 0.0;
    QTest::newRow("one byte long") << QByteArray::fromHex("aa00000bf00302018000"
                                                          "00fffe8000")
                                   << false << 0 << 0.0 << 0.0;
    QTest::newRow("length 14, LEN not 10") << QByteArray::fromHex("aa00010af00302018000"
                                                                  "00fffe80")
                                           << false << 0 << 0.0 << 0.0;
}

void TestProtocol::calibration()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, valid);

    Calibration calibration;
    QCOMPARE(decodeCalibration(frameOf(frame), &calibration), valid);
    if (!valid)
        return;
    QFETCH(int, channel);
    QFETCH(double, gain);
    QFETCH(double, offset);
    QCOMPARE(calibration.channel, channel);
    QCOMPARE(calibration.gain, gain);
    QCOMPARE(calibration.offset, offset);
}

// Records as "kind:channel=value", one per record yielded.
static QStringList recordsOf(const QByteArray &frame)
{
    const ZByteArray answer = frameOf(frame);
    ZSampleRecordReader reader(answer);
    QStringList records;
    ZSampleRecord record;
    while (reader.next(&record))
        records << QStringLiteral("%1:%2=%3")
                       .arg(int(record.kind), 2, 16, QLatin1Char('0'))
                       .arg(record.channel)
                       .arg(record.value);
    return records;
}

void TestProtocol::sampleRecords_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("sampleAnswer");
    QTest::addColumn<QStringList>("records");

    QTest::newRow("one of each kind") << QByteArray::fromHex("aa00000c2002fffffe40018100000100")
                                      << true << QStringList { "00:2=-2", "40:0=1", "80:1=256" };
    QTest::newRow("analog extremes") << QByteArray::fromHex("aa000009"
                                                            "20007fffff01800000")
                                     << true << QStringList { "00:0=8388607", "00:1=-8388608" };
    QTest::newRow("largest count, level byte kept")
        << QByteArray::fromHex("aa000008"
                               "20bfffffffff44ff")
        << true << QStringList { "80:63=4294967295", "40:4=255" };
    QTest::newRow("invalid descriptor ends") << QByteArray::fromHex("aa000007"
                                                                    "204001c0400100")
                                             << true << QStringList { "40:0=1" };
    QTest::newRow("truncated analog record ends") << QByteArray::fromHex("aa000006"
                                                                         "204000000102")
                                                  << true << QStringList { "40:0=0" };
    QTest::newRow("truncated counter record ends") << QByteArray::fromHex("aa000008"
                                                                          "2000000005800102")
                                                   << true << QStringList { "00:0=5" };
    QTest::newRow("opcode only") << QByteArray::fromHex("aa00000120") << false << QStringList {};
    QTest::newRow("opcode 0x21 counts as samples")
        << QByteArray::fromHex("aa000003214101") << true << QStringList { "40:1=1" };
    QTest::newRow("an echo is no sample answer") << QByteArray::fromHex("aa00000313"
                                                                        "0088")
                                                 << false << QStringList {};
}

void TestProtocol::sampleRecords()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, sampleAnswer);
    QFETCH(QStringList, records);

    QCOMPARE(ZSampleRecordReader(frameOf(frame)).isSampleAnswer(), sampleAnswer);
    if (sampleAnswer)
        QCOMPARE(recordsOf(frame), records);
}

void TestProtocol::assembler_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("frames");

    const QByteArray probeEcho = QByteArray::fromHex("aa00000103");
    const QByteArray samples = QByteArray::fromHex("aa00000c2002fffffe40018100000100");
    QTest::newRow("one answer") << probeEcho << QList<QByteArray> { probeEcho };
    QTest::newRow("noise before 0xAA")
        << QByteArray::fromHex("0102ff7f00") + probeEcho << QList<QByteArray> { probeEcho };
    QTest::newRow("header with LEN 0")
        << QByteArray::fromHex("aa000000") + probeEcho << QList<QByteArray> { probeEcho };
    QTest::newRow("header with LEN 1025")
        << QByteArray::fromHex("aa000401") + samples << QList<QByteArray> { samples };
    QTest::newRow("header with LEN 16777215")
        << QByteArray::fromHex("aaffffff") + probeEcho << QList<QByteArray> { probeEcho };
    QTest::newRow("back to back") << probeEcho + samples + probeEcho
                                  << QList<QByteArray> { probeEcho, samples, probeEcho };
    QTest::newRow("incomplete tail")
        << samples + probeEcho.left(4) << QList<QByteArray> { samples };
    QTest::newRow("nothing but noise") << QByteArray(40, '\x55') << QList<QByteArray> {};

    QByteArray largest = QByteArray::fromHex("aa000400");
    largest += QByteArray(1024, '\x20');
    QTest::newRow("LEN 1024 is kept")
        << largest + probeEcho << QList<QByteArray> { largest, probeEcho };
}

// Split into pieces of every size, including one byte at a time: the frames are the same.
void TestProtocol::assembler()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, frames);

    for (int piece : { 1, 2, 3, 7, 64, 5000 }) {
        ZAnswerAssembler assembler;
        QList<QByteArray> got;
        for (int pos = 0; pos < stream.size(); pos += piece) {
            const QByteArray part = stream.mid(pos, piece);
            assembler.feedAll(reinterpret_cast<const unsigned char *>(part.constData()),
                              unsigned(part.size()),
                              [&got](const ZByteArray &frame) { got << bytesOf(frame); });
        }
        QCOMPARE(got, frames);
    }
}

void TestProtocol::assemblerStopsAtFrame()
{
    const QByteArray stream = QByteArray::fromHex("11aa00000103aa0000012077");
    const auto *bytes = reinterpret_cast<const unsigned char *>(stream.constData());
    ZAnswerAssembler assembler;

    QCOMPARE(assembler.feedUntilFrame(bytes, 3), 3u);
    QVERIFY(!assembler.isComplete());
    QCOMPARE(assembler.feedUntilFrame(bytes + 3, unsigned(stream.size()) - 3), 3u);
    QVERIFY(assembler.isComplete());
    QCOMPARE(bytesOf(assembler.frame()), QByteArray::fromHex("aa00000103"));

    // Feeding on starts the next frame.
    QCOMPARE(assembler.feedUntilFrame(bytes + 6, unsigned(stream.size()) - 6), 5u);
    QCOMPARE(bytesOf(assembler.frame()), QByteArray::fromHex("aa00000120"));

    assembler.feed(0xAA);
    assembler.clear();
    QCOMPARE(assembler.frame().length(), 0u);
    QVERIFY(!assembler.feed(0x03));
    QCOMPARE(assembler.frame().length(), 0u);
}

void TestProtocol::assemblerGrowsForLongFrames()
{
    // A handshake-sized assembler still takes a sample answer that is longer.
    ZAnswerAssembler assembler(5);
    QByteArray frame = QByteArray::fromHex("aa00012c20");
    frame += QByteArray(299, '\x40');
    QCOMPARE(assembler.feedUntilFrame(reinterpret_cast<const unsigned char *>(frame.constData()),
                                      unsigned(frame.size())),
             unsigned(frame.size()));
    QVERIFY(assembler.isComplete());
    QCOMPARE(bytesOf(assembler.frame()), frame);
}

void TestProtocol::echoComparison_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("echo");

    QTest::newRow("exact echo") << QByteArray::fromHex("aa000003130088") << true;
    QTest::newRow("other opcode") << QByteArray::fromHex("aa000003140088") << false;
    QTest::newRow("other argument") << QByteArray::fromHex("aa000003130089") << false;
    QTest::newRow("one byte more") << QByteArray::fromHex("aa00000413008800") << false;
    QTest::newRow("one byte less") << QByteArray::fromHex("aa0000021300") << false;
    QTest::newRow("no start byte") << QByteArray::fromHex("ab000003130088") << false;
}

void TestProtocol::echoComparison()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, echo);
    QCOMPARE(isEchoOf(frameOf(answer), analogInFrame(0, 8, true)), echo);
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
