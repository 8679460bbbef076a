#include "xmlrecorder.h"

#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "persist/zdataexporter.h"
#include "persist/znumbertext.h"
#include "persist/zprojectreader.h"
#include "persist/zprojectwriter.h"
#include "persist/zsavedtime.h"
#include "persist/zxmlfastscanner.h"
#include "persist/zxmlstreamscanner.h"
#include "tests/common/wholefile.h"

#include <QBuffer>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <thread>

namespace {

// Samples one by one, as the acquisition appends them (times move forward on the way).
inline void appendVolts(ZAnalogIn *channel,
                        std::initializer_list<std::pair<double, double>> samples)
{
    for (const auto &[t, v] : samples)
        channel->appendVolts(&t, &v, 1);
}

inline void appendRaw(ZInChannel *channel, std::initializer_list<std::pair<double, qint64>> samples)
{
    for (const auto &[t, raw] : samples) {
        const int value = static_cast<int>(quint32(raw));
        channel->append(&t, &value, 1);
    }
}

template<class Series> QString joined(const Series &series, bool asWritten = false)
{
    QStringList list;
    for (const auto &value : series) {
        if constexpr (std::is_floating_point_v<std::decay_t<decltype(value)>>)
            list << QString::number(asWritten ? formatNumber(value, 8).toDouble() : value, 'g',
                                    QLocale::FloatingPointShortest);
        else
            list << QString::number(qulonglong(value));
    }
    return list.join(QLatin1Char(','));
}

// A compact, complete picture of a box's samples, for comparing boxes; channels without
// samples are left out, voltages optionally as a file holds them.
QString describe(const ZBox &box, bool asWritten = false)
{
    QStringList parts { QStringLiteral("type %1").arg(box.boxType()) };
    if (const auto *imgy = dynamic_cast<const ZImgyBox *>(&box))
        parts << QStringLiteral("saved '%1'").arg(imgy->savedTime());
    const auto add = [&](const char *kind, const ZInChannel *c, const QString &values) {
        if (c->sampleCount())
            parts << QStringLiteral("%1%2 t %3 %4")
                         .arg(QLatin1String(kind), QString::number(channelOf(c->id()) + 1),
                              joined(c->times()), values);
    };
    for (const ZAnalogIn *c : box.analogIns())
        add("AI", c, "v " + joined(c->volts(), asWritten) + " c " + joined(c->coefs()));
    for (const ZDigitIn *c : box.digitIns())
        add("DI", c, "s " + joined(c->statuses()));
    for (const ZEdgeCnt *c : box.edgeCnts())
        add("CN", c, "n " + joined(c->counts()));
    return parts.join(QStringLiteral(" | "));
}

QByteArray goldenBytes()
{
    return readAll(QFINDTESTDATA("data/project-golden.xml"));
}

QByteArray written(const ZBox &box, const QString &savedTime)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return writeProject(box, savedTime, buffer) ? buffer.data() : QByteArray();
}

// Through the fast path, or, with a comment after the root that the fast path leaves to
// QXmlStreamReader, through QXmlStreamReader from the start to hold the fast path to its answers.
ZProjectReadResult readBytes(const QByteArray &bytes, bool qtOnly = false)
{
    QBuffer buffer;
    buffer.setData(qtOnly ? bytes + "<!-- -->" : bytes);
    buffer.open(QIODevice::ReadOnly);
    return readProject(buffer);
}

// Type 8 (four analog inputs, a digital input, an edge counter), samples on AI2, AI4, DI1, CN1.
std::unique_ptr<ZRealBox> sampleBox()
{
    auto box = std::make_unique<ZRealBox>(nullptr, 8);
    ZAnalogIn *ai2 = box->analogIns()[1];
    ai2->setCoefs({ 0.5, 2.0, 0.0, -0.25, 0.0, 1e-7 });
    appendVolts(ai2, { { 0.001, 1.2345678 }, { 0.002, 0.0000123 }, { 0.003, -1.25 } });
    appendVolts(box->analogIns()[3], { { 0.5, 100.0 } });
    appendRaw(box->digitIns()[0], { { 0.001, 1 }, { 0.002, 0 } });
    appendRaw(box->edgeCnts()[0], { { 0.1, 7 }, { 0.2, 3000000000LL } });
    return box;
}

