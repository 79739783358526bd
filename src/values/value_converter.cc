// The value converter: comparison, arithmetic, and the conversions it
// gathers from the number, decimal and date modules under one object.
#include "values/value_converter.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/fast_paths.h"
#include "base/out_of_memory.h"
#include "platform.h"
#include "values/date_time.h"
#include "values/decimal.h"
#include "values/number_text.h"
#include "values/text_utils.h"

namespace zksql {
namespace {

constexpr size_t kUnbounded = std::numeric_limits<size_t>::max();

size_t BoundedLength(const void* text, size_t length) {
  const char* t = static_cast<const char*>(text);
  size_t n = 0;
  while (n < length && t[n] != '\0') ++n;
  return n;
}

// A real as it prints with six decimals: the precision at which the
// system compares numbers, so 0.1 + 0.2 equals 0.3. A whole number is its
// own six-decimal value, so the text round trip is spared for it.
double AtSixDecimals(double real) {
  if (FastPathsOn() && IsExactWholeNumber(real)) return real;
  if (!std::isfinite(real)) return real;
  char text[kNumberTextSize];
  ZkFormat(text, sizeof text, "%lf", real);
  return strtod(text, nullptr);
}

// Byte-wise comparison as unsigned characters; on a common prefix the
// shorter text sorts first.
int CompareUnsigned(const unsigned char* a, size_t na, const unsigned char* b, size_t nb) {
  size_t n = na < nb ? na : nb;
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  if (na == nb) return 0;
  return na < nb ? -1 : 1;
}

int16_t Holds(int16_t op, int order) {
  switch (op) {
    case ValueConverter::kOpEqual:
      return order == 0;
    case ValueConverter::kOpNotEqual:
      return order != 0;
    case ValueConverter::kOpLess:
      return order < 0;
    case ValueConverter::kOpGreater:
      return order > 0;
    case ValueConverter::kOpLessEqual:
      return order <= 0;
    case ValueConverter::kOpGreaterEqual:
      return order >= 0;
    default:
      return 0;
  }
}

// Numbers compare by the IEEE relations, so NaN satisfies only "<>".
int16_t HoldsForReals(int16_t op, double a, double b) {
  switch (op) {
    case ValueConverter::kOpEqual:
      return a == b;
    case ValueConverter::kOpNotEqual:
      return a != b;
    case ValueConverter::kOpLess:
      return a < b;
    case ValueConverter::kOpGreater:
      return a > b;
    case ValueConverter::kOpLessEqual:
      return a <= b;
    case ValueConverter::kOpGreaterEqual:
      return a >= b;
    default:
      return 0;
  }
}

bool IsDateOrTime(int16_t type) {
  return type == kValueDate || type == kValueTime;
}

// The digit form of a text written with separators, when it faces a date
// or a time: "YYYY-MM-DD" (also with "/" or ".") against a date, "HH:MM"
// against a time. Dates and times are stored and read as digits, so the
// written form would otherwise compare by its separator bytes («D =
// '2024-02-29'» would find nothing, «D > '2024-01-01'» every 2024 date).
// Writes into `out` (at least 9 bytes) and returns the new length, or
// leaves the text alone (returns `length`).
size_t DigitForm(int16_t facing, const unsigned char* text, size_t length, unsigned char* out) {
  auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
  if (facing == kValueDate && length == 10 &&
      (text[4] == '-' || text[4] == '/' || text[4] == '.') && text[7] == text[4]) {
    const int from[] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
      if (!digit(text[from[i]])) return length;
      out[i] = text[from[i]];
    }
    return 8;
  }
  if (facing == kValueTime && length == 5 && text[2] == ':') {
    const int from[] = {0, 1, 3, 4};
    for (int i = 0; i < 4; ++i) {
      if (!digit(text[from[i]])) return length;
      out[i] = text[from[i]];
    }
    return 4;
  }
  return length;
}

int16_t CompareValues(int16_t op, int16_t typeA, const void* a, size_t lengthA, int16_t typeB,
                      const void* b, size_t lengthB) {
  TypeKind kindA = KindOf(typeA);
  if (a == nullptr || kindA == TypeKind::kNone) return 0;
  bool numberA = kindA == TypeKind::kNumber;
  if (numberA && lengthA < NumberWidth(typeA)) return 0;
  if (op == ValueConverter::kOpIsNull) {
    if (!numberA) return BoundedLength(a, lengthA) == 0;
    double x = 0;
    (void)ReadNumber(typeA, a, &x);  // cannot fail: a number, not null
    return AtSixDecimals(x) == 0;
  }
  // A right side of no kind has nothing to compare with; one of the other
  // kind (a number against a text, date or time) never compares either,
  // rather than reading a text's bytes as a number or the reverse.
  TypeKind kindB = KindOf(typeB);
  if (b == nullptr || kindB == TypeKind::kNone) return 0;
  if ((kindB == TypeKind::kNumber) != numberA) return 0;
  if (numberA) {
    if (lengthB < NumberWidth(typeB)) return 0;
    double x = 0;
    double y = 0;
    // Neither read can fail: both are numbers and neither is null.
    (void)ReadNumber(typeA, a, &x);
    (void)ReadNumber(typeB, b, &y);
    return HoldsForReals(op, AtSixDecimals(x), AtSixDecimals(y));
  }
  const unsigned char* ta = static_cast<const unsigned char*>(a);
  const unsigned char* tb = static_cast<const unsigned char*>(b);
  size_t na = BoundedLength(a, lengthA);
  size_t nb = BoundedLength(b, lengthB);
  unsigned char digitsA[8];
  unsigned char digitsB[8];
  // A text turned into date digits counts as a date for the century rule.
  bool dateA = IsDateOrTime(typeA);
  bool dateB = IsDateOrTime(typeB);
  if (dateA && typeB == kValueText) {
    size_t n = DigitForm(typeA, tb, nb, digitsB);
    if (n != nb) {
      tb = digitsB;
      nb = n;
      dateB = true;
    }
  } else if (dateB && typeA == kValueText) {
    size_t n = DigitForm(typeB, ta, na, digitsA);
    if (n != na) {
      ta = digitsA;
      na = n;
      dateA = true;
    }
  }
  // A stored 8-digit date matches a 6-digit one by dropping its century.
  if (dateA && na == 8 && nb == 6) {
    ta += 2;
    na -= 2;
  } else if (dateB && nb == 8 && na == 6) {
    tb += 2;
    nb -= 2;
  }
  return Holds(op, CompareUnsigned(ta, na, tb, nb));
}

// The number of a date or time operation, truncated toward zero into 16
// bits and held at the 16-bit limits when larger.
int32_t SixteenBitCount(double real) {
  int16_t n = 0;
  (void)StoreNumber(kValueInt16, real, &n);  // cannot fail: a numeric type
  return n;
}

// A fresh result buffer of `length` bytes holding `text` (zero-padded).
bool NewText(const char* text, size_t length, char** out) {
  char* bytes = static_cast<char*>(calloc(length, 1));
  if (bytes == nullptr) {
    NoteOutOfMemory();
    return false;
  }
  memcpy(bytes, text, strlen(text));
  *out = bytes;
  return true;
}

}  // namespace

