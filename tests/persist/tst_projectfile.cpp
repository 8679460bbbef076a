#include "persisttestutil.h"

#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "persist/zprojectbuilder.h"
#include "persist/zprojectcommands.h"
#include "persist/zprojectreader.h"
#include "persist/zprojectwriter.h"
#include "persist/zsavedtime.h"
#include "persist/zxmlfastscanner.h"
#include "persist/zxmlstreamscanner.h"

#include <QBuffer>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <limits>
#include <thread>

namespace {

QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

template<class Series, class Text> QString joined(const Series &series, Text text)
{
    QStringList list;
    for (const auto &value : series)
        list << text(value);
    return list.join(QLatin1Char(','));
}

// A compact, complete picture of a box's samples, for comparing boxes.
QString describe(const ZBox &box)
{
    QStringList parts { QStringLiteral("type %1").arg(box.boxType()) };
    if (const auto *imgy = dynamic_cast<const ZImgyBox *>(&box))
        parts << QStringLiteral("saved '%1'").arg(imgy->savedTime());
    const auto integer = [](auto n) {
        return QString::number(n);
    };
    const auto head = [](const char *kind, const ZInChannel *c) {
        return QStringLiteral("%1%2").arg(QLatin1String(kind)).arg(channelOf(c->id()) + 1);
    };
    for (const ZAnalogIn *c : box.analogIns())
        parts << QStringLiteral("%1 [%2] t %3 v %4")
                     .arg(head("AI", c), joined(c->coefs(), number), joined(c->times(), number),
                          joined(c->volts(), number));
    for (const ZDigitIn *c : box.digitIns())
        parts << QStringLiteral("%1 t %2 s %3")
                     .arg(head("DI", c), joined(c->times(), number),
                          joined(c->statuses(), integer));
    for (const ZEdgeCnt *c : box.edgeCnts())
        parts << QStringLiteral("%1 t %2 n %3")
                     .arg(head("CN", c), joined(c->times(), number), joined(c->counts(), integer));
    return parts.join(QStringLiteral(" | "));
}

QByteArray written(const ZBox &box, const QString &savedTime)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return writeProject(box, savedTime, buffer) ? buffer.data() : QByteArray();
}

ZProjectReadResult readBytes(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readProject(buffer);
}

// The same document through QXmlStreamReader alone, to hold the fast path to its answers.
ZProjectReadResult readBytesWithQt(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ZProjectBuilder builder;
    ZProjectReadResult result;
    if (!scanXmlWithStreamReader(buffer, builder))
        result.outcome = ZProjectReadResult::InvalidFormat;
    else if (!builder.versionAccepted())
        result.outcome = ZProjectReadResult::UnmatchedVersion;
    else
        result = { ZProjectReadResult::Opened, builder.takeBox() };
    return result;
}

void appendVolts(ZAnalogIn *channel, std::initializer_list<std::pair<double, double>> samples)
{
    for (const auto &[t, v] : samples)
        channel->appendVolts(&t, &v, 1);
}

void appendRaw(ZInChannel *channel, std::initializer_list<std::pair<double, qint64>> samples)
{
    for (const auto &[t, raw] : samples) {
        const int value = static_cast<int>(quint32(raw));
        channel->append(&t, &value, 1);
    }
}

// A box of type 8 (four analog inputs, one digital input, one edge counter) with samples
// on analog inputs 2 and 4, the digital input and the counter.
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

// Writes down every element a scanner reports.
class Recorder : public ZXmlHandler
{
public:
    void startElement(std::string_view name, const std::vector<ZXmlAttribute> &attributes) override
    {
        QByteArray line = "<" + QByteArray(name.data(), int(name.size()));
        for (const ZXmlAttribute &a : attributes)
            line += " " + QByteArray(a.name.data(), int(a.name.size())) + "=["
                + QByteArray(a.value.data(), int(a.value.size())) + "]";
        events << line;
    }
    void endElement() override { events << ">"; }

