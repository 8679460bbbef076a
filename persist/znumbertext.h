#ifndef ZNUMBERTEXT_H
#define ZNUMBERTEXT_H

#include <QtGlobal>

#include <string_view>

// Number texts of the file writers, rendered into caller buffers without allocating and
// with a point as decimal separator whatever the process locale. Each function writes at
// most Capacity characters (no terminating zero) and returns the end of what it wrote.
namespace ZNumberText {

// The fixed form of a value near the largest double with a few decimals needs ~320.
constexpr int Capacity = 352;

// The shortest text that reads back to the same double, laid out in general form:
// exponent form (1.5e-05) when the decimal exponent is below -4 or at least 16, fixed
// form otherwise. "nan", "inf" and "-inf" for values that are not finite.
char *shortest(double value, char *out);

// What QString::number(value, 'g', significant) gives: general form with that many
// significant digits, trailing zeros dropped, exponent form below 1e-4 or from
// 10^significant on.
char *general(double value, int significant, char *out);

// What formatNumber(value, maxDecimals) gives, without its temporary strings.
char *decimal(double value, int maxDecimals, char *out);

char *unsignedDecimal(quint64 value, char *out);
char *signedDecimal(qint64 value, char *out);

// Reading UTF-8 attribute texts exactly as QString::toDouble() and QString::toUInt()
// read them (surrounding white space, a plus sign, "inf" and "nan" included), with a
// fast path for the plain forms that the writers produce. *ok tells whether the text was
// a number; the result is 0 when it was not.
double parseDouble(std::string_view text, bool *ok);
quint32 parseUnsigned(std::string_view text, bool *ok);

} // namespace ZNumberText

#endif // ZNUMBERTEXT_H
