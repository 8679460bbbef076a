#include "persisttestutil.h"

#include "device/zrealbox.h"
#include "persist/zdataexporter.h"
#include "persist/zsavedtime.h"

#include <QBuffer>
#include <QtTest>

class TestDataExport : public QObject
{
    Q_OBJECT

private slots:
    void everyKindInChannelOrder();
};

// Channels without samples are left out; times have six digits (ties away from zero),
// voltages and function values at most eight decimals, counts are unsigned.
void TestDataExport::everyKindInChannelOrder()
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

QTEST_GUILESS_MAIN(TestDataExport)
#include "tst_dataexport.moc"