    QByteArrayList events;
};

QString goldenPath()
{
    return QFINDTESTDATA("data/project-golden.xml");
}

} // namespace

class TestProjectFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesTheGoldenFile();
    void roundTripIsExact_data();
    void roundTripIsExact();
    void savingWhileSamplesArrive();
    void badInput_data();
    void badInput();
    void truncatedCopies();
    void fastScannerAgreesWithQt_data();
    void fastScannerAgreesWithQt();
    void saveCommands_data();
    void saveCommands();
    void failedCommitKeepsTheOldFile_data();
    void failedCommitKeepsTheOldFile();
    void openProjectCommand();

private:
    QTemporaryDir m_dir;
};

void TestProjectFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    redirectUserSettings(m_dir);
}

void TestProjectFile::writesTheGoldenFile()
{
    const QByteArray golden = readAll(goldenPath());
    QVERIFY(!golden.isEmpty());
    QCOMPARE(written(*sampleBox(), QStringLiteral("6/1/24 9:30 AM")), golden);
    QCOMPARE(written(ZRealBox(nullptr, 3), QStringLiteral("t")),
             QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                        "<Quoravi version=\"2.2.1\" boxType=\"3\" savedTime=\"t\">\n"
                        " <sampledData/>\n"
                        "</Quoravi>\n"));
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
    for (const auto &result : { readBytes(bytes), readBytesWithQt(bytes) }) {
        QCOMPARE(result.outcome, ZProjectReadResult::Opened);
        const ZImgyBox &read = *result.box;
        QCOMPARE(read.boxType(), 10);
        QCOMPARE(read.savedTime(), savedTime);
        QCOMPARE(read.analogIns().size(), std::size_t(1));
        const ZAnalogIn *back = read.analogIns()[0];
        QCOMPARE(back->id(), ai->id());
        QCOMPARE(back->sampleCount(), ai->sampleCount());
        QVERIFY(std::memcmp(back->coefs().data(), ai->coefs().data(), 6 * sizeof(double)) == 0);
        for (std::size_t k = 0; k < ai->sampleCount(); ++k) {
            const double t = ai->times()[k];
            QVERIFY2(std::memcmp(&back->times()[k], &t, sizeof t) == 0, qPrintable(number(t)));
            // Voltages come back as the text they were written as.
            QCOMPARE(back->volts()[k], formatNumber(ai->volts()[k], 8).toDouble());
            QCOMPARE(back->functionValues()[k], back->evaluate(back->volts()[k]));
        }
        QCOMPARE(read.digitIns()[0]->id(), di->id());
        QCOMPARE(read.edgeCnts()[0]->id(), cn->id());
        for (std::size_t k = 0; k < di->sampleCount(); ++k) {
            QCOMPARE(read.digitIns()[0]->times()[k], di->times()[k]);
            QCOMPARE(read.digitIns()[0]->statuses()[k], di->statuses()[k]);
            QCOMPARE(read.edgeCnts()[0]->counts()[k], cn->counts()[k]);
        }
    }
}