// 'g': six significant digits, 'f': at most eight decimals, 's': the shortest exact text.
QString render(char form, double value)
{
    char buffer[ZNumberText::Capacity];
    const char *end = form == 'g' ? ZNumberText::general(value, 6, buffer)
        : form == 'f'             ? ZNumberText::decimal(value, 8, buffer)
                                  : ZNumberText::shortest(value, buffer);
    return QString::fromLatin1(buffer, int(end - buffer));
}

quint64 bitsOf(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Values of every magnitude, both signs, values on rounding boundaries and the specials.
QVector<double> sampleValues()
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    QVector<double> values;
    values << 0.0 << -0.0 << 1.0 << -1.0 << 0.1 << 0.5 << 1.5 << 999999.5 << 999999.4
           << 0.00009999995 << 0.0001 << 1234567.0 << 0.0000123 << 1e-7 << -1.23e-9 << 1.5e300
           << -2.5e-300 << 5e-324 << std::numeric_limits<double>::max() << std::nan("") << inf
           << -inf;
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 20000; ++i) {
        values << mantissa(random) * std::pow(10.0, exponent(random));
        const quint64 bits = random(); // arbitrary bit patterns, specials included
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values << value;
    }
    // Millisecond-clock decimals, and exact ties at six significant digits or at the
    // decimals shown, which Qt rounds away from zero (12345.25 s at six digits).
    for (int i = 0; i < 5000; ++i) {
        values << i * 0.001 << i * 0.0005 + 1000.0 << double(random() % 10000000) / 1000.0;
        values << 10000.0 + i * 0.25 << -(1000.0 + i * 0.125) << 1234565.0 + i * 10.0;
        values << (i + 0.5) * 1e-3 << 123456.5 + i << std::ldexp(double(2 * i + 1), -9);
    }
    return values;
}

} // namespace

class TestProjectFile : public QObject
{
    Q_OBJECT

private slots:
    void goldenFile();
    void roundTripIsExact_data();
    void roundTripIsExact();
    void savingWhileSamplesArrive();
    void badInput_data();
    void badInput();
    void fastScannerAgreesWithQt_data();
    void fastScannerAgreesWithQt();
    void numberFormsMatchQt();
    void numberParsingMatchesQt_data();
    void numberParsingMatchesQt();
    void dataExport();
};

void TestProjectFile::goldenFile()
{
    const QByteArray golden = goldenBytes();
    QCOMPARE(written(*sampleBox(), QStringLiteral("6/1/24 9:30 AM")), golden);
    QCOMPARE(written(ZRealBox(nullptr, 3), QStringLiteral("t")),
             QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                        "<Quoravi version=\"2.2.1\" boxType=\"3\" savedTime=\"t\">\n"
                        " <sampledData/>\n"
                        "</Quoravi>\n"));
    // A file cut short anywhere is refused; trailing white space is still the whole document.
    for (int size = 0; size < golden.size(); size += 7) {
        const auto result = readBytes(golden.left(size));
        QVERIFY2(result.outcome == ZProjectReadResult::InvalidFormat && !result.box,
                 qPrintable(QString::number(size)));
    }
    QCOMPARE(readBytes(golden + "\n \n").outcome, ZProjectReadResult::Opened);
}

void TestProjectFile::roundTripIsExact_data()
{
    QTest::addColumn<QVector<double>>("times");
    QTest::addColumn<QVector<double>>("coefs");
    QTest::addColumn<QString>("savedTime");
    QTest::newRow("milliseconds") << QVector<double> { 0.001, 0.002, 0.003, 1234.567 }
                                  << QVector<double> { 0, 1, 0, 0, 0, 0 }
                                  << QStringLiteral("2024/6/1 \u4e0a\u53489:30");
    QTest::newRow("awkward values")
        << QVector<double> { 1e-5, 0.1 + 0.2, 12345.25, 1e6, 123456789.123, 1e17 }
        << QVector<double> { 0.1 + 0.2, 1.0 / 3.0, -2e-5, 1e17, 6.02214076e23, -1e-300 }
        << QStringLiteral("a<b & \"c\" > 'd'");
    // Stored times moved forward by the append rule must not move again when reopened.
    QTest::newRow("moved forward")
        << QVector<double> { 1.0, 1.0, 0.5, 1.0 / 3.0, 2.0 } << QVector<double> { 1, 2, 3, 4, 5, 6 }
        << QStringLiteral("tab\there, line\nbreak");
}