int16_t ValueConverter::Compare(int16_t op, int16_t typeA, const void* a, int16_t typeB,
                                const void* b) const {
  return CompareValues(op, typeA, a, kUnbounded, typeB, b, kUnbounded);
}

int16_t ValueConverter::Compare(int16_t op, const TypedValue& a, const TypedValue& b) const {
  return CompareValues(op, a.type, a.bytes, a.length, b.type, b.bytes, b.length);
}

// Follows CompareValues: numbers meet numbers only, at six decimals by the
// IEEE "=" (so -0 equals 0 and NaN nothing); texts meet texts byte for
// byte up to the terminator, unless a date or a time takes part.
ValueConverter::Equality ValueConverter::KeyForEquality(const TypedValue& value,
                                                        EqualityKey* key) const {
  *key = EqualityKey{};
  TypeKind kind = KindOf(value.type);
  if (value.bytes == nullptr || kind == TypeKind::kNone) return Equality::kNeverEqual;
  if (kind == TypeKind::kNumber) {
    if (value.length < NumberWidth(value.type)) return Equality::kNeverEqual;
    double x = 0;
    (void)ReadNumber(value.type, value.bytes, &x);  // cannot fail: a number, not null
    x = AtSixDecimals(x);
    if (std::isnan(x)) return Equality::kNeverEqual;
    key->number = true;
    key->real = x == 0 ? 0.0 : x;
    return Equality::kKeyed;
  }
  if (IsDateOrTime(value.type) || kind == TypeKind::kDate || kind == TypeKind::kTime) {
    return Equality::kNotPlain;
  }
  key->text = value.bytes;
  key->length = BoundedLength(value.bytes, value.length);
  return Equality::kKeyed;
}

