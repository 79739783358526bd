// key_range.cc - turning XZK_FILTRE bounds into key-form ranges.
#include "key_range.h"

#include <cmath>
#include <cstring>

#include "jxengine.h"
#include "key_codec.h"

namespace jx {
namespace {

constexpr size_t kMaxBoundText = 4096;  // a bound longer than this is not a key

// The value of one bound as a real; false when it is not a number.
bool RealBound(const void* p, int16_t size, uint8_t typeCode, double* out) {
  if (typeCode == JX_FILTER_INT32 && size == 4) {
    int32_t v;
    std::memcpy(&v, p, 4);
    *out = v;
    return true;
  }
  if (typeCode == JX_FILTER_REAL && size == 8) {
    std::memcpy(out, p, 8);
    return !std::isnan(*out);
  }
  return false;
}

bool TextBound(const void* p, std::string* out) {
  const char* text = static_cast<const char*>(p);
  size_t n = strnlen(text, kMaxBoundText + 1);
  if (n > kMaxBoundText) return false;
  out->assign(text, n);
  return true;
}

int CompareBytes(const unsigned char* a, size_t alen, const std::string& b) {
  size_t n = alen < b.size() ? alen : b.size();
  int c = std::memcmp(a, b.data(), n);
  if (c != 0) return c;
  return alen < b.size() ? -1 : (alen > b.size() ? 1 : 0);
}

}  // namespace

bool KeyRange::Make(const Item& key, const void* low, const void* high, int16_t size,
                    uint8_t typeCode, KeyRange* out) {
  if (!low || !high || key.composite || key.dimension != 1) return false;
  KeyRange range;
  range.column = key.name;
  range.indexId = key.indexId;
  switch (ClassOfType(key.type)) {
    case KeyClass::kNumeric: {
      double lo, hi;
      if (!RealBound(low, size, typeCode, &lo) || !RealBound(high, size, typeCode, &hi))
        return false;
      range.numeric_ = true;
      AppendOrderedReal(range.low_, lo);
      AppendOrderedReal(range.high_, hi);
      break;
    }
    case KeyClass::kText: {
      if (typeCode != JX_FILTER_TEXT) return false;
      if (!TextBound(low, &range.low_) || !TextBound(high, &range.high_)) return false;
      range.numeric_ = false;
      if (!range.high_.empty() && static_cast<unsigned char>(range.high_.back()) == 0xAD) {
        range.prefixHigh_ = true;
        range.high_.pop_back();
      }
      break;
    }
    default:
      return false;
  }
  *out = std::move(range);
  return true;
}

bool KeyRange::AboveHigh(const unsigned char* form, size_t length) const {
  if (numeric_) return length < 8 || std::memcmp(form, high_.data(), 8) > 0;
  size_t textLength = 0;
  while (textLength < length && form[textLength] != 0) ++textLength;
  if (prefixHigh_) {
    if (textLength >= high_.size() && std::memcmp(form, high_.data(), high_.size()) == 0)
      return false;  // begins with the prefix
    return CompareBytes(form, textLength, high_) > 0;
  }
  return CompareBytes(form, textLength, high_) > 0;
}

}  // namespace jx
