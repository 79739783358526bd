// Number texts: formatting for display and lenient reading.
#include "values/number_text.h"

#include <cmath>
#include <cstring>

#include "base/fast_paths.h"
#include "platform.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

// Removes the zeros that end the decimals of a fixed-notation text, then
// the point itself when nothing follows it. Texts without a point (or in
// exponent form, such as "inf") are left alone.
void TrimDecimals(char* text) {
  if (strchr(text, '.') == nullptr || strchr(text, 'e') != nullptr ||
      strchr(text, 'E') != nullptr) {
    return;
  }
  size_t n = strlen(text);
  while (n > 0 && text[n - 1] == '0') text[--n] = '\0';
  if (n > 0 && text[n - 1] == '.') text[--n] = '\0';
}

// One part of a number text: the mantissa, or the exponent after "E".
// Reads from *pos onwards; *stopped is set when a stray sign or a second
// separator ended the reading early. The returned value carries its sign
// unless the reading stopped early.
double ReadPart(const char* text, size_t* pos, bool mantissa, bool* stopped) {
  size_t i = *pos;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') {
    negative = text[i] == '-';
    ++i;
  }
  double value = 0;
  double scale = 1;
  bool decimals = false;
  *stopped = false;
  for (; text[i] != '\0'; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      if (decimals) {
        scale *= 0.1;
        value += (c - '0') * scale;
      } else {
        value = value * 10 + (c - '0');
      }
    } else if (c == '.' || c == ',') {
      if (decimals) {
        *stopped = true;
        break;
      }
      decimals = true;
    } else if (c == '-' || c == '+') {
      *stopped = true;
      break;
    } else if (mantissa && (c == 'E' || c == 'e')) {
      break;  // the exponent follows
    }
    // Any other character (an "E" inside the exponent included) is skipped.
  }
  *pos = i;
  return negative && !*stopped ? -value : value;
}

// The digits of a whole number, with its sign: what the six-decimal text
// becomes once its zero decimals and point are trimmed.
void WholeNumberText(double real, char* text) {
  long long n = static_cast<long long>(real);
  unsigned long long magnitude =
      n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  if (n < 0) *text++ = '-';
  text[WholeDigits(magnitude, text)] = '\0';
}

}  // namespace

int WholeDigits(unsigned long long magnitude, char* out) {
  // Every value of a result's number columns goes through here: the digits
  // are counted first and written from the end two at a time.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  int count = 1;
  for (unsigned long long rest = magnitude; rest >= 10; rest /= 10) ++count;
  char* at = out + count;
  while (magnitude >= 100) {
    unsigned pair = static_cast<unsigned>(magnitude % 100) * 2;
    magnitude /= 100;
    *--at = kPairs[pair + 1];
    *--at = kPairs[pair];
  }
  if (magnitude >= 10) {
    unsigned pair = static_cast<unsigned>(magnitude) * 2;
    *--at = kPairs[pair + 1];
    *--at = kPairs[pair];
  } else {
    *--at = static_cast<char>('0' + magnitude);
  }
  return count;
}

bool IsExactWholeNumber(double real) {
  return std::fabs(real) < 4503599627370496.0 && real == std::trunc(real);
}

int32_t NumberText(double real, int digits, char* out, int32_t size) {
  if (out == nullptr || size < 1) return 0;
  char text[kNumberTextSize];
  // A whole number shows as its digits in both forms below. Negative zero
  // is left to them: it prints as "-0".
  if (FastPathsOn() && IsExactWholeNumber(real) && !(real == 0 && std::signbit(real))) {
    WholeNumberText(real, text);
    (void)BoundedCopy(out, text, size);  // cut to size - 1, as documented
    return static_cast<int32_t>(strlen(out));
  }
  double magnitude = std::fabs(real);
  if (digits == 7 && magnitude >= 0.1 && magnitude < 1e7) {
    // Seven significant digits in fixed notation: as many decimals as the
    // integer part leaves (seven for values below 1).
    int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    int decimals = 6 - exponent;
    if (decimals < 0) decimals = 0;
    if (decimals > 7) decimals = 7;
    ZkFormat(text, sizeof text, "%.*f", decimals, real);
    RemoveChar(text, ' ');
  } else {
    ZkFormat(text, sizeof text, "%lf", real);
  }
  // A bare point left after the zeros is removed in both forms: "100." is
  // not a number text the host expects.
  TrimDecimals(text);
  (void)BoundedCopy(out, text, size);  // cut to size - 1, as documented
  return static_cast<int32_t>(strlen(out));
}

double ParseNumber(const char* text) {
  if (text == nullptr) return 0;
  size_t pos = 0;
  bool stopped = false;
  double value = ReadPart(text, &pos, true, &stopped);
  if (stopped || (text[pos] != 'E' && text[pos] != 'e')) return value;
  ++pos;
  double exponent = ReadPart(text, &pos, false, &stopped);
  // Scale by 10 or 0.1 once per unit of the exponent. After about 650 steps
  // any finite double has reached zero or infinity, so longer runs are cut
  // short without changing the result.
  double steps = std::fabs(std::trunc(exponent));
  int count = steps > 1000 ? 1000 : static_cast<int>(steps);
  double factor = exponent < 0 ? 0.1 : 10;
  for (int k = 0; k < count && value != 0 && !std::isinf(value); ++k) value *= factor;
  return value;
}

}  // namespace zksql