bool ValueConverter::Arithmetic(int16_t typeA, uint16_t lengthA, const void* a, int16_t op,
                                   int16_t typeB, uint16_t lengthB, const void* b, int16_t* outType,
                                   uint16_t* outLength, char** outBytes) const {
  if (outType == nullptr || outLength == nullptr || outBytes == nullptr) return false;
  *outType = kValueNone;
  *outLength = 0;
  *outBytes = nullptr;
  TypeKind kindA = KindOf(typeA);
  if (a == nullptr || kindA == TypeKind::kNone) return false;
  if (kindA == TypeKind::kNumber && lengthA < NumberWidth(typeA)) return false;

  int16_t type = kValueNone;
  size_t length = 0;
  char* bytes = nullptr;

  if (typeB == kValueNone) {
    // Negation is defined for numbers only: a text, date or time has no
    // opposite, so negating one is refused.
    if (op != kOpSubtract || kindA != TypeKind::kNumber) return false;
    double x = 0;
    (void)ReadNumber(typeA, a, &x);  // cannot fail: a number, not null
    TypedValue v;
    if (!MakeNumberValue(typeA, -x, &v)) return false;
    *outType = v.type;
    *outLength = v.length;
    *outBytes = v.bytes;
    return true;
  }

  TypeKind kindB = KindOf(typeB);
  if (b == nullptr || kindB == TypeKind::kNone) return false;
  if (kindB == TypeKind::kNumber && lengthB < NumberWidth(typeB)) return false;
  // y is read only for a number on the right; for any other kind it stays
  // 0 and is not used.
  double y = 0;
  (void)ReadNumber(typeB, b, &y);

  if (kindA == TypeKind::kNumber && kindB == TypeKind::kNumber) {
    double x = 0;
    (void)ReadNumber(typeA, a, &x);  // cannot fail: a number, not null
    double r = 0;
    switch (op) {
      case kOpAdd:
        r = x + y;
        break;
      case kOpSubtract:
        r = x - y;
        break;
      case kOpMultiply:
        r = x * y;
        break;
      case kOpDivide:
        // Division by zero has no value: refused rather than producing an
        // infinity that integer types cannot hold.
        if (y == 0) return false;
        r = x / y;
        break;
      default:
        return false;
    }
    TypedValue v;
    if (!MakeNumberValue(typeA, r, &v)) return false;
    *outType = v.type;
    *outLength = v.length;
    *outBytes = v.bytes;
    return true;
  }

  if (kindA == TypeKind::kText && kindB == TypeKind::kText) {
    if (op != kOpAdd) return false;
    size_t na = BoundedLength(a, lengthA);
    size_t nb = BoundedLength(b, lengthB);
    length = static_cast<size_t>(lengthA) + lengthB;
    if (length < na + nb + 1) length = na + nb + 1;  // room for the terminator
    if (length > std::numeric_limits<uint16_t>::max()) return false;
    bytes = static_cast<char*>(calloc(length, 1));
    if (bytes == nullptr) {
      NoteOutOfMemory();
      return false;
    }
    memcpy(bytes, a, na);
    memcpy(bytes + na, b, nb);
    type = kValueText;
  } else if (kindA == TypeKind::kDate && kindB == TypeKind::kDate) {
    if (op != kOpSubtract) return false;
    CalendarDate left;
    CalendarDate right;
    if (!ReadStoredDate(static_cast<const char*>(a), lengthA, &left) ||
        !ReadStoredDate(static_cast<const char*>(b), lengthB, &right)) {
      return false;
    }
    int32_t days = DaysBetween(left, right);
    // A difference beyond the 16-bit range (about 89 years) is given as a
    // 32-bit integer instead, so it is exact rather than wrapped or cut.
    int16_t resultType =
        days >= std::numeric_limits<int16_t>::min() && days <= std::numeric_limits<int16_t>::max()
            ? kValueInt16
            : kValueInt32;
    TypedValue v;
    if (!MakeNumberValue(resultType, days, &v)) return false;
    type = v.type;
    length = v.length;
    bytes = v.bytes;
  } else if (kindA == TypeKind::kTime && kindB == TypeKind::kTime) {
    if (op != kOpSubtract) return false;
    int32_t left = 0;
    int32_t right = 0;
    if (!ReadStoredTime(static_cast<const char*>(a), lengthA, &left) ||
        !ReadStoredTime(static_cast<const char*>(b), lengthB, &right)) {
      return false;
    }
    // Both times are within the day (see ReadStoredTime), so the span from
    // left to right, wrapping past midnight, is within the day too.
    int32_t m = right - left;
    if (m < 0) m += kMinutesPerDay;
    char text[kTimeTextSize];
    WriteStoredTime(m, text, sizeof text);
    if (!NewText(text, kTimeTextSize, &bytes)) return false;
    type = kValueTime;
    length = kTimeTextSize;
  } else if (kindA == TypeKind::kDate && kindB == TypeKind::kNumber) {
    if (op != kOpAdd && op != kOpSubtract) return false;
    CalendarDate date;
    if (!ReadStoredDate(static_cast<const char*>(a), lengthA, &date)) return false;
    int32_t n = SixteenBitCount(y);
    CalendarDate moved = AddDays(date, op == kOpAdd ? n : -n);
    char text[kDateTextSize];
    if (!WriteStoredDate(moved, date.digits, text, sizeof text)) return false;
    length = strlen(text) + 1;
    if (!NewText(text, length, &bytes)) return false;
    type = kValueDate;
  } else if (kindA == TypeKind::kTime && kindB == TypeKind::kNumber) {
    if (op != kOpAdd && op != kOpSubtract) return false;
    int32_t minutes = 0;
    if (!ReadStoredTime(static_cast<const char*>(a), lengthA, &minutes)) return false;
    int32_t h = SixteenBitCount(y) % 24;
    if (h < 0) h += 24;  // a negative count moves the other way
    int32_t hour = minutes / 60;
    hour = op == kOpAdd ? (hour + h) % 24 : (hour - h + 24) % 24;
    char text[kTimeTextSize];
    WriteStoredTime(hour * 60 + minutes % 60, text, sizeof text);
    if (!NewText(text, kTimeTextSize, &bytes)) return false;
    type = kValueTime;
    length = kTimeTextSize;
  } else {
    return false;
  }
  *outType = type;
  *outLength = static_cast<uint16_t>(length);
  *outBytes = bytes;
  return true;
}

