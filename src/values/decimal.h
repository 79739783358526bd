// The fixed-point decimal of stored decimal items: ten bytes holding five
// 16-bit words, least significant first (each word low byte first),
// forming an 80-bit two's-complement integer equal to the value times
// 1000000, so six decimal places are exact.
//
// Conversions go through text, as the item's values are shown: the decimal
// to and from its text, and to and from a 64-bit real by way of that text.
// The arithmetic is done word by word, so no wider integer type is needed.
#ifndef ZKSQL_VALUES_DECIMAL_H_
#define ZKSQL_VALUES_DECIMAL_H_

#include <cstdint>

namespace zksql {

constexpr int kDecimalBytes = 10;
// Room for the text of any decimal: a sign, 24 digits, a point and a
// terminator, with margin.
constexpr int kDecimalTextSize = 32;

// Writes the text of the decimal held in `item` (kDecimalBytes bytes) into
// out (size bytes, cut to size - 1 characters): a "-" for negatives, six
// decimals with the trailing zeros and a bare point removed ("12.5",
// "-0.000001", "0"). Returns the length written.
int32_t DecimalToText(const void* item, char* out, int32_t size);

// Reads a decimal text into `item`: leading blanks, an optional sign,
// integer digits, and after a "." at most six decimal digits (further
// decimals are ignored); any other character ends the number. False when
// the value does not fit the 80-bit form (magnitude below 2^79), in which
// case `item` is set to zero.
[[nodiscard]] bool TextToDecimal(const char* text, void* item);

// The decimal held in `item` as a 64-bit real (through its text).
double DecimalToReal(const void* item);

// Stores `real` into `item` (through its six-decimal text). False, with
// `item` set to zero, when the real is not finite or does not fit.
[[nodiscard]] bool RealToDecimal(double real, void* item);

}  // namespace zksql

#endif  // ZKSQL_VALUES_DECIMAL_H_