// A save during a run takes each channel's count once: the file holds a consistent prefix
// of every series, whatever the acquisition appends meanwhile.
void TestProjectFile::savingWhileSamplesArrive()
{
    ZRealBox box(nullptr, 8);
    ZAnalogIn *ai = box.analogIns()[0];
    ZDigitIn *di = box.digitIns()[0];
    std::atomic<bool> stop { false };
    std::thread acquisition([&] {
        for (int i = 0; i < 400000 && !stop.load(); ++i) {
            const double t = i * 0.001;
            const double v = i % 1000 * 0.001;
            const int raw = i % 2;
            ai->appendVolts(&t, &v, 1);
            di->append(&t, &raw, 1);
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
    QVERIFY(result.box->digitIns()[0]->sampleCount() <= di->sampleCount());
}

void TestProjectFile::badInput_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("box");

    const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    const auto project = [&](const QByteArray &sampled) {
        return head + "<Quoravi version=\"2.2.1\" boxType=\"8\" savedTime=\"s\">\n" + sampled
            + "</Quoravi>\n";
    };
    const auto analog = [&](const QByteArray &channels) {
        return project("<sampledData><analogChannels>" + channels
                       + "</analogChannels></sampledData>");
    };
    const auto counters = [&](const QByteArray &data) {
        return project("<sampledData><edgeCounters><edgeCounter index=\"1\">" + data
                       + "</edgeCounter></edgeCounters></sampledData>");
    };
    const int opened = ZProjectReadResult::Opened;
    const int invalid = ZProjectReadResult::InvalidFormat;
    const int version = ZProjectReadResult::UnmatchedVersion;
    const QString unit = QStringLiteral("[0,0,0,0,0,0]");

    QTest::newRow("empty file") << QByteArray() << invalid << QString();
    QTest::newRow("not XML") << QByteArray("Quoravi 2.2.1\n1 2 3\n") << invalid << QString();
    QTest::newRow("unclosed element")
        << QByteArray("<Quoravi version=\"2.2.1\"><sampledData></Quoravi>") << invalid << QString();
    QTest::newRow("bad XML beats bad version")
        << QByteArray("<Quoravi version=\"3.0\"><a></b></Quoravi>") << invalid << QString();
    QTest::newRow("bad XML after the samples")
        << project("<sampledData/>\n") + "<second/>" << invalid << QString();
    QTest::newRow("undeclared entity")
        << QByteArray("<Quoravi version=\"2.2.1\" savedTime=\"&nbsp;\"/>") << invalid << QString();
    QTest::newRow("other root") << QByteArray("<Project version=\"2.2.1\"/>") << version
                                << QString();
    QTest::newRow("no version") << QByteArray("<Quoravi boxType=\"1\"/>") << version << QString();
    QTest::newRow("empty version") << QByteArray("<Quoravi version=\"\"/>") << version << QString();
    QTest::newRow("version without point")
        << QByteArray("<Quoravi version=\"2\"/>") << version << QString();
    QTest::newRow("next major") << QByteArray("<Quoravi version=\"3.0\"/>") << version << QString();
    QTest::newRow("major not a number")
        << QByteArray("<Quoravi version=\"v2.2\"/>") << version << QString();
    QTest::newRow("later minor") << QByteArray("<Quoravi version=\"2.9\"/>") << opened
                                 << QStringLiteral("type 0 | saved ''");
    QTest::newRow("no samples element")
        << QByteArray("<Quoravi version=\"2.0.7\" boxType=\"abc\"/>") << opened
        << QStringLiteral("type 0 | saved ''");
    QTest::newRow("empty sampledData")
        << project("<sampledData/>") << opened << QStringLiteral("type 8 | saved 's'");
    QTest::newRow("comments, text and instructions")
        << project("<!-- c --><sampledData>text<?pi x?><analogChannels><!-- c -->"
                   "<analogChannel index=\"2\" coef1=\"1\">\n<!-- c -->stray"
                   "<data time=\"1\" voltage=\"2\"/><![CDATA[x]]></analogChannel>"
                   "</analogChannels></sampledData>")
        << opened << QStringLiteral("type 8 | saved 's' | AI2 [0,1,0,0,0,0] t 1 v 2");
    QTest::newRow("invalid indexes skipped")
        << analog("<analogChannel><data time=\"1\"/></analogChannel>"
                  "<analogChannel index=\"0\"><data time=\"1\"/></analogChannel>"
                  "<analogChannel index=\"65\"><data time=\"1\"/></analogChannel>"
                  "<analogChannel index=\"-1\"><data time=\"1\"/></analogChannel>"
                  "<analogChannel index=\"x\"><data time=\"1\"/></analogChannel>"
                  "<analogChannel index=\"64\"><data time=\"1\"/></analogChannel>")
        << opened << QStringLiteral("type 8 | saved 's' | AI64 %1 t 1 v 0").arg(unit);
    QTest::newRow("a repeated index keeps the first channel of its kind")
        << project("<sampledData><analogChannels>"
                   "<analogChannel index=\"2\"><data time=\"1\" voltage=\"1\"/></analogChannel>"
                   "<analogChannel index=\"2\"><data time=\"2\" voltage=\"2\"/></analogChannel>"
                   "<analogChannel index=\"3\"><data time=\"3\" voltage=\"3\"/></analogChannel>"
                   "</analogChannels><digitChannels>"
                   "<digitChannel index=\"1\"><data time=\"1\" status=\"1\"/></digitChannel>"
                   "<digitChannel index=\"1\"><data time=\"2\" status=\"0\"/></digitChannel>"
                   "</digitChannels><edgeCounters>"
                   "<edgeCounter index=\"2\"><data time=\"1\" counted=\"5\"/></edgeCounter>"
                   "</edgeCounters></sampledData>")
        << opened
        << QStringLiteral("type 8 | saved 's' | AI2 %1 t 1 v 1 | AI3 %1 t 3 v 3 | DI1 t 1 s 1 | "
                          "CN2 t 1 n 5")
               .arg(unit);
    QTest::newRow("times that go backwards")
        << analog(
               "<analogChannel index=\"1\"><data time=\"2\" voltage=\"1\"/>"
               "<data time=\"1\" voltage=\"1\"/><data time=\"2\" voltage=\"1\"/></analogChannel>")
        << opened
        << QStringLiteral("type 8 | saved 's' | AI1 %1 t 2,2.001,2.002 v 1,1,1").arg(unit);
    // Not finite: skipped. Out of range, unreadable or missing: 0, then moved forward.
    QTest::newRow("times that are not numbers")
        << analog("<analogChannel index=\"1\"><data time=\"nan\" voltage=\"1\"/>"
                  "<data time=\"inf\" voltage=\"2\"/><data time=\"-inf\" voltage=\"3\"/>"
                  "<data time=\"1e999\" voltage=\"4\"/><data time=\"abc\" voltage=\"5\"/>"
                  "<data voltage=\"6\"/><data time=\" 7.5 \" voltage=\"7\"/></analogChannel>")
        << opened
        << QStringLiteral("type 8 | saved 's' | AI1 %1 t 0,0.001,0.002,7.5 v 4,5,6,7").arg(unit);
    QTest::newRow("voltages that are not numbers")
        << analog("<analogChannel index=\"1\"><data time=\"1\" voltage=\"nan\"/>"
                  "<data time=\"2\" voltage=\"x\"/><data time=\"3\"/></analogChannel>")
        << opened << QStringLiteral("type 8 | saved 's' | AI1 %1 t 2,3 v 0,0").arg(unit);
    QTest::newRow("coefficients missing, unreadable or extra")
        << analog("<analogChannel index=\"1\" coef0=\"x\" coef2=\"inf\" coef3=\"2.5\" coef6=\"9\">"
                  "<data time=\"1\" voltage=\"2\"/></analogChannel>")
        << opened << QStringLiteral("type 8 | saved 's' | AI1 [0,0,0,2.5,0,0] t 1 v 2");
    QTest::newRow("statuses") << project(
        "<sampledData><digitChannels><digitChannel index=\"1\">"
        "<data time=\"1\" status=\"1\"/><data time=\"2\" status=\"true\"/>"
        "<data time=\"3\" status=\"01\"/><data time=\"4\"/></digitChannel>"
        "</digitChannels></sampledData>")
                              << opened
                              << QStringLiteral("type 8 | saved 's' | DI1 t 1,2,3,4 s 1,0,0,0");
    QTest::newRow("counts are unsigned 32-bit")
        << counters(
               "<data time=\"1\" counted=\"2147483648\"/><data time=\"2\" counted=\"4294967295\"/>"
               "<data time=\"3\" counted=\"4294967296\"/><data time=\"4\" counted=\"-1\"/>")
        << opened
        << QStringLiteral("type 8 | saved 's' | CN1 t 1,2,3,4 n 2147483648,4294967295,0,0");
    QTest::newRow("only the first group of a kind")
        << project("<sampledData><edgeCounters><edgeCounter index=\"2\"><data time=\"1\" "
                   "counted=\"5\"/></edgeCounter></edgeCounters><edgeCounters><edgeCounter "
                   "index=\"1\"><data time=\"1\" counted=\"6\"/></edgeCounter></edgeCounters>"
                   "</sampledData>")
        << opened << QStringLiteral("type 8 | saved 's' | CN2 t 1 n 5");
    QTest::newRow("the first child holds the samples, whatever its name")
        << project("<other><digitChannels><digitChannel index=\"3\"><data time=\"1\" "
                   "status=\"1\"><nested time=\"9\"/></data></digitChannel></digitChannels>"
                   "</other><sampledData><digitChannels><digitChannel index=\"1\"/>"
                   "</digitChannels></sampledData>")
        << opened << QStringLiteral("type 8 | saved 's' | DI3 t 1 s 1");
    QTest::newRow("declared encoding")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Quoravi version=\"2.2\" "
                      "savedTime=\"caf\xe9\"/>")
        << opened << QStringLiteral("type 0 | saved 'caf\u00e9'");
    QTest::newRow("byte order mark and entities")
        << QByteArray("\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE Quoravi [<!ENTITY when "
                      "\"noon\">]><Quoravi version='2.2.1' savedTime='&when; &amp; &#x41;'/>")
        << opened << QStringLiteral("type 0 | saved 'noon & A'");
}

// Files from other programs, old versions and hand edits: each gives the outcome it
// deserves, through the fast path and through QXmlStreamReader alike.
void TestProjectFile::badInput()
{
    QFETCH(QByteArray, document);
    QFETCH(int, outcome);
    QFETCH(QString, box);

    for (const auto &result : { readBytes(document), readBytesWithQt(document) }) {
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.box != nullptr, outcome == ZProjectReadResult::Opened);
        if (result.box)
            QCOMPARE(describe(*result.box), box);
    }
}