void TestProjectFile::roundTripIsExact()
{
    QFETCH(QVector<double>, times);
    QFETCH(QVector<double>, coefs);
    QFETCH(QString, savedTime);
    ZRealBox box(nullptr, 10);
    ZAnalogIn *ai = box.analogIns()[13];
    ai->setCoefs(std::vector<double>(coefs.begin(), coefs.end()));
    ZDigitIn *di = box.digitIns()[4];
    ZEdgeCnt *cn = box.edgeCnts()[1];
    int i = 0;
    for (const double t : times) {
        const double v = std::sin(t) * 3.0;
        ai->appendVolts(&t, &v, 1);
        const int raw = i++ % 2 ? -1 : 5; // -1: the count 4294967295
        di->append(&t, &raw, 1);
        cn->append(&t, &raw, 1);
    }
    const QByteArray bytes = written(box, savedTime);
    QVERIFY(bytes.contains("<digitChannels total=\"5\" used=\"1\" timeUnit=\"seconds\">"));
    // Times and coefficients come back bit for bit, voltages as the text they were written as.
    const QString expected = describe(box, true).replace(
        QLatin1String("type 10"), QStringLiteral("type 10 | saved '%1'").arg(savedTime));
    const ZProjectReadResult results[] = { readBytes(bytes), readBytes(bytes, true) };
    for (const auto &result : results) {
        QCOMPARE(result.outcome, ZProjectReadResult::Opened);
        QCOMPARE(describe(*result.box), expected);
        const ZAnalogIn *back = result.box->analogIns()[0];
        for (std::size_t k = 0; k < back->sampleCount(); ++k)
            QCOMPARE(back->functionValues()[k], back->evaluate(back->volts()[k]));
    }
    // The fast path's attempt before QXmlStreamReader used up no box identifier.
    QCOMPARE(results[1].box->id(), results[0].box->id() + 1);
}

// A save during a run takes each channel's count once: the file holds a consistent prefix
// of every series, whatever the acquisition appends meanwhile.
void TestProjectFile::savingWhileSamplesArrive()
{
    ZRealBox box(nullptr, 8);
    ZAnalogIn *ai = box.analogIns()[0];
    std::atomic<bool> stop { false };
    std::thread acquisition([&] {
        for (int i = 0; i < 400000 && !stop.load(); ++i) {
            const double t = i * 0.001;
            const double v = i % 1000 * 0.001;
            const int raw = i % 2;
            ai->appendVolts(&t, &v, 1);
            box.digitIns()[0]->append(&t, &raw, 1);
        }
    });
    while (ai->sampleCount() < 1000)
        std::this_thread::yield();
    const QByteArray bytes = written(box, QStringLiteral("x"));
    stop.store(true);
    acquisition.join();

    const auto result = readBytes(bytes);
    QCOMPARE(result.outcome, ZProjectReadResult::Opened);
    const ZAnalogIn *back = result.box->analogIns()[0];
    QVERIFY(back->sampleCount() >= 1000);
    QVERIFY(back->sampleCount() <= ai->sampleCount());
    for (std::size_t k = 0; k < back->sampleCount(); k += 97) {
        QCOMPARE(back->times()[k], ai->times()[k]);
        QCOMPARE(back->volts()[k], formatNumber(ai->volts()[k], 8).toDouble());
    }
    QVERIFY(result.box->digitIns()[0]->sampleCount() <= box.digitIns()[0]->sampleCount());
}

