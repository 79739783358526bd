// Typed values: the form in which the evaluator, the selection engine and
// the converter hand values to each other — a 16-bit value type, a 16-bit
// length in bytes and a heap buffer with the bytes.
//
// Value types 1 to 7 and 11 are numbers held in their machine form, 8 is a
// zero-terminated text, 9 a date text (YYYYMMDD or YYMMDD) and 10 a time
// text (HHMM). Any other type has no kind, and no operation reads its
// bytes. The helpers here read a numeric value as a 64-bit real and store a
// real back into a numeric type without ever leaving defined behaviour.
#ifndef ZKSQL_VALUES_TYPED_VALUE_H_
#define ZKSQL_VALUES_TYPED_VALUE_H_

#include <cstdint>

namespace zksql {

enum ValueTypeCode : int16_t {
  kValueNone = 0,  // no value (also: "no second operand")
  kValueInt16 = 1,
  kValueUInt16 = 2,
  kValueInt32 = 3,
  kValueUInt32 = 4,
  kValueInt8 = 5,
  kValueFloat = 6,
  kValueReal = 7,
  kValueText = 8,
  kValueDate = 9,
  kValueTime = 10,
  kValueFloat2 = 11,  // a second 32-bit real type, handled exactly as 6
};

enum class TypeKind { kNone, kNumber, kText, kDate, kTime };

// The kind of a value type (kNone for types outside 1 to 11).
TypeKind KindOf(int16_t type);

// Bytes a numeric type occupies (0 for the other types).
uint16_t NumberWidth(int16_t type);

// A value as it travels between the evaluator and the converter. `bytes`
// is a malloc'ed buffer owned by whoever holds the value; null means no
// value. For texts, dates and times `length` counts the terminator.
struct TypedValue {
  int16_t type = kValueNone;
  uint16_t length = 0;
  char* bytes = nullptr;
};

// Frees the bytes of a value and leaves it empty (type 0, no bytes).
void ReleaseValue(TypedValue* value);

// Reads the number held in `bytes` by numeric type `type`. The bytes need
// no alignment. True with *out set, or false (and *out = 0) when the type
// is not numeric.
[[nodiscard]] bool ReadNumber(int16_t type, const void* bytes, double* out);

// Stores `real` into `out` (NumberWidth(type) bytes) in the form of the
// numeric type: integers truncated toward zero, 32-bit reals rounded.
// A real beyond the range of the type is held at the type's nearest limit
// and NaN stores as 0 in an integer type: the nearest value the type can
// hold, where a plain cast would be undefined. False for a non-numeric type
// (nothing written).
[[nodiscard]] bool StoreNumber(int16_t type, double real, void* out);

// Fills *value with a fresh numeric value of the type holding `real` (as
// StoreNumber). False when the type is not numeric or memory is short.
[[nodiscard]] bool MakeNumberValue(int16_t type, double real, TypedValue* value);

// Fills *value with a fresh copy of `text` under a text, date or time type;
// length is the text length plus its terminator. False when the text is
// null, too long for a 16-bit length, or memory is short.
[[nodiscard]] bool MakeTextValue(int16_t type, const char* text, TypedValue* value);

}  // namespace zksql

#endif  // ZKSQL_VALUES_TYPED_VALUE_H_
