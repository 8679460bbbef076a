#include "znumbertext.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace ZNumberText {

namespace {

char *copyText(const char *text, char *out)
{
    const std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return out + n;
}

// Qt's texts for the values that are not finite.
char *nonFinite(double value, char *out)
{
    if (std::isnan(value))
        return copyText("nan", out);
    return copyText(value < 0 ? "-inf" : "inf", out);
}

// |value| = odd * 2^exponent, for a finite value other than zero.
void decompose(double value, quint64 *odd, int *exponent)
{
    int e = 0;
    const double fraction = std::frexp(std::fabs(value), &e);
    quint64 m = quint64(std::ldexp(fraction, 64 - 11));
    e -= 64 - 11;
    while ((m & 1) == 0) {
        m >>= 1;
        ++e;
    }
    *odd = m;
    *exponent = e;
}

// Qt rounds a value lying exactly halfway between two candidates away from zero, the
// standard library to the even one. Such ties exist only for short exact decimals
// (12345.25 at six digits), found here with integer arithmetic: |value| = odd * 2^e is
// exactly D * 10^e with D = odd * 5^-e when e < 0, and D = odd / 5^e when 5^e divides odd.

// A tie when rounded to `decimals` places: the last exact decimal is one place further.
bool isTieAtDecimals(double value, int decimals)
{
    if (value == 0.0)
        return false;
    quint64 odd = 0;
    int e = 0;
    decompose(value, &odd, &e);
    return e == -(decimals + 1);
}

// A tie when rounded to `digits` significant digits: exactly digits + 1 of them, the last
// a five.
bool isTieAtSignificant(double value, int digits)
{
    if (value == 0.0 || digits > 17)
        return false;
    quint64 odd = 0;
    int e = 0;
    decompose(value, &odd, &e);
    quint64 limit = 1; // 10^(digits + 1)
    for (int i = 0; i <= digits; ++i)
        limit *= 10;
    quint64 d = odd;
    if (e < 0) {
        for (int i = 0; i < -e; ++i) {
            if (d >= limit)
                return false;
            d *= 5;
        }
    } else {
        for (int i = 0; i < e; ++i) {
            if (d % 5 != 0)
                return false;
            d /= 5;
        }
    }
    return d >= limit / 10 && d < limit && d % 10 == 5;
}

char *qtNumber(double value, char format, int precision, char *out)
{
    const QByteArray text = QString::number(value, format, precision).toLatin1();
    return std::copy(text.constData(), text.constData() + text.size(), out);
}

} // namespace

char *shortest(double value, char *out)
{
    if (!std::isfinite(value))
        return nonFinite(value, out);

    // Scientific form first: it gives the shortest digits and the exponent.
    char sci[40];
    const auto result = std::to_chars(sci, sci + sizeof(sci), value, std::chars_format::scientific);
    const char *const end = result.ptr;
    const char *e = static_cast<const char *>(std::memchr(sci, 'e', std::size_t(end - sci)));
    int exponent = 0;
    std::from_chars(e[1] == '+' ? e + 2 : e + 1, end, exponent);
    if (exponent < -4 || exponent >= 16)
        return std::copy(static_cast<const char *>(sci), end, out);

    const char *p = sci;
    if (*p == '-')
        *out++ = *p++;
    char digits[20];
    int count = 0;
    for (; p < e; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        for (int i = -1; i > exponent; --i)
            *out++ = '0';
        return std::copy(digits, digits + count, out);
    }
    const int intDigits = exponent + 1;
    for (int i = 0; i < intDigits; ++i)
        *out++ = i < count ? digits[i] : '0';
    if (count > intDigits) {
        *out++ = '.';
        out = std::copy(digits + intDigits, digits + count, out);
    }
    return out;
}

char *general(double value, int significant, char *out)
{
    if (!std::isfinite(value))
        return nonFinite(value, out);
    // Qt drops the sign of a negative zero.
    if (value == 0.0) {
        *out = '0';
        return out + 1;
    }
    if (isTieAtSignificant(value, significant))
        return qtNumber(value, 'g', significant, out);
    return std::to_chars(out, out + Capacity, value, std::chars_format::general, significant).ptr;
}

char *decimal(double value, int maxDecimals, char *out)
{
    char *end = general(value, 6, out);
    const auto length = std::size_t(end - out);
    const char *point = static_cast<const char *>(std::memchr(out, '.', length));
    const char *e = static_cast<const char *>(std::memchr(out, 'e', length));
    if (point) {
        const int shown = int(end - point - 1); // exponent characters included
        // A fixed general form with no more decimals than allowed is already the fixed
        // form with those decimals: both round at the same digit.
        if (!e && shown <= maxDecimals)
            return end;
        const int decimals = qMin(shown, maxDecimals);
        if (isTieAtDecimals(value, decimals))
            return qtNumber(value, 'f', decimals, out);
        return std::to_chars(out, out + Capacity, value, std::chars_format::fixed, decimals).ptr;
    }
    if (e && e > out)
        return general(value, maxDecimals, out);
    return end;
}

char *unsignedDecimal(quint64 value, char *out)
{
    return std::to_chars(out, out + Capacity, value).ptr;
}

char *signedDecimal(qint64 value, char *out)
{
    return std::to_chars(out, out + Capacity, value).ptr;
}

double parseDouble(std::string_view text, bool *ok)
{
    // The fast path takes only what both readers agree on; Qt decides the rest.
    if (!text.empty() && ((text[0] >= '0' && text[0] <= '9') || text[0] == '-' || text[0] == '.')) {
        double value = 0.0;
        const char *end = text.data() + text.size();
        const auto result = std::from_chars(text.data(), end, value);
        if (result.ec == std::errc() && result.ptr == end && std::isfinite(value)) {
            *ok = true;
            return value;
        }
    }
    const double value = QString::fromUtf8(text.data(), int(text.size())).toDouble(ok);
    return *ok ? value : 0.0;
}

quint32 parseUnsigned(std::string_view text, bool *ok)
{
    if (!text.empty() && text.size() <= 10) {
        quint64 value = 0;
        bool digits = true;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            value = value * 10 + quint64(c - '0');
        }
        if (digits) {
            *ok = value <= 0xFFFFFFFFu;
            return *ok ? quint32(value) : 0;
        }
    }
    const quint32 value = QString::fromUtf8(text.data(), int(text.size())).toUInt(ok);
    return *ok ? value : 0;
}

} // namespace ZNumberText
