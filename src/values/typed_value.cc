// Typed values: kinds, widths, reading and storing numbers, fresh values.
// Numbers are copied through memcpy so that value buffers need no
// alignment, and every real-to-integer conversion is range-checked first.
#include "values/typed_value.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/out_of_memory.h"

namespace zksql {
namespace {

template <typename T>
double Load(const void* bytes) {
  T v;
  memcpy(&v, bytes, sizeof v);
  return static_cast<double>(v);
}

// Truncation toward zero, held at the type's limits (all the integer types
// here have at most 32 bits, so limit ± 1 is exact in a double).
template <typename T>
void StoreInteger(double real, void* out) {
  T v = 0;
  const double above = static_cast<double>(std::numeric_limits<T>::max()) + 1.0;
  const double below = static_cast<double>(std::numeric_limits<T>::min()) - 1.0;
  if (std::isnan(real)) {
    v = 0;
  } else if (real >= above) {
    v = std::numeric_limits<T>::max();
  } else if (real <= below) {
    v = std::numeric_limits<T>::min();
  } else {
    v = static_cast<T>(real);
  }
  memcpy(out, &v, sizeof v);
}

void StoreFloat(double real, void* out) {
  float v;
  const double top = std::numeric_limits<float>::max();
  if (std::isnan(real) || std::isinf(real)) {
    v = static_cast<float>(real);  // NaN and infinities exist in float too
  } else if (real > top) {
    v = std::numeric_limits<float>::max();
  } else if (real < -top) {
    v = -std::numeric_limits<float>::max();
  } else {
    v = static_cast<float>(real);
  }
  memcpy(out, &v, sizeof v);
}

}  // namespace

TypeKind KindOf(int16_t type) {
  switch (type) {
    case kValueInt16:
    case kValueUInt16:
    case kValueInt32:
    case kValueUInt32:
    case kValueInt8:
    case kValueFloat:
    case kValueReal:
    case kValueFloat2:
      return TypeKind::kNumber;
    case kValueText:
      return TypeKind::kText;
    case kValueDate:
      return TypeKind::kDate;
    case kValueTime:
      return TypeKind::kTime;
    default:
      return TypeKind::kNone;
  }
}

uint16_t NumberWidth(int16_t type) {
  switch (type) {
    case kValueInt8:
      return 1;
    case kValueInt16:
    case kValueUInt16:
      return 2;
    case kValueInt32:
    case kValueUInt32:
    case kValueFloat:
    case kValueFloat2:
      return 4;
    case kValueReal:
      return 8;
    default:
      return 0;
  }
}

void ReleaseValue(TypedValue* value) {
  if (value == nullptr) return;
  free(value->bytes);
  *value = TypedValue{};
}

bool ReadNumber(int16_t type, const void* bytes, double* out) {
  double v = 0;
  bool ok = bytes != nullptr;
  if (ok) {
    switch (type) {
      case kValueInt16: v = Load<int16_t>(bytes); break;
      case kValueUInt16: v = Load<uint16_t>(bytes); break;
      case kValueInt32: v = Load<int32_t>(bytes); break;
      case kValueUInt32: v = Load<uint32_t>(bytes); break;
      case kValueInt8: v = Load<int8_t>(bytes); break;
      case kValueFloat:
      case kValueFloat2: v = Load<float>(bytes); break;
      case kValueReal: v = Load<double>(bytes); break;
      default: ok = false; break;
    }
  }
  if (out != nullptr) *out = v;
  return ok;
}

bool StoreNumber(int16_t type, double real, void* out) {
  if (out == nullptr) return false;
  switch (type) {
    case kValueInt16: StoreInteger<int16_t>(real, out); return true;
    case kValueUInt16: StoreInteger<uint16_t>(real, out); return true;
    case kValueInt32: StoreInteger<int32_t>(real, out); return true;
    case kValueUInt32: StoreInteger<uint32_t>(real, out); return true;
    case kValueInt8: StoreInteger<int8_t>(real, out); return true;
    case kValueFloat:
    case kValueFloat2: StoreFloat(real, out); return true;
    case kValueReal: memcpy(out, &real, sizeof real); return true;
    default: return false;
  }
}

bool MakeNumberValue(int16_t type, double real, TypedValue* value) {
  uint16_t width = NumberWidth(type);
  if (value == nullptr || width == 0) return false;
  char* bytes = static_cast<char*>(malloc(width));
  if (bytes == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  (void)StoreNumber(type, real, bytes);  // cannot fail: the type has a width
  *value = TypedValue{type, width, bytes};
  return true;
}

bool MakeTextValue(int16_t type, const char* text, TypedValue* value) {
  TypeKind kind = KindOf(type);
  if (value == nullptr || text == nullptr) return false;
  if (kind != TypeKind::kText && kind != TypeKind::kDate && kind != TypeKind::kTime) return false;
  size_t n = strlen(text);
  if (n + 1 > std::numeric_limits<uint16_t>::max()) return false;
  char* bytes = static_cast<char*>(malloc(n + 1));
  if (bytes == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  memcpy(bytes, text, n + 1);
  *value = TypedValue{type, static_cast<uint16_t>(n + 1), bytes};
  return true;
}

bool CopyValue(const TypedValue& from, OwnedValue* value) {
  if (value == nullptr || from.bytes == nullptr) return false;
  char* bytes = static_cast<char*>(malloc(from.length == 0 ? 1 : from.length));
  if (bytes == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  if (from.length > 0) memcpy(bytes, from.bytes, from.length);
  *value->Receive() = TypedValue{from.type, from.length, bytes};
  return true;
}

}  // namespace zksql
