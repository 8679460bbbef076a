#include "device/zrealbox.h"
#include "persist/zdataexporter.h"
#include "persist/zsavedtime.h"

#include <QBuffer>
#include <QtTest>

namespace {

QByteArray exported(const ZBox &box, const QString &dateLine = QStringLiteral("DATE"))
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return exportData(box, dateLine, buffer) ? buffer.data() : QByteArray("write failed");
}

void appendVolts(ZAnalogIn *channel, double time, double volts)
{
    channel->appendVolts(&time, &volts, 1);
}

void appendRaw(ZInChannel *channel, double time, int raw)
{
    channel->append(&time, &raw, 1);
}

} // namespace

class TestDataExport : public QObject
{
    Q_OBJECT

private slots:
    void timeForms_data();
    void timeForms();
    void onlyDigitalInputs();
    void everyKindInChannelOrder();
    void dateLine();
};

void TestDataExport::timeForms_data()
{
    QTest::addColumn<double>("time");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("six digits") << 1234.5678 << QByteArray("1234.57");
    QTest::newRow("a million") << 1000000.0 << QByteArray("1e+06");
    QTest::newRow("small") << 0.00001 << QByteArray("1e-05");
    QTest::newRow("exact tie rounds away from zero") << 12345.25 << QByteArray("12345.3");
}

void TestDataExport::timeForms()
{
    QFETCH(double, time);
    QFETCH(QByteArray, text);
    ZRealBox box(nullptr, 1);
    appendRaw(box.digitIns()[0], time, 1);
    QCOMPARE(exported(box), "DATE\ndigitChannel\t1\ntime(seconds)\tstatus\n" + text + "\t1\n");
}

void TestDataExport::onlyDigitalInputs()
{
    ZRealBox box(nullptr, 10);
    appendRaw(box.digitIns()[1], 0.5, 7);
    appendRaw(box.digitIns()[4], 0.25, 0);
    appendRaw(box.digitIns()[4], 0.125, 1); // moved forward to 0.251
    QCOMPARE(exported(box, QStringLiteral("when")),
             QByteArray("when\n"
                        "digitChannel\t2\ntime(seconds)\tstatus\n0.5\t1\n"
                        "digitChannel\t5\ntime(seconds)\tstatus\n0.25\t0\n0.251\t1\n"));
}

void TestDataExport::everyKindInChannelOrder()
{
    ZRealBox box(nullptr, 8);
    appendRaw(box.edgeCnts()[0], 0.1, -1);
    appendRaw(box.edgeCnts()[0], 0.2, int(2147483648u));
    appendRaw(box.digitIns()[0], 0.1, 0);
    ZAnalogIn *ai4 = box.analogIns()[3];
    ZAnalogIn *ai1 = box.analogIns()[0];
    ai4->setCoefs({ 1, 0, 1, 0, 0, 0 });
    appendVolts(ai4, 2.0, 1234567.0);
    appendVolts(ai4, 3.0, 0.0000123);
    appendVolts(ai1, 1.0, -0.0000001);
    QCOMPARE(
        exported(box),
        QByteArray("DATE\n"
                   "analogChannel\t1\ntime(seconds)\tvoltage(volts)\tfuncValue\n"
                   "1\t-1e-07\t-1e-07\n"
                   "analogChannel\t4\ntime(seconds)\tvoltage(volts)\tfuncValue\n"
                   "2\t1234567.00000000\t1524155677490.00000000\n"
                   "3\t0.000012\t1\n"
                   "digitChannel\t1\ntime(seconds)\tstatus\n0.1\t0\n"
                   "edgeCounter\t1\ntime(seconds)\tcounted\n0.1\t4294967295\n0.2\t2147483648\n"));
}

void TestDataExport::dateLine()
{
    const QDateTime when(QDate(2024, 6, 1), QTime(9, 30));
    QCOMPARE(savedTimeText(when, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("6/1/24 9:30 AM"));
    QCOMPARE(savedTimeText(when, QLocale(QLocale::German, QLocale::Germany)),
             QStringLiteral("01.06.24 09:30"));
}

QTEST_GUILESS_MAIN(TestDataExport)
#include "tst_dataexport.moc"