void TestProjectFile::truncatedCopies()
{
    const QByteArray golden = readAll(goldenPath());
    for (int size = 0; size < golden.size(); size += 7) {
        const auto result = readBytes(golden.left(size));
        QVERIFY2(result.outcome == ZProjectReadResult::InvalidFormat,
                 qPrintable(QString::number(size)));
        QVERIFY(!result.box);
    }
    // Trailing white space is still the whole document.
    QCOMPARE(readBytes(golden + "\n \n").outcome, ZProjectReadResult::Opened);
}

void TestProjectFile::fastScannerAgreesWithQt_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("fast");

    QTest::newRow("golden file") << readAll(goldenPath()) << true;
    QTest::newRow("single quotes, entities, UTF-8 and '>' in values") << QByteArray(
        "<?xml version='1.0' encoding='UTF-8' standalone='yes' ?>\r\n<a x='&lt;&amp;&gt;'"
        " y=\"it&apos;s &quot;\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 >\"\n\t><b/></a >")
                                                                      << true;
    QTest::newRow("byte order mark, no declaration") << QByteArray("\xEF\xBB\xBF <a/> \n") << true;
    QTest::newRow("small chunks") << QByteArray("<a>") + QByteArray(5000, ' ') + "</a>" << true;
    QTest::newRow("comment") << QByteArray("<a><!-- x --></a>") << false;
    QTest::newRow("character reference") << QByteArray("<a x=\"&#65;\"/>") << false;
    QTest::newRow("tab in a value") << QByteArray("<a x=\"1\t2\"/>") << false;
    QTest::newRow("namespace declaration") << QByteArray("<a xmlns=\"u\"/>") << false;
    QTest::newRow("prefixed name") << QByteArray("<p:a/>") << false;
    QTest::newRow("duplicate attribute") << QByteArray("<a x=\"1\" x=\"2\"/>") << false;
    QTest::newRow("no space between attributes") << QByteArray("<a x=\"1\"y=\"2\"/>") << false;
    QTest::newRow("unquoted value") << QByteArray("<a x=1/>") << false;
    QTest::newRow("'<' in a value") << QByteArray("<a x=\"<\"/>") << false;
    QTest::newRow("mismatched end tag") << QByteArray("<a></b>") << false;
    QTest::newRow("overlong UTF-8") << QByteArray("<a x=\"\xC0\xAF\"/>") << false;
    QTest::newRow("surrogate in UTF-8") << QByteArray("<a x=\"\xED\xA0\x80\"/>") << false;
    QTest::newRow("U+FFFE") << QByteArray("<a x=\"\xEF\xBF\xBE\"/>") << false;
    QTest::newRow("Latin-1 declared")
        << QByteArray("<?xml version=\"1.0\" encoding=\"latin1\"?><a/>") << false;
    QTest::newRow("declaration after space") << QByteArray(" <?xml version=\"1.0\"?><a/>") << false;
    QTest::newRow("text in an element") << QByteArray("<a>x</a>") << false;
    QTest::newRow("two roots") << QByteArray("<a/><b/>") << false;
    QTest::newRow("unclosed root") << QByteArray("<a><b/>") << false;
    QTest::newRow("no root") << QByteArray(" \n") << false;
}

