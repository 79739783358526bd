// Number texts: the display text of a number shown to the host, and the
// reading of number texts (literals of statements, decimal texts).
//
// Display: six fixed decimals with the trailing zeros and a bare point
// removed, or, for values of 32-bit float items, seven significant digits
// so that a float shows the digits it really carries (0.1, not
// 0.100000001). Reading is deliberately lenient: it accepts "." or "," as
// the decimal separator and skips characters it does not know.
#ifndef ZKSQL_VALUES_NUMBER_TEXT_H_
#define ZKSQL_VALUES_NUMBER_TEXT_H_

#include <cstdint>

namespace zksql {

// Room for the display text of any real (the six-decimal form of the
// largest double has 317 characters).
constexpr int kNumberTextSize = 330;

// Writes the display text of `real` into out (size bytes, cut to size - 1
// characters and terminated). `digits` is 7 for values of 32-bit float
// items and 9 otherwise. Returns the length written.
int32_t NumberText(double real, int digits, char* out, int32_t size);

// The decimal digits of `magnitude` into `out` (room for 20), without a
// terminator; returns how many.
int WholeDigits(unsigned long long magnitude, char* out);

// Whether `real` is a whole number that a double holds exactly together
// with its neighbours (magnitude below 2^52): such a number prints with six
// decimals as its digits and ".000000", and reads back as itself, so the
// six-decimal rule leaves it as it is.
bool IsExactWholeNumber(double real);

// Reads a number text: an optional leading sign, integer digits, one
// decimal separator ("." or ","), decimal digits, and an exponent after
// "E" or "e". Other characters are skipped. A sign after the first
// character or a second separator ends the reading, and the value read so
// far is returned without its sign. A null text reads as 0.
double ParseNumber(const char* text);

}  // namespace zksql

#endif  // ZKSQL_VALUES_NUMBER_TEXT_H_
