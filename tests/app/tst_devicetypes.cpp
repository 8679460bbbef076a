#include "app/zdevicetypes.h"

#include <QtTest>

class TestDeviceTypes : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void rows_data();
    void rows();
    void baudRates_data();
    void baudRates();
    void digitOutLimits_data();
    void digitOutLimits();
};

void TestDeviceTypes::names_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::newRow("none") << 0 << "Unkown";
    QTest::newRow("negative") << -3 << "Unkown";
    QTest::newRow("eleven") << 11 << "Unkown";
    QTest::newRow("1") << 1 << "UX-100";
    QTest::newRow("3") << 3 << "UX-102";
    QTest::newRow("7") << 7 << "UX-106";
    QTest::newRow("10") << 10 << "UX-109";
}

void TestDeviceTypes::names()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QCOMPARE(boxTypeName(type), name);
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
    QTest::newRow("1") << 1 << QList<int> { 2, 1, 0, 0, 1 } << u100 << d100 << 0 << 0 << 1 << 0.0
                       << true;
    QTest::newRow("2") << 2 << QList<int> { 2, 1, 0, 0, 1 } << u100 << d100 << 8 << 0 << 1 << 0.0
                       << true;
    QTest::newRow("3") << 3 << QList<int> { 3, 1, 0, 0, 1 } << 10.0 << 8.0 << 0 << 0 << 1 << 0.0
                       << true;
    QTest::newRow("4") << 4 << QList<int> { 4, 1, 0, 0, 1 } << u100 << d100 << 0 << 0 << 1 << 0.0
                       << false;
    QTest::newRow("5") << 5 << QList<int> { 4, 1, 0, 0, 1 } << u100 << d100 << 8 << 0 << 1 << 0.0
                       << false;
    QTest::newRow("6") << 6 << QList<int> { 4, 1, 0, 0, 1 } << u100 << d100 << 0 << 1 << 1 << 0.0
                       << false;
    QTest::newRow("7") << 7 << QList<int> { 8, 1, 0, 0, 1 } << u100 << d100 << 0 << 2 << 2 << 0.0
                       << false;
    QTest::newRow("8") << 8 << QList<int> { 4, 1, 1, 1, 2 } << u107 << u107 << 0 << 1 << 1 << 4.0
                       << false;
    QTest::newRow("9") << 9 << QList<int> { 8, 1, 1, 1, 2 } << u107 << u107 << 0 << 2 << 2 << 4.0
                       << false;
    QTest::newRow("10") << 10 << QList<int> { 14, 5, 2, 4, 3 } << 1.0 << 1.0 << 1 << 0 << 2 << 0.0
                        << false;
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
    QVERIFY(row->digitIns >= 1);
    QVERIFY(!deviceType(0));
    QVERIFY(!deviceType(11));
}

void TestDeviceTypes::baudRates_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<unsigned>("baud");
    for (int type = 0; type <= 11; ++type)
        QTest::addRow("type %d", type) << type << (type == 3 ? 19200u : 115200u);
}

void TestDeviceTypes::baudRates()
{
    QFETCH(int, type);
    QFETCH(unsigned, baud);
    QCOMPARE(baudRateOf(type), baud);
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