bool ValueConverter::Arithmetic(const TypedValue& a, int16_t op, const TypedValue& b,
                                   TypedValue* out) const {
  if (out == nullptr) return false;
  *out = TypedValue{};
  return Arithmetic(a.type, a.length, a.bytes, op, b.type, b.length, b.bytes, &out->type,
                    &out->length, &out->bytes);
}

int32_t ValueConverter::NumberText(double real, int digits, char* out, int32_t size) const {
  return zksql::NumberText(real, digits, out, size);
}

double ValueConverter::ParseNumber(const char* text) const {
  return zksql::ParseNumber(text);
}

int32_t ValueConverter::DecimalToText(const void* item, char* out, int32_t size) const {
  return zksql::DecimalToText(item, out, size);
}

bool ValueConverter::TextToDecimal(const char* text, void* item) const {
  return zksql::TextToDecimal(text, item);
}

double ValueConverter::DecimalToReal(const void* item) const {
  return zksql::DecimalToReal(item);
}

bool ValueConverter::RealToDecimal(double real, void* item) const {
  return zksql::RealToDecimal(real, item);
}

bool ValueConverter::DateLiteral(const char* display, int16_t digits, char* out,
                                    int32_t size) const {
  return zksql::DateLiteral(display, digits, out, size);
}

bool ValueConverter::TimeLiteral(const char* display, char* out, int32_t size) const {
  return zksql::TimeLiteral(display, out, size);
}

void ValueConverter::DateFromItem(const char* item, int32_t width, char* out, int32_t size) const {
  zksql::DateFromItem(item, width, out, size);
}

int32_t ValueConverter::DateToItem(const char* date, int32_t width, char* out, int32_t size) const {
  return zksql::DateToItem(date, width, out, size);
}

int16_t ValueConverter::OrderCompare(int16_t kind, const void* a, const void* b) const {
  if (a == nullptr || b == nullptr) return 0;
  if (kind == kOrderReal) {
    double x;
    double y;
    memcpy(&x, a, sizeof x);
    memcpy(&y, b, sizeof y);
    // NaN sorts after every number and equal to another NaN: a sort needs
    // an order that is total, which the plain relations are not with NaN.
    bool nx = std::isnan(x);
    bool ny = std::isnan(y);
    if (nx || ny) return static_cast<int16_t>(nx == ny ? 0 : (nx ? 1 : -1));
    return static_cast<int16_t>(x < y ? -1 : (x > y ? 1 : 0));
  }
  if (kind >= 2 && kind <= 4) {
    const unsigned char* ta = static_cast<const unsigned char*>(a);
    const unsigned char* tb = static_cast<const unsigned char*>(b);
    return static_cast<int16_t>(CompareUnsigned(ta, strlen(static_cast<const char*>(a)), tb,
                                                strlen(static_cast<const char*>(b))));
  }
  return 0;
}

int16_t ValueConverter::Like(const char* text, const char* pattern) const {
  return zksql::Like(text, pattern);
}

const ValueConverter& Converter() {
  static const ValueConverter converter{};
  return converter;
}

}  // namespace zksql
