#include "devicetestutil.h"

#include "device/zanswerassembler.h"
#include "device/zprotocol.h"

#include <QtTest>

#include <cmath>

using namespace ZProtocol;

// Frame builders, the rate rule, calibration and sample-record decoding, and the answer assembler:
// everything that decides which bytes go over the wire.
class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames();
    void answers();
    void assembler();
};

void TestProtocol::commandFrames()
{
    const double nan = std::nan("");
    const struct
    {
        const char *name;
        ZByteArray frame;
        QByteArray hex;
    } rows[] = {
        { "analog in selected", analogInFrame(0, 8, true), "aa03130088" },
        { "analog in 13, +-10 V", analogInFrame(13, 1, true), "aa03130d81" },
        { "analog in from an identifier", analogInFrame(0x105, 2, false), "aa03130502" },
        { "rate 24 bits", rateFrame(0x123456), "aa041b123456" },
        { "rate clamped", rateFrame(0x1000000), "aa041bffffff" },
        { "analog out value, 16 bits", analogOutValueFrame(3, 0x1FFFF), "aa05020301ffff" },
        { "sine, period truncated", analogOutWaveFrame(0, OutModeSine, 1234567.9),
          "aa0602000412d687" },
        { "sawtooth, largest period", analogOutWaveFrame(3, OutModeSawtooth, 16777215.0),
          "aa06020310ffffff" },
        { "period beyond 24 bits", analogOutWaveFrame(3, OutModeSine, 1e9), "aa06020304ffffff" },
        { "NaN period", analogOutWaveFrame(0, OutModeSine, nan), "aa06020004000000" },
        { "pwm, limits B", digitOutPwmFrame(0, 4081.6326530612246, 99), "aa070a0002000ff163" },
        { "calibration", calibrationRequestFrame(3, 2), "aa03f00302" },
        // The rate of an interval: 1000 / ms + 0.5, truncated and clamped to 24 bits.
        { "2.2222222222222223 ms", rateFrame(rateOf(2.2222222222222223)), "aa041b0001c2" },
        { "2.380952380952381 ms", rateFrame(rateOf(2.380952380952381)), "aa041b0001a4" },
        { "1333 ms rounds up", rateFrame(rateOf(1333.0)), "aa041b000001" },
        { "2000.5 ms", rateFrame(rateOf(2000.5)), "aa041b000000" },
        { "NaN ms", rateFrame(rateOf(nan)), "aa041b000000" },
        { "negative ms", rateFrame(rateOf(-5.0)), "aa041b000000" },
        { "zero ms", rateFrame(rateOf(0.0)), "aa041bffffff" },
    };
    for (const auto &row : rows)
        QVERIFY2(hexOf(row.frame) == row.hex, qPrintable(row.name + (": " + hexOf(row.frame))));
}

// Calibration answers and sample records decoded, and an echo told from anything that merely
// resembles it.
void TestProtocol::answers()
{
    const struct
    {
        const char *hex;
        int channel; // -1: refused
        double gain;
        double offset;
    } rows[] = {
        { "aa00000af0030201800000fffe80", 3, 1.5, -1.5 },
        { "aa00000af0000101000000000000", 0, 1.0, 0.0 },
        { "aa00000af00d0200ffffff7fffff", 13, 16777215 / 16777216.0, 32767 + 255 / 256.0 },
        { "aa00000af00101ff000000800000", 1, -1.0, -32768.0 },
        { "aa00000af0020100fff000006340", 2, 0xFFF000 / 16777216.0, 99.25 },
        { "aa00000af1030201800000fffe80", -1, 0, 0 }, // wrong opcode
        { "aa000009f0030201800000fffe", -1, 0, 0 }, // one byte short
        { "aa00000bf0030201800000fffe8000", -1, 0, 0 }, // one byte long
        { "aa00010af0030201800000fffe80", -1, 0, 0 }, // LEN not 10
    };
    for (const auto &row : rows) {
        Calibration got;
        const bool valid = decodeCalibration(frameOf(QByteArray::fromHex(row.hex)), &got);
        QVERIFY2(valid == (row.channel >= 0), row.hex);
        if (valid)
            QVERIFY2(got.channel == row.channel && got.gain == row.gain && got.offset == row.offset,
                     row.hex);
    }
    // The exact echo; then another opcode, another argument, a byte more, a byte less, no 0xAA.
    const char *echoes[] = { "aa000003130088",   "aa000003140088", "aa000003130089",
                             "aa00000413008800", "aa0000021300",   "ab000003130088" };
    for (const char *hex : echoes) {
        const bool echo = isEchoOf(frameOf(QByteArray::fromHex(hex)), analogInFrame(0, 8, true));
        QVERIFY2(echo == (hex == echoes[0]), hex);
    }
    const struct
    {
        const char *hex;
        const char *records;
    } samples[] = {
        { "aa00000c2002fffffe40018100000100", "00:2=-2 40:0=1 80:1=256" },
        { "aa0000092000 7fffff 01800000", "00:0=8388607 00:1=-8388608" },
        { "aa000008 20 bfffffffff 44ff", "80:63=4294967295 40:4=255" }, // level byte kept
        { "aa000007 20 4001 c0 400100", "40:0=1" }, // an invalid descriptor ends
        { "aa000006 20 4000 000102", "40:0=0" }, // a truncated analog record ends
        { "aa000008 20 00000005 800102", "00:0=5" }, // a truncated counter record ends
        { "aa000001 20", "none" },
        { "aa000003 21 4101", "40:1=1" },
        { "aa000003 13 0088", "none" }, // an echo
    };
    for (const auto &row : samples)
        QCOMPARE(recordsOf(frameOf(QByteArray::fromHex(row.hex))),
                 QString::fromLatin1(row.records));
}