void TestProjectFile::badInput_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("expected"); // an outcome, or the box read
    const auto project = [](const QByteArray &sampled) {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quoravi version=\"2.2.1\" "
               "boxType=\"8\" savedTime=\"s\">\n<sampledData>"
            + sampled + "</sampledData></Quoravi>\n";
    };
    const QString s8 = QStringLiteral("type 8 | saved 's'");

    // Bad XML beats a bad version, and counts after the samples too.
    QTest::newRow("tags crossed") << QByteArray("<Quoravi version=\"3.0\"><a></b></Quoravi>")
                                  << "invalid";
    QTest::newRow("undeclared entity")
        << QByteArray("<Quoravi version=\"2.2.1\" savedTime=\"&nbsp;\"/>") << "invalid";
    QTest::newRow("a second root") << project("") + "<second/>"
                                   << "invalid";
    for (const char *other :
         { "<Project version=\"2.2.1\"/>", "<Quoravi version=\"\"/>", "<Quoravi version=\"2\"/>",
           "<Quoravi version=\"3.0\"/>", "<Quoravi version=\"v2.2\"/>" })
        QTest::newRow(other) << QByteArray(other) << "version";
    QTest::newRow("later minor") << QByteArray("<Quoravi version=\"2.9\" boxType=\"abc\"/>")
                                 << "type 0 | saved ''";
    QTest::newRow("comments, text and instructions")
        << project("text<?pi x?><analogChannels><!-- c --><analogChannel index=\"2\" "
                   "coef1=\"1\">\n<!-- c -->stray<data time=\"1\" voltage=\"2\"/><![CDATA[x]]>"
                   "</analogChannel></analogChannels>")
        << s8 + " | AI2 t 1 v 2 c 0,1,0,0,0,0";
    // Invalid indexes are skipped, a repeated one keeps the first channel of its kind.
    QTest::newRow("indexes") << project(
        "<analogChannels><analogChannel index=\"0\"><data time=\"1\"/></analogChannel>"
        "<analogChannel index=\"65\"><data time=\"1\"/></analogChannel>"
        "<analogChannel index=\"-1\"><data time=\"1\"/></analogChannel>"
        "<analogChannel index=\"2\"><data time=\"1\" voltage=\"1\"/></analogChannel>"
        "<analogChannel index=\"2\"><data time=\"2\" voltage=\"2\"/></analogChannel>"
        "<analogChannel index=\"64\"><data time=\"3\" voltage=\"3\"/></analogChannel>"
        "</analogChannels><edgeCounters><edgeCounter index=\"2\"><data time=\"1\" "
        "counted=\"5\"/></edgeCounter></edgeCounters>")
                             << s8
            + " | AI2 t 1 v 1 c 0,0,0,0,0,0 | AI64 t 3 v 3 c 0,0,0,0,0,0 | CN2 t 1 n 5";
    // Times not finite are skipped; out of range, unreadable or missing: 0, then moved
    // forward like times that go backwards. Voltages not finite are skipped, others 0.
    // Only the first group of a kind is read.
    QTest::newRow("values") << project(
        "<analogChannels><analogChannel index=\"1\" coef0=\"x\" coef2=\"inf\" "
        "coef3=\"2.5\" coef6=\"9\"><data time=\"nan\" voltage=\"1\"/><data "
        "time=\"inf\" voltage=\"2\"/><data time=\"-inf\" voltage=\"3\"/><data "
        "time=\"1e999\" voltage=\"4\"/><data time=\"abc\" voltage=\"5\"/><data "
        "voltage=\"6\"/><data time=\" 7.5 \" voltage=\"7\"/><data time=\"7\" "
        "voltage=\"8\"/><data time=\"8\" voltage=\"nan\"/><data time=\"9\" "
        "voltage=\"x\"/><data time=\"10\"/></analogChannel></analogChannels>"
        "<digitChannels><digitChannel index=\"1\"><data time=\"1\" status=\"1\"/>"
        "<data time=\"2\" status=\"true\"/><data time=\"3\" status=\"01\"/><data "
        "time=\"4\"/></digitChannel></digitChannels><edgeCounters><edgeCounter "
        "index=\"1\"><data time=\"1\" counted=\"2147483648\"/><data time=\"2\" "
        "counted=\"4294967295\"/><data time=\"3\" counted=\"4294967296\"/><data "
        "time=\"4\" counted=\"-1\"/></edgeCounter></edgeCounters><edgeCounters>"
        "<edgeCounter index=\"2\"><data time=\"1\" counted=\"6\"/></edgeCounter>"
        "</edgeCounters>")
                            << s8
            + " | AI1 t 0,0.001,0.002,7.5,7.501,9,10 v 4,5,6,7,8,0,0 c 0,0,0,2.5,0,0 | DI1 t "
              "1,2,3,4 s 1,0,0,0 | CN1 t 1,2,3,4 n 2147483648,4294967295,0,0";
    QTest::newRow("the first child holds the samples, whatever its name")
        << QByteArray("<Quoravi version=\"2.2\" boxType=\"8\" savedTime=\"s\"><other>"
                      "<digitChannels><digitChannel index=\"3\"><data time=\"1\" status=\"1\">"
                      "<nested time=\"9\"/></data></digitChannel></digitChannels></other>"
                      "<sampledData><edgeCounters><edgeCounter index=\"1\"><data time=\"1\" "
                      "counted=\"2\"/></edgeCounter></edgeCounters></sampledData></Quoravi>")
        << s8 + " | DI3 t 1 s 1";
    QTest::newRow("declared encoding")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Quoravi version=\"2.2\" "
                      "savedTime=\"caf\xe9\"/>")
        << QStringLiteral("type 0 | saved 'caf\u00e9'");
    QTest::newRow("byte order mark and entities")
        << QByteArray("\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE Quoravi [<!ENTITY when "
                      "\"noon\">]><Quoravi version='2.2.1' savedTime='&when; &amp; &#x41;'/>")
        << "type 0 | saved 'noon & A'";
}