// Whatever the fast scanner accepts is well-formed and reads as QXmlStreamReader reads
// it; the rest it leaves to QXmlStreamReader.
void TestProjectFile::fastScannerAgreesWithQt()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, fast);

    QBuffer buffer;
    buffer.setData(document);
    buffer.open(QIODevice::ReadOnly);
    Recorder fastEvents;
    ZXmlFastScanner scanner(64);
    QCOMPARE(scanner.scan(buffer, fastEvents) == ZXmlFastScanner::WellFormed, fast);
    if (!fast)
        return;
    buffer.seek(0);
    Recorder qtEvents;
    QVERIFY(scanXmlWithStreamReader(buffer, qtEvents));
    QCOMPARE(fastEvents.events, qtEvents.events);
}

void TestProjectFile::saveCommands_data()
{
    QTest::addColumn<bool>("project");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("succeeded");
    QTest::addColumn<QString>("failed");
    QTest::addColumn<QByteArray>("afterDate"); // what the file holds after the date
    QTest::newRow("project") << true << "Project"
                             << "Save Project succeeded."
                             << "Save Project failed." << QByteArray("\">\n <sampledData>\n");
    QTest::newRow("data") << false << "Data"
                          << "Save Data succeeded"
                          << "Save Data failed because of limits of authority."
                          << QByteArray("\nanalogChannel\t2\ntime(seconds)\tvoltage(volts)\t"
                                        "funcValue\n0.5\t2\t2\n");
}

