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

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void formsMatchQt();
    void parsingMatchesQt_data();
    void parsingMatchesQt();
};

// Export times and voltages read exactly as the rest of the program shows them, and
// project times and coefficients come back bit for bit through both readers.
void TestNumberText::formsMatchQt()
{
    const auto general6 = [](double v, char *out) {
        return ZNumberText::general(v, 6, out);
    };
    const auto decimal8 = [](double v, char *out) {
        return ZNumberText::decimal(v, 8, out);
    };
    for (const double value : sampleValues()) {
        QCOMPARE(render(general6, value), QString::number(value, 'g', 6));
        QVERIFY2(render(decimal8, value) == formatNumber(value, 8),
                 qPrintable(QString::number(value, 'g', 17)));
        if (!std::isfinite(value))
            continue;
        const QString text = render(ZNumberText::shortest, value);
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
    // The forms files hold: project voltages, and times and coefficients at their shortest.
    QStringList volts;
    for (const double value : { 1.2345678, 0.0000123, 100.0, 0.0000001, 1234567.0 })
        volts << render(decimal8, value);
    QCOMPARE(volts.join(QLatin1Char(' ')), "1.23457 0.000012 100 1e-07 1234567.00000000");
    QStringList shortest;
    for (const double value :
         { 100.0, 0.001, 0.1 + 0.2, 0.0001, 0.000015, 1e15, 1e16, 1.2345678901234568e17, -0.0,
           5e-324, std::nan(""), -std::numeric_limits<double>::infinity() })
        shortest << render(ZNumberText::shortest, value);
    QCOMPARE(shortest.join(QLatin1Char(' ')),
             "100 0.001 0.30000000000000004 0.0001 1.5e-05 1000000000000000 1e+16 "
             "1.2345678901234568e+17 -0 5e-324 nan -inf");
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
    QVERIFY(std::isnan(qtDouble) ? std::isnan(value) : value == (qtOk ? qtDouble : 0.0));
    const uint qtUnsigned = text.toUInt(&qtOk);
    QCOMPARE(ZNumberText::parseUnsigned(view, &ok), qtOk ? qtUnsigned : 0u);
    QCOMPARE(ok, qtOk);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
