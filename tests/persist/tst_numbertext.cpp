#include "model/zglobal.h"
#include "persist/znumbertext.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

using Formatter = char *(*)(double, char *);

QString render(Formatter format, double value)
{
    char buffer[ZNumberText::Capacity];
    return QString::fromLatin1(buffer, int(format(value, buffer) - buffer));
}

QString general6(double value)
{
    return render([](double v, char *out) { return ZNumberText::general(v, 6, out); }, value);
}

QString decimal8(double value)
{
    return render([](double v, char *out) { return ZNumberText::decimal(v, 8, out); }, value);
}

QString shortest(double value)
{
    return render(ZNumberText::shortest, value);
}

// Values of every magnitude, both signs, values on rounding boundaries and the specials.
QVector<double> sampleValues()
{
    QVector<double> values = { 0.0,
                               -0.0,
                               1.0,
                               -1.0,
                               0.1,
                               0.5,
                               1.5,
                               999999.5,
                               999999.4,
                               0.00009999995,
                               0.0001,
                               1234567.0,
                               0.0000123,
                               1e-7,
                               -1.23e-9,
                               1.5e300,
                               -2.5e-300,
                               5e-324,
                               std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity() };
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (int i = 0; i < 20000; ++i)
        values << mantissa(random) * std::pow(10.0, exponent(random));
    // Short decimals as a clock in milliseconds gives them, and their rounding halves.
    for (int i = 0; i < 5000; ++i) {
        values << i * 0.001 << i * 0.0005 + 1000.0;
        values << double(random() % 10000000) / 1000.0;
    }
    // Exact ties at six significant digits or at the decimals shown, which Qt rounds away
    // from zero: 12345.25 s is a time a millisecond clock gives.
    for (int i = 0; i < 5000; ++i) {
        values << 10000.0 + i * 0.25 << -(1000.0 + i * 0.125) << 1234565.0 + i * 10.0;
        values << (i + 0.5) * 1e-3 << 123456.5 + i << std::ldexp(double(2 * i + 1), -9);
    }
    // Arbitrary bit patterns, the specials they contain included.
    for (int i = 0; i < 20000; ++i) {
        const quint64 bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values << value;
    }
    return values;
}

} // namespace

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void generalMatchesQt();
    void decimalMatchesFormatNumber();
    void shortestLayout_data();
    void shortestLayout();
    void shortestRoundTrips();
    void parsingMatchesQt_data();
    void parsingMatchesQt();
};

// The export's times and every voltage must read exactly as the formatter that
// the rest of the program shows them with, in every case the fast path could miss.
void TestNumberText::generalMatchesQt()
{
    for (const double value : sampleValues()) {
        const QString expected = QString::number(value, 'g', 6);
        if (general6(value) != expected)
            QFAIL(qPrintable(QStringLiteral("%1: %2 instead of %3")
                                 .arg(value, 0, 'g', 17)
                                 .arg(general6(value), expected)));
    }
}

void TestNumberText::decimalMatchesFormatNumber()
{
    for (const double value : sampleValues()) {
        const QString expected = formatNumber(value, 8);
        if (decimal8(value) != expected)
            QFAIL(qPrintable(QStringLiteral("%1: %2 instead of %3")
                                 .arg(value, 0, 'g', 17)
                                 .arg(decimal8(value), expected)));
    }
    // The forms the voltages of a project are known by.
    QCOMPARE(decimal8(1.2345678), QStringLiteral("1.23457"));
    QCOMPARE(decimal8(0.0000123), QStringLiteral("0.000012"));
    QCOMPARE(decimal8(100.0), QStringLiteral("100"));
    QCOMPARE(decimal8(0.0000001), QStringLiteral("1e-07"));
    QCOMPARE(decimal8(1234567.0), QStringLiteral("1234567.00000000"));
}

void TestNumberText::shortestLayout_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 100.0 << "100";
    QTest::newRow("millisecond") << 0.001 << "0.001";
    QTest::newRow("seventeen digits") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("smallest fixed") << 0.0001 << "0.0001";
    QTest::newRow("below 1e-4") << 0.000015 << "1.5e-05";
    QTest::newRow("million stays fixed") << 1000000.0 << "1000000";
    QTest::newRow("largest fixed") << 1e15 << "1000000000000000";
    QTest::newRow("from 1e16 on") << 1e16 << "1e+16";
    QTest::newRow("long exponent form") << 1.2345678901234568e17 << "1.2345678901234568e+17";
    QTest::newRow("negative") << -2.5 << "-2.5";
    QTest::newRow("negative zero") << -0.0 << "-0";
    QTest::newRow("tiny") << 5e-324 << "5e-324";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "nan";
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << "-inf";
}

void TestNumberText::shortestLayout()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(shortest(value), text);
}

// Project times and coefficients must come back bit for bit, through the fast reader
// and through Qt's.
void TestNumberText::shortestRoundTrips()
{
    for (const double value : sampleValues()) {
        if (!std::isfinite(value))
            continue;
        const QString text = shortest(value);
        QVERIFY2(text.size() <= 24, qPrintable(text));
        const QByteArray bytes = text.toLatin1();
        bool ok = false;
        const double fast = ZNumberText::parseDouble(
            std::string_view(bytes.constData(), std::size_t(bytes.size())), &ok);
        QVERIFY(ok);
        const double qt = text.toDouble(&ok);
        QVERIFY(ok || std::fpclassify(value) == FP_SUBNORMAL);
        quint64 a, b, c;
        std::memcpy(&a, &value, 8);
        std::memcpy(&b, &fast, 8);
        std::memcpy(&c, &qt, 8);
        QVERIFY2(a == b, qPrintable(text));
        QVERIFY2(a == c || !ok, qPrintable(text));
    }
}

void TestNumberText::parsingMatchesQt_data()
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
void TestNumberText::parsingMatchesQt()
{
    QFETCH(QString, text);
    const QByteArray bytes = text.toUtf8();
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));

    bool qtOk = false;
    const double qtDouble = text.toDouble(&qtOk);
    bool ok = false;
    const double value = ZNumberText::parseDouble(view, &ok);
    QCOMPARE(ok, qtOk);
    if (std::isnan(qtDouble))
        QVERIFY(std::isnan(value));
    else
        QCOMPARE(value, qtOk ? qtDouble : 0.0);

    const uint qtUnsigned = text.toUInt(&qtOk);
    QCOMPARE(ZNumberText::parseUnsigned(view, &ok), qtOk ? qtUnsigned : 0u);
    QCOMPARE(ok, qtOk);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
