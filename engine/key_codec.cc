// key_codec.cc - extraction of key values and their byte form.
#include "key_codec.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace jx {
namespace {

template <typename T>
T Load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The 7-significant-digit display of a float read back as a real: fixed
// notation with 7 significant digits between 0.1 and ten million, six
// decimals elsewhere, as the SQL library formats 32-bit floats.
double FloatDisplayValue(float f) {
  double x = f;
  if (!std::isfinite(x)) return x;
  char text[400];
  double magnitude = std::fabs(x);
  if (magnitude >= 0.1 && magnitude < 1e7)
    std::snprintf(text, sizeof text, "%.7g", x);
  else
    std::snprintf(text, sizeof text, "%f", x);
  return std::strtod(text, nullptr);
}

// Ten bytes: an 80-bit two's-complement integer, value x 1000000.
// Computed without a 128-bit integer type, which 32-bit targets lack: a
// value that fits in 64 bits converts exactly as a wider integer would;
// beyond, the top 16 bits are scaled by 2^64 (monotonic, within an ulp).
double DecimalValue(const unsigned char* p) {
  uint64_t low = 0;
  for (int i = 7; i >= 0; --i) low = (low << 8) | p[i];
  int16_t high = int16_t(uint16_t(p[8] | (p[9] << 8)));
  if ((high == 0 && !(low >> 63)) || (high == -1 && (low >> 63)))
    return double(int64_t(low)) / 1e6;
  return (double(high) * 18446744073709551616.0 + double(low)) / 1e6;
}

std::string CutAtZero(const unsigned char* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

void TrimBlanks(std::string& s) {
  size_t end = s.find_last_not_of(' ');
  s.erase(end == std::string::npos ? 0 : end + 1);
}

void EncodeElements(const Item& item, const unsigned char* p, std::string& out) {
  KeyClass cls = ClassOfType(item.type);
  for (uint16_t e = 0; e < item.dimension; ++e, p += item.size) {
    switch (cls) {
      case KeyClass::kNumeric:
        AppendOrderedReal(out, NumericValue(item.type, p));
        break;
      case KeyClass::kText:
        out += TextValue(item.type, item.size, p);
        out.push_back('\0');
        break;
      case KeyClass::kRaw:
        out.append(reinterpret_cast<const char*>(p), item.size);
        break;
      case KeyClass::kNone:
        break;
    }
  }
}

}  // namespace

KeyClass ClassOfType(uint16_t type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 10:
      return KeyClass::kNumeric;
    case 13: case 14: case 15: case 98: case 99:
      return KeyClass::kText;
    case 0: case 8: case 11: case 16: case 17:
      return KeyClass::kRaw;
    default:
      return KeyClass::kNone;  // memos: a reference is not a value
  }
}

double NumericValue(uint16_t type, const unsigned char* p) {
  switch (type) {
    case 1: return Load<int8_t>(p);
    case 2: return Load<uint8_t>(p);
    case 3: return Load<int16_t>(p);
    case 4: return Load<uint16_t>(p);
    case 5: return Load<int32_t>(p);
    case 6: return Load<uint32_t>(p);
    case 7: return FloatDisplayValue(Load<float>(p));
    case 9: return Load<double>(p);
    case 10: return DecimalValue(p);
    default: return 0;
  }
}

std::string TextValue(uint16_t type, uint16_t size, const unsigned char* p) {
  std::string text;
  switch (type) {
    case 13:
      text = CutAtZero(p, size);
      TrimBlanks(text);
      break;
    case 14: {
      size_t n = size > 0 ? size_t(size - 1) : 0;
      if (p[0] < n) n = p[0];
      text = size > 0 ? CutAtZero(p + 1, n) : std::string();
      TrimBlanks(text);
      break;
    }
    case 15:
      text = CutAtZero(p, size > 0 ? size - 1 : 0);
      TrimBlanks(text);
      break;
    case 98:
      // A 6-character date is compared as 19yymmdd (the century the SQL
      // library gives two-digit years).
      if (size == 7) text = "19" + std::string(reinterpret_cast<const char*>(p), 6);
      else text = std::string(reinterpret_cast<const char*>(p), size < 8 ? size : 8);
      text = CutAtZero(reinterpret_cast<const unsigned char*>(text.data()), text.size());
      break;
    case 99:
      text = CutAtZero(p, size < 4 ? size : 4);
      break;
    default:
      break;
  }
  return text;
}

void AppendOrderedReal(std::string& out, double value) {
  if (value == 0) value = 0;  // -0 and +0 are one value
  uint64_t bits;
  if (std::isnan(value)) {
    bits = ~uint64_t(0);  // NaN sorts after everything
  } else {
    std::memcpy(&bits, &value, sizeof bits);
    // Negative reals: flip every bit (larger magnitude sorts first);
    // positive: set the sign bit so they sort above the negatives.
    bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
  }
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(char(bits >> shift));
}

void EncodeKey(const FileDef& file, const Item& item, const unsigned char* record,
               std::string& out) {
  if (!item.composite) {
    EncodeElements(item, record + item.offset, out);
    return;
  }
  for (uint16_t c : item.components)
    EncodeElements(file.items[c], record + file.items[c].offset, out);
}

size_t MaxEncodedLength(const FileDef& file, const Item& item) {
  auto one = [](const Item& i) -> size_t {
    switch (ClassOfType(i.type)) {
      case KeyClass::kNumeric: return size_t(8) * i.dimension;
      case KeyClass::kText: return (size_t(i.size) + 3) * i.dimension;  // dates gain "19"
      case KeyClass::kRaw: return i.Bytes();
      case KeyClass::kNone: return 0;
    }
    return 0;
  };
  if (!item.composite) return one(item);
  size_t total = 0;
  for (uint16_t c : item.components) total += one(file.items[c]);
  return total;
}

size_t KeyBytes(const FileDef& file, const Item& item) {
  if (!item.composite) return item.Bytes();
  size_t total = 0;
  for (uint16_t c : item.components) total += file.items[c].Bytes();
  return total;
}

}  // namespace jx