// Files from other programs, old versions and hand edits: each gives the outcome it
// deserves, through the fast path and through QXmlStreamReader alike.
void TestProjectFile::badInput()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, expected);
    for (const bool qtOnly : { false, true }) {
        const ZProjectReadResult result = readBytes(document, qtOnly);
        QCOMPARE(result.box != nullptr, result.outcome == ZProjectReadResult::Opened);
        QCOMPARE(result.box ? describe(*result.box)
                     : result.outcome == ZProjectReadResult::InvalidFormat
                     ? QStringLiteral("invalid")
                     : QStringLiteral("version"),
                 expected);
    }
}

void TestProjectFile::fastScannerAgreesWithQt_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("fast");
    QTest::newRow("golden file") << goldenBytes() << true;
    QTest::newRow("single quotes, entities, UTF-8 and '>' in values") << QByteArray(
        "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\r\n<a x='&lt;&amp;&gt;'"
        " y=\"it&apos;s &quot;\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 >\"\n\t><b/></a >")
                                                                      << true;
    QTest::newRow("byte order mark, no declaration") << QByteArray("\xEF\xBB\xBF <a/> \n") << true;
    QTest::newRow("small chunks") << QByteArray("<a>") + QByteArray(5000, ' ') + "</a>" << true;
    for (const char *unsupported :
         { "<a><!-- x --></a>", "<a x=\"&#65;\"/>", "<a x=\"1\t2\"/>", "<a xmlns=\"u\"/>", "<p:a/>",
           "<a x=\"1\" x=\"2\"/>", "<a x=\"1\"y=\"2\"/>", "<a x=1/>", "<a x=\"<\"/>", "<a></b>",
           "<a x=\"\xC0\xAF\"/>", "<a x=\"\xED\xA0\x80\"/>", "<a x=\"\xEF\xBF\xBE\"/>",
           "<?xml version=\"1.0\" encoding=\"latin1\"?><a/>", " <?xml version=\"1.0\"?><a/>",
           "<a>x</a>", "<a/><b/>", "<a><b/>", " \n" })
        QTest::newRow(unsupported) << QByteArray(unsupported) << false;
}

// Whatever the fast scanner accepts is well-formed and reads as QXmlStreamReader reads
// it; the rest it leaves to QXmlStreamReader.
void TestProjectFile::fastScannerAgreesWithQt()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, fast);
    QBuffer buffer(&document);
    buffer.open(QIODevice::ReadOnly);
    XmlRecorder fastEvents;
    ZXmlFastScanner scanner(64);
    QCOMPARE(scanner.scan(buffer, fastEvents) == ZXmlFastScanner::WellFormed, fast);
    if (!fast)
        return;
    buffer.seek(0);
    XmlRecorder qtEvents;
    QVERIFY(scanXmlWithStreamReader(buffer, qtEvents));
    QCOMPARE(fastEvents.events, qtEvents.events);
}

// Export times and voltages read exactly as the rest of the program shows them, and
// project times and coefficients come back bit for bit through both readers.
void TestProjectFile::numberFormsMatchQt()
{
    for (const double value : sampleValues()) {
        QCOMPARE(render('g', value), QString::number(value, 'g', 6));
        QVERIFY2(render('f', value) == formatNumber(value, 8),
                 qPrintable(QString::number(value, 'g', 17)));
        if (!std::isfinite(value))
            continue;
        const QString text = render('s', value);
        QVERIFY2(text.size() <= 24, qPrintable(text));
        const QByteArray bytes = text.toLatin1();
        bool ok = false;
        const double fast = ZNumberText::parseDouble(
            std::string_view(bytes.constData(), std::size_t(bytes.size())), &ok);
        QVERIFY2(ok && bitsOf(fast) == bitsOf(value), qPrintable(text));
        const double qt = text.toDouble(&ok);
        QVERIFY2(ok ? bitsOf(qt) == bitsOf(value) : std::fpclassify(value) == FP_SUBNORMAL,
                 qPrintable(text));
    }
    // The forms project times and coefficients take: the shortest exact text.
    QStringList shortest;
    for (const double value :
         { 100.0, 0.001, 0.1 + 0.2, 0.0001, 0.000015, 1e15, 1e16, 1.2345678901234568e17, -0.0,
           5e-324, std::nan(""), -std::numeric_limits<double>::infinity() })
        shortest << render('s', value);
    QCOMPARE(shortest.join(QLatin1Char(' ')),
             "100 0.001 0.30000000000000004 0.0001 1.5e-05 1000000000000000 1e+16 "
             "1.2345678901234568e+17 -0 5e-324 nan -inf");
}

