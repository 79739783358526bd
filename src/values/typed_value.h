// Typed values: the form in which the evaluator, the selection engine and
// the converter hand values to each other — a 16-bit value type, a 16-bit
// length in bytes and a heap buffer with the bytes. TypedValue is the plain
// record, passed as a view of bytes someone else owns; OwnedValue is the
// form a holder keeps, which frees the bytes when it goes.
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

// Frees the bytes of a value and leaves it empty (type 0, no bytes). Code
// that keeps a value holds it in an OwnedValue, which does this itself.
void ReleaseValue(TypedValue* value);

// A typed value that owns its bytes: they are freed when the value goes out
// of scope or is given another one, on whatever path that happens. Moving
// hands the bytes over and leaves the source empty; there is no copy. The
// calls that read values (the converter, the column stores) take the plain
// view().
class OwnedValue {
 public:
  OwnedValue() = default;
  // Takes over the bytes of `raw`, a fresh value nobody else frees, and
  // leaves `raw` empty.
  explicit OwnedValue(TypedValue* raw) noexcept : value_(*raw) { *raw = TypedValue{}; }
  OwnedValue(OwnedValue&& other) noexcept : value_(other.Release()) {}
  OwnedValue& operator=(OwnedValue&& other) noexcept {
    if (this != &other) {
      ReleaseValue(&value_);
      value_ = other.Release();
    }
    return *this;
  }
  OwnedValue(const OwnedValue&) = delete;
  OwnedValue& operator=(const OwnedValue&) = delete;
  ~OwnedValue() { ReleaseValue(&value_); }

  // The value, its bytes still owned here.
  const TypedValue& view() const { return value_; }
  const TypedValue* operator->() const { return &value_; }
  bool has_value() const { return value_.bytes != nullptr; }

  // Frees the bytes, leaving the value empty.
  void Reset() { ReleaseValue(&value_); }

  // Frees the bytes and hands out the emptied record to a call that writes
  // a fresh value through a TypedValue* (MakeNumberValue, the converter's
  // Arithmetic): what it writes there is then owned here.
  TypedValue* Receive() {
    ReleaseValue(&value_);
    return &value_;
  }

  // Gives the bytes up to the caller, who frees them from now on; the
  // value is left empty.
  [[nodiscard]] TypedValue Release() noexcept {
    TypedValue raw = value_;
    value_ = TypedValue{};
    return raw;
  }

 private:
  TypedValue value_;
};

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

// Fills *value with a fresh copy of `from`: its type, its length and that
// many bytes (a zero length still gets a byte, so that the copy has a
// value as `from` has). False, *value unchanged, when `from` has no value
// or memory is short.
[[nodiscard]] bool CopyValue(const TypedValue& from, OwnedValue* value);

}  // namespace zksql

#endif  // ZKSQL_VALUES_TYPED_VALUE_H_
