#include "app/zdevicetypes.h"

#include <QtTest>

class TestDeviceTypes : public QObject
{
    Q_OBJECT

private slots:
    void unknownTypes();
    void rows_data();
    void rows();
    void digitOutLimits_data();
    void digitOutLimits();
};

void TestDeviceTypes::unknownTypes()
{
    for (const int type : { -3, 0, 11 }) {
        QVERIFY(!deviceType(type));
        QCOMPARE(boxTypeName(type), QString("Unkown"));
        QCOMPARE(baudRateOf(type), 115200u);
    }
}

void TestDeviceTypes::rows_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("counts"); // AI DI CNT AO DO
    QTest::addColumn<double>("minAnalog");
    QTest::addColumn<double>("minDigit");
    QTest::addColumn<int>("rangeMask");
    QTest::addColumn<int>("inputMode");
    QTest::addColumn<int>("calibration");
    QTest::addColumn<double>("analogOutMax");
    QTest::addColumn<bool>("valueOnly");
    const double u100 = 3.125, d100 = 2.380952380952381, u107 = 2.2222222222222223;
    QTest::newRow("UX-100") << 1 << QList<int> { 2, 1, 0, 0, 1 } << u100 << d100 << 0 << 0 << 1
                            << 0.0 << true;
    QTest::newRow("UX-101") << 2 << QList<int> { 2, 1, 0, 0, 1 } << u100 << d100 << 8 << 0 << 1
                            << 0.0 << true;
    QTest::newRow("UX-102") << 3 << QList<int> { 3, 1, 0, 0, 1 } << 10.0 << 8.0 << 0 << 0 << 1
                            << 0.0 << true;
    QTest::newRow("UX-103") << 4 << QList<int> { 4, 1, 0, 0, 1 } << u100 << d100 << 0 << 0 << 1
                            << 0.0 << false;
    QTest::newRow("UX-104") << 5 << QList<int> { 4, 1, 0, 0, 1 } << u100 << d100 << 8 << 0 << 1
                            << 0.0 << false;
    QTest::newRow("UX-105") << 6 << QList<int> { 4, 1, 0, 0, 1 } << u100 << d100 << 0 << 1 << 1
                            << 0.0 << false;
    QTest::newRow("UX-106") << 7 << QList<int> { 8, 1, 0, 0, 1 } << u100 << d100 << 0 << 2 << 2
                            << 0.0 << false;
    QTest::newRow("UX-107") << 8 << QList<int> { 4, 1, 1, 1, 2 } << u107 << u107 << 0 << 1 << 1
                            << 4.0 << false;
    QTest::newRow("UX-108") << 9 << QList<int> { 8, 1, 1, 1, 2 } << u107 << u107 << 0 << 2 << 2
                            << 4.0 << false;
    QTest::newRow("UX-109") << 10 << QList<int> { 14, 5, 2, 4, 3 } << 1.0 << 1.0 << 1 << 0 << 2
                            << 0.0 << false;
}

void TestDeviceTypes::rows()
{
    QFETCH(int, type);
    QFETCH(QList<int>, counts);
    QFETCH(double, minAnalog);
    QFETCH(double, minDigit);
    QFETCH(int, rangeMask);
    QFETCH(int, inputMode);
    QFETCH(int, calibration);
    QFETCH(double, analogOutMax);
    QFETCH(bool, valueOnly);
    QCOMPARE(boxTypeName(type), QString(QTest::currentDataTag())); // rows bear the box names
    QCOMPARE(baudRateOf(type), type == 3 ? 19200u : 115200u);

    const ZDeviceType *row = deviceType(type);
    QVERIFY(row);
    QCOMPARE(row->type, type);
    QCOMPARE((QList<int> { row->analogIns, row->digitIns, row->edgeCnts, row->analogOuts,
                           row->digitOuts }),
             counts);
    QCOMPARE(row->minAnalogInInterval, minAnalog);
    QCOMPARE(row->minDigitInInterval, minDigit);
    QCOMPARE(int(row->rangeMask), rangeMask);
    QCOMPARE(row->inputModeCode, inputMode);
    QCOMPARE(row->calibrationSetCode, calibration);
    QCOMPARE(row->analogOutMaxVoltage, analogOutMax);
    QCOMPARE(row->digitOutValueOnly, valueOnly);
}

void TestDeviceTypes::digitOutLimits_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("channel");
    QTest::addColumn<bool>("limited");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("min");
    QTest::newRow("UX-100 value only") << 1 << 0 << false << 0.0 << 0.0;
    QTest::newRow("UX-102 value only") << 3 << 0 << false << 0.0 << 0.0;
    QTest::newRow("UX-103 A") << 4 << 0 << true << 16666666.666666668 << 1000.0;
    QTest::newRow("UX-108 A") << 9 << 1 << true << 16666666.666666668 << 1000.0;
    QTest::newRow("UX-109 ch0 B") << 10 << 0 << true << 4081.6326530612246 << 1.0;
    QTest::newRow("UX-109 ch1 A") << 10 << 1 << true << 16666666.666666668 << 1000.0;
    QTest::newRow("UX-109 ch2 B") << 10 << 2 << true << 4081.6326530612246 << 1.0;
}

void TestDeviceTypes::digitOutLimits()
{
    QFETCH(int, type);
    QFETCH(int, channel);
    QFETCH(bool, limited);
    QFETCH(double, max);
    QFETCH(double, min);
    ZDigitOutLimits limits {};
    QCOMPARE(::digitOutLimits(type, channel, &limits), limited);
    if (limited) {
        QCOMPARE(limits.maxInterval, max);
        QCOMPARE(limits.minInterval, min);
    }
}

QTEST_APPLESS_MAIN(TestDeviceTypes)
#include "tst_devicetypes.moc"