void TestProjectFile::numberParsingMatchesQt_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text :
         { "1.5",  "-0.25", "1e5",           "1E-3",        "007.5",      ".5",         "-.5",
           "5.",   " 1.5",  "1.5 ",          "+1.5",        "1,5",        "0x10",       "inf",
           "-inf", "nan",   "infinity",      "1e400",       "-1e400",     "1e-400",     "",
           "-",    "1e",    "1.5.2",         "12abc",       "4294967295", "4294967296", "-1",
           "+7",   " 7",    "0000000000042", "99999999999", "\xC3\xA9" })
        QTest::newRow(text) << QString::fromUtf8(text);
}

// Hand-edited files are read as the rest of Qt would read them; only the speed differs.
void TestProjectFile::numberParsingMatchesQt()
{
    QFETCH(QString, text);
    const QByteArray bytes = text.toUtf8();
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
    bool qtOk = false;
    const double qtDouble = text.toDouble(&qtOk);
    bool ok = false;
    const double value = ZNumberText::parseDouble(view, &ok);
    QCOMPARE(ok, qtOk);
    QVERIFY(std::isnan(qtDouble) ? std::isnan(value) : value == (qtOk ? qtDouble : 0.0));
    const uint qtUnsigned = text.toUInt(&qtOk);
    QCOMPARE(ZNumberText::parseUnsigned(view, &ok), qtOk ? qtUnsigned : 0u);
    QCOMPARE(ok, qtOk);
}

// Channels without samples are left out; times have six digits (ties away from zero),
// voltages and function values at most eight decimals, counts are unsigned.
void TestProjectFile::dataExport()
{
    ZRealBox box(nullptr, 10);
    appendRaw(box.edgeCnts()[0], { { 0.1, -1 }, { 0.2, 2147483648LL } });
    appendRaw(box.digitIns()[4], { { 0.25, 0 }, { 0.125, 1 } }); // moved forward to 0.251
    appendRaw(box.digitIns()[1],
              { { 0.00001, 7 }, { 1234.5678, 0 }, { 12345.25, 1 }, { 1000000.0, 1 } });
    box.analogIns()[3]->setCoefs({ 1, 0, 1, 0, 0, 0 });
    appendVolts(box.analogIns()[3], { { 2.0, 1234567.0 }, { 3.0, 0.0000123 } });
    appendVolts(box.analogIns()[0], { { 1.0, -0.0000001 } });

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(exportData(box, QStringLiteral("when"), buffer));
    QCOMPARE(
        buffer.data(),
        QByteArray("when\n"
                   "analogChannel\t1\ntime(seconds)\tvoltage(volts)\tfuncValue\n"
                   "1\t-1e-07\t-1e-07\n"
                   "analogChannel\t4\ntime(seconds)\tvoltage(volts)\tfuncValue\n"
                   "2\t1234567.00000000\t1524155677490.00000000\n"
                   "3\t0.000012\t1\n"
                   "digitChannel\t2\ntime(seconds)\tstatus\n"
                   "1e-05\t1\n1234.57\t0\n12345.3\t1\n1e+06\t1\n"
                   "digitChannel\t5\ntime(seconds)\tstatus\n0.25\t0\n0.251\t1\n"
                   "edgeCounter\t1\ntime(seconds)\tcounted\n0.1\t4294967295\n0.2\t2147483648\n"));
    // The first line: the moment of saving in the short form of the user's locale.
    const QDateTime when(QDate(2024, 6, 1), QTime(9, 30));
    QCOMPARE(savedTimeText(when, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("6/1/24 9:30 AM"));
    QCOMPARE(savedTimeText(when, QLocale(QLocale::German, QLocale::Germany)),
             QStringLiteral("01.06.24 09:30"));
}

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