void TestProjectFile::saveCommands()
{
    QFETCH(bool, project);
    QFETCH(QString, kind);
    QFETCH(QString, failed);
    QFETCH(QByteArray, afterDate);
    ZAppObservable app(noBridge());
    app.setBoxType(1);
    appendVolts(app.activeBox()->analogIns()[1], { { 0.5, 2.0 } });
    const QDateTime when(QDate(2024, 6, 1), QTime(9, 30));
    ZProjectCommands commands(app);
    commands.setClock([&] { return when; });
    QStringList statuses;
    commands.setStatusSink([&](const QString &text) { statuses << text; });
    const auto save = [&](const QString &file) {
        return project ? commands.saveProject(file) : commands.saveData(file);
    };

    const QString file = m_dir.filePath(QStringLiteral("saved-%1").arg(kind));
    ZCommandOutcome outcome = save(file);
    QVERIFY(outcome.succeeded);
    QCOMPARE(outcome.message, ZCommandOutcome::NoMessage);
    QTEST(outcome.statusText, "succeeded");
    QCOMPARE(statuses, QStringList { QStringLiteral("Saving %1 to %2...").arg(kind, file) });
    const QByteArray dated = savedTimeText(when).toUtf8() + afterDate;
    QVERIFY2(project ? readAll(file).contains(dated) : readAll(file) == dated, readAll(file));

    // The folder does not exist: the system's reason, no file.
    const QString nowhere = m_dir.filePath(QStringLiteral("missing/saved"));
    outcome = save(nowhere);
    QVERIFY(!outcome.succeeded);
    QCOMPARE(outcome.message, ZCommandOutcome::WarningMessage);
    QCOMPARE(outcome.messageTitle, QStringLiteral("Save %1").arg(kind));
    QCOMPARE(outcome.messageText,
             QStringLiteral("Can't Save %1 to %2:\nNo such file or directory.").arg(kind, nowhere));
    QCOMPARE(outcome.statusText, failed);

    // A write that fails half-way is a failure, and the previous file survives.
    ZAnalogIn *ai = app.activeBox()->analogIns()[0];
    for (int i = 0; i < 20000; ++i)
        appendVolts(ai, { { i * 0.001, i * 1e-4 } });
    const QByteArray before = readAll(file);
    {
        FileSizeLimit limit(100000);
        outcome = save(file);
    }
    QVERIFY(!outcome.succeeded);
    QCOMPARE(outcome.messageText,
             QStringLiteral("Can't Save %1 to %2:\nFile too large.").arg(kind, file));
    QCOMPARE(outcome.statusText, failed);
    QCOMPARE(readAll(file), before);
}