// Split into pieces of every size, including one byte at a time, and with an assembler that starts
// handshake-sized, the frames are the same; so they are the link's way, stopping at each frame and
// going on with the bytes behind it.
void TestProtocol::assembler()
{
    const QByteArray echo = QByteArray::fromHex("aa00000103");
    const QByteArray samples = QByteArray::fromHex("aa00000c2002fffffe40018100000100");
    const QByteArray largest = QByteArray::fromHex("aa000400") + QByteArray(1024, '\x20');
    const QByteArray longer = QByteArray::fromHex("aa00012c20") + QByteArray(299, '\x40');
    const struct
    {
        const char *name;
        QByteArray stream;
        QList<QByteArray> frames;
    } rows[] = {
        { "one answer", echo, { echo } },
        { "noise before 0xAA", QByteArray::fromHex("0102ff7f00") + echo, { echo } },
        { "LEN 0", QByteArray::fromHex("aa000000") + echo, { echo } },
        { "LEN 1025", QByteArray::fromHex("aa000401") + samples, { samples } },
        { "LEN 16777215", QByteArray::fromHex("aaffffff") + echo, { echo } },
        { "back to back", echo + samples + echo, { echo, samples, echo } },
        { "incomplete tail", samples + echo.left(4), { samples } },
        { "nothing but noise", QByteArray(40, '\x55'), {} },
        { "LEN 1024 is kept", largest + echo, { largest, echo } },
        { "longer than the start size", longer + echo, { longer, echo } },
        { "0xAA last",
          QByteArray::fromHex("aa000001aa") + echo,
          { QByteArray::fromHex("aa000001aa"), echo } },
    };
    for (const auto &row : rows) {
        for (unsigned initialSize : { 5u, 257u }) {
            for (int piece : { 1, 2, 3, 7, 64, 5000 }) {
                ZAnswerAssembler assembler(initialSize);
                QList<QByteArray> got;
                for (int pos = 0; pos < row.stream.size(); pos += piece) {
                    const QByteArray part = row.stream.mid(pos, piece);
                    assembler.feedAll(reinterpret_cast<const unsigned char *>(part.constData()),
                                      unsigned(part.size()),
                                      [&got](const ZByteArray &frame) { got << bytesOf(frame); });
                }
                QVERIFY2(got == row.frames, row.name);
            }
        }
        ZAnswerAssembler link;
        QList<QByteArray> stopped;
        const auto *bytes = reinterpret_cast<const unsigned char *>(row.stream.constData());
        const unsigned size = unsigned(row.stream.size());
        for (unsigned pos = 0, used = 1; pos < size && used > 0; pos += used) {
            used = link.feedUntilFrame(bytes + pos, size - pos);
            if (link.isComplete())
                stopped << bytesOf(link.frame());
        }
        QVERIFY2(stopped == row.frames, row.name);
    }
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
