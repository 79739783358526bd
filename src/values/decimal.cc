// The 80-bit fixed-point decimal, handled as five 16-bit words. Every
// step that grows the integer checks that it still fits below the sign
// bit, so a too-large text is a failed conversion rather than a value
// that silently wraps to the other sign.
#include "values/decimal.h"

#include <cmath>
#include <cstring>

#include "platform.h"
#include "values/number_text.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

constexpr int kWords = 5;
constexpr int kDecimals = 6;

struct Words {
  uint16_t w[kWords] = {0, 0, 0, 0, 0};
};

Words Load(const void* item) {
  const unsigned char* b = static_cast<const unsigned char*>(item);
  Words v;
  for (int i = 0; i < kWords; ++i) {
    v.w[i] = static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8));
  }
  return v;
}

void Save(const Words& v, void* item) {
  unsigned char* b = static_cast<unsigned char*>(item);
  for (int i = 0; i < kWords; ++i) {
    b[2 * i] = static_cast<unsigned char>(v.w[i] & 0xFF);
    b[2 * i + 1] = static_cast<unsigned char>(v.w[i] >> 8);
  }
}

bool IsNegative(const Words& v) { return (v.w[kWords - 1] & 0x8000) != 0; }

bool IsZero(const Words& v) {
  for (uint16_t w : v.w) {
    if (w != 0) return false;
  }
  return true;
}

// Two's complement: invert every word and add one.
void Negate(Words* v) {
  uint32_t carry = 1;
  for (uint16_t& w : v->w) {
    uint32_t s = static_cast<uint16_t>(~w) + carry;
    w = static_cast<uint16_t>(s);
    carry = s >> 16;
  }
}

// v = v * 10 + digit, treating v as an unsigned magnitude. False when the
// result no longer fits below the sign bit.
bool MultiplyAdd(Words* v, unsigned digit) {
  uint32_t carry = digit;
  for (uint16_t& w : v->w) {
    uint32_t p = static_cast<uint32_t>(w) * 10 + carry;
    w = static_cast<uint16_t>(p);
    carry = p >> 16;
  }
  return carry == 0 && !IsNegative(*v);
}

// v = v / 10 as an unsigned 80-bit integer; returns the remainder.
unsigned DivideBy10(Words* v) {
  uint32_t rest = 0;
  for (int i = kWords - 1; i >= 0; --i) {
    uint32_t n = (rest << 16) | v->w[i];
    v->w[i] = static_cast<uint16_t>(n / 10);
    rest = n % 10;
  }
  return rest;
}

}  // namespace

int32_t DecimalToText(const void* item, char* out, int32_t size) {
  if (out == nullptr || size < 1) return 0;
  out[0] = '\0';
  if (item == nullptr) return 0;
  Words v = Load(item);
  bool negative = IsNegative(v);
  // The most negative value negates to itself, which read as unsigned is
  // its correct magnitude 2^79.
  if (negative) Negate(&v);
  char digits[kDecimalTextSize];  // least significant first
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + DivideBy10(&v));
  } while (!IsZero(v) && n < kDecimalTextSize);
  while (n < kDecimals + 1) digits[n++] = '0';  // "0." and leading zeros
  char text[kDecimalTextSize + 4];
  int t = 0;
  if (negative) text[t++] = '-';
  for (int i = n - 1; i >= 0; --i) {
    text[t++] = digits[i];
    if (i == kDecimals) text[t++] = '.';
  }
  text[t] = '\0';
  while (t > 0 && text[t - 1] == '0') text[--t] = '\0';
  if (t > 0 && text[t - 1] == '.') text[--t] = '\0';
  (void)BoundedCopy(out, text, size);  // cut to size - 1, as documented
  return static_cast<int32_t>(strlen(out));
}

bool TextToDecimal(const char* text, void* item) {
  if (item == nullptr) return false;
  Words zero;
  Save(zero, item);
  if (text == nullptr) return false;
  const char* p = text;
  while (*p == ' ') ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  Words v;
  while (*p >= '0' && *p <= '9') {
    if (!MultiplyAdd(&v, static_cast<unsigned>(*p++ - '0'))) return false;
  }
  int decimals = 0;
  if (*p == '.') {
    ++p;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (decimals == kDecimals) continue;  // beyond six places: dropped
      if (!MultiplyAdd(&v, static_cast<unsigned>(*p - '0'))) return false;
      ++decimals;
    }
  }
  // The scaling to six places can overflow as well as the digits can.
  for (; decimals < kDecimals; ++decimals) {
    if (!MultiplyAdd(&v, 0)) return false;
  }
  if (negative) Negate(&v);
  Save(v, item);
  return true;
}

double DecimalToReal(const void* item) {
  char text[kDecimalTextSize];
  DecimalToText(item, text, sizeof text);
  return ParseNumber(text);
}

bool RealToDecimal(double real, void* item) {
  if (item == nullptr) return false;
  // Decimals hold magnitudes below 2^79 / 10^6 (about 6.04e17): anything
  // from 1e18 on cannot fit, and NaN or infinities have no decimal text.
  if (!std::isfinite(real) || std::fabs(real) >= 1e18) {
    Words zero;
    Save(zero, item);
    return false;
  }
  char text[64];
  ZkFormat(text, sizeof text, "%f", real);
  return TextToDecimal(text, item);
}

}  // namespace zksql