void TestProjectFile::failedCommitKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("project");
    QTest::addColumn<bool>("folderGone");
    QTest::addColumn<QString>("reason");
    QTest::newRow("project, the name became a folder") << true << false << "Is a directory";
    QTest::newRow("project, the folder became a file") << true << true << "Not a directory";
    QTest::newRow("data, the name became a folder") << false << false << "Is a directory";
    QTest::newRow("data, the folder became a file") << false << true << "Not a directory";
}

// The new content is written in full but cannot take the old file's place at the very
// end (for root as well: no permission bits are involved). The command reports the
// failure with the system's reason, and the old file is untouched.
void TestProjectFile::failedCommitKeepsTheOldFile()
{
    QFETCH(bool, project);
    QFETCH(bool, folderGone);
    QFETCH(QString, reason);
    ZAppObservable app(noBridge());
    app.setBoxType(8);
    appendVolts(app.activeBox()->analogIns()[0], { { 0.001, 1.5 } });

    const QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("out"));
    const QString target = folder + QStringLiteral("/old.file");
    const QString aside = base.filePath(QStringLiteral("aside"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(writeAll(target, "old content\n"));
    ZProjectCommands commands(app);
    // The status comes once the new file is open, before a byte is written.
    commands.setStatusSink([&](const QString &) {
        if (folderGone) {
            QDir().rename(folder, aside);
            writeAll(folder, "a file where the folder was");
        } else {
            QFile::rename(target, aside);
            QDir().mkpath(target + QStringLiteral("/inner"));
        }
    });
    const ZCommandOutcome outcome
        = project ? commands.saveProject(target) : commands.saveData(target);
    QVERIFY(!outcome.succeeded);
    QCOMPARE(outcome.message, ZCommandOutcome::WarningMessage);
    QVERIFY2(outcome.messageText.endsWith(QStringLiteral(":\n%1.").arg(reason)),
             qPrintable(outcome.messageText));
    QCOMPARE(outcome.statusText,
             project ? QStringLiteral("Save Project failed.")
                     : QStringLiteral("Save Data failed because of limits of authority."));

    // Undone, the sabotage leaves the old file as it was and nothing beside it.
    if (folderGone) {
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().rename(aside, folder));
    } else {
        QVERIFY(QFileInfo(target + QStringLiteral("/inner")).isDir());
        QVERIFY(QDir(target).removeRecursively());
        QVERIFY(QFile::rename(aside, target));
    }
    QCOMPARE(readAll(target), QByteArray("old content\n"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList { QStringLiteral("old.file") });
}

void TestProjectFile::openProjectCommand()
{
    ZAppObservable app(noBridge());
    app.setBoxType(1);
    ZProjectCommands commands(app);
    QStringList statuses;
    commands.setStatusSink([&](const QString &text) { statuses << text; });
    const QString broken = m_dir.filePath(QStringLiteral("broken.xml"));
    const QString old = m_dir.filePath(QStringLiteral("old.xml"));
    writeAll(broken, readAll(goldenPath()).left(300));
    writeAll(old, "<?xml version=\"1.0\"?>\n<Quoravi version=\"1.9\"><sampledData/></Quoravi>\n");
    const QString reading = QStringLiteral("Open Project failed because of reading failure.");
    const QList<QPair<QString, QString>> failures {
        { m_dir.filePath(QStringLiteral("missing.xml")), reading },
        { m_dir.path(), reading },
        { broken, QStringLiteral("Open Project failed because of file of invalid format.") },
        { old, QStringLiteral("Open Project failed because of unmatched version.") },
    };
    for (const auto &[file, status] : failures) {
        statuses.clear();
        const ZCommandOutcome outcome = commands.openProject(file);
        QVERIFY(!outcome.succeeded);
        QCOMPARE(outcome.statusText, status);
        QCOMPARE(statuses.first(), QStringLiteral("Reading from %1...").arg(file));
        QCOMPARE(outcome.message,
                 file == old ? ZCommandOutcome::PlainMessage : ZCommandOutcome::NoMessage);
        if (file == old)
            QCOMPARE(outcome.messageText,
                     QStringLiteral("Please choose project file saved by "
                                    "Quoravi of the current Version!"));
    }
    QCOMPARE(app.boxes().size(), std::size_t(1));

    // Each opening adds a playback box, also for the same file; failed readings, and a
    // first reading left to QXmlStreamReader, used up no identifier.
    const int firstId = ZImgyBox(0).id() + 1;
    QVERIFY(!commands.openProject(broken).succeeded);
    writeAll(broken, "<Quoravi version=\"2.2\"><!-- hand edit --><sampledData/></Quoravi>");
    QVERIFY(commands.openProject(broken).succeeded);
    QCOMPARE(app.boxes().back()->id(), firstId);
    statuses.clear();
    for (std::size_t n = 3; n <= 4; ++n) {
        const ZCommandOutcome outcome = commands.openProject(goldenPath());
        QCOMPARE(outcome.statusText, QStringLiteral("Open Project succeeded."));
        QCOMPARE(app.boxes().size(), n);
        QCOMPARE(app.boxes()[n - 1]->id(), firstId + int(n) - 2);
        QCOMPARE(app.activeBox(), app.boxes()[0]);
        QCOMPARE(describe(*app.boxes()[n - 1]),
                 QStringLiteral(
                     "type 8 | saved '6/1/24 9:30 AM' | "
                     "AI2 [0.5,2,0,-0.25,0,1e-07] t 0.001,0.002,0.003 v 1.23457,1.2e-05,-1.25 | "
                     "AI4 [0,1,0,0,0,0] t 0.5 v 100 | DI1 t 0.001,0.002 s 1,0 | "
                     "CN1 t 0.1,0.2 n 7,3000000000"));
    }
    QCOMPARE(statuses.mid(0, 2),
             (QStringList { QStringLiteral("Reading from %1...").arg(goldenPath()),
                            QStringLiteral("Reconstructing project...") }));
}

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
